// Measures of decoded sound that tests check what they hear with.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zv::fixtures {

// The frequency of the strongest tone in the left channel, from its zero crossings; 0 for silence.
double dominant_frequency(const std::int16_t* stereo, std::size_t frames, int rate);

// Root mean square of both channels, in sample units.
double rms_level(const std::int16_t* stereo, std::size_t frames);

}  // namespace zv::fixtures
