// A 320 kbps MP3 of a dense signal (a chord of rich tones and some noise) for the sound
// benchmarks and the footprint check: a lone sine decodes unusually fast, this costs what real
// music does.
#pragma once
#include <filesystem>
#include <string>

namespace zv::fixtures {

// Writes `seconds` of the signal, sampled at `rate`, to `p`; false when encoding or writing fails.
bool write_dense_track_to(const std::filesystem::path& p, int seconds, int rate = 44100);

// Writes `seconds` of the signal to the temporary folder under `name`; returns its path.
std::string write_dense_track(const char* name, int seconds, int rate = 44100);

}  // namespace zv::fixtures
