// Measures of decoded sound that tests check what they hear with.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace zv::fixtures {

// The frequency of the strongest tone in the left channel, from its zero crossings; 0 for silence.
double dominant_frequency(const std::int16_t* stereo, std::size_t frames, int rate);

// Root mean square of both channels, in sample units.
double rms_level(const std::int16_t* stereo, std::size_t frames);

// THD+N of the first channel of `interleaved` (with `channels` samples a frame) against a sine of
// `hz`: the sine of that frequency (amplitude, phase and offset) that fits best by least squares is
// the signal, what is left the distortion and noise; their power ratio in dB (0 for no signal).
double thd_n_db(std::span<const std::int16_t> interleaved, int channels, int rate, double hz);

}  // namespace zv::fixtures
