// The cost of a file at another rate than the output's: decoding and resampling a minute of a
// 48 kHz track through the sound library (pulled output at 44 100 Hz) against the same music at
// 44 100 Hz, which is decoded and passed through; prints the CPU-time ratio per second of audio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "bench/sound_play.h"
#include "tools/dense_track.h"

namespace {

constexpr int kSeconds = 60;

const std::string& track(int rate)
{
    static const std::string at44 = zv::fixtures::write_dense_track("zv-bench-rates-44100.mp3", kSeconds, 44100);
    static const std::string at48 = zv::fixtures::write_dense_track("zv-bench-rates-48000.mp3", kSeconds, 48000);
    return rate == 48000 ? at48 : at44;
}

void play_through(benchmark::State& state, int rate)
{
    state.counters["output_frames"] = static_cast<double>(play_through_sound_library(state, track(rate)));
}

}  // namespace

int main(int argc, char** argv)
{
    track(44100);  // encode once, outside the timings
    register_process_cpu(benchmark::RegisterBenchmark("file_at_44100", play_through, 44100));
    register_process_cpu(benchmark::RegisterBenchmark("file_at_48000", play_through, 48000));
    run_and_print_ratio(argc, argv, "file_at_48000", "file_at_44100", "48 kHz (resampled) / 44.1 kHz (passed through)",
                        1.5);
    std::error_code ec;
    std::filesystem::remove(track(44100), ec);
    std::filesystem::remove(track(48000), ec);
    return 0;
}
