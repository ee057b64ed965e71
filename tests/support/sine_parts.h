// One continuous sine cut into tracks at points that are no MP3 frame boundary, each part
// encoded as its own file (LAME records its delay and padding), and what a listener hears where
// they join.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zv::test {

struct SineParts {
    int rate = 44100;
    double hz = 440.0;
    double amplitude = 0.5 * 32767;
    std::size_t frames = 0;          // the whole sine
    std::vector<std::size_t> joins;  // where each part after the first starts
    std::vector<std::string> paths;  // the parts, in order
};

// Writes `<stem>1.mp3`, `<stem>2.mp3`, ... into `folder`, cut at `cuts` (ascending, in frames).
SineParts write_sine_parts(const std::filesystem::path& folder, int rate, std::size_t frames,
                           const std::vector<std::size_t>& cuts, const std::string& stem = "part");

// What was heard (interleaved stereo at `rate`) of a sine played from its first part on.
struct JoinHearing {
    std::size_t start = 0;          // the first sounding frame
    std::size_t length = 0;         // from the first to the last sounding frame
    std::size_t longest_quiet = 0;  // the longest run of near-zero samples between them
    // The largest distance, around each join, from the sine fitted to what came just before it,
    // as a share of the amplitude.
    std::vector<double> deviation;
    // The same over the whole sine, from the sine fitted to its first frames: any overlap, gap or
    // shift anywhere shows here.
    double whole_deviation = 1.0;
};
JoinHearing hear_joins(const std::vector<std::int16_t>& heard, int rate, const SineParts& parts);

// The parts decoded one after the other and resampled to `rate` as one stream, at `volume`: what
// joins that lose nothing sound like.
std::vector<std::int16_t> as_one_stream(const SineParts& parts, int rate, int volume);

}  // namespace zv::test
