// Decoding and mixing a 3-minute 320 kbps track through the sound library (pulled output) against
// decoding the same file with libmpg123 alone; prints the CPU-time ratio of the two.
#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "bench/sound_play.h"
#include "tools/dense_track.h"

namespace {

constexpr std::size_t kChunk = 1024;  // frames per pull, about what an audio device asks for

const std::string& track_path()
{
    static const std::string path = zv::fixtures::write_dense_track("zv-bench-3min-320k.mp3", 180);
    return path;
}

void mpg123_alone(benchmark::State& state)
{
    mpg123_init();
    std::vector<std::int16_t> buf(kChunk * 2);
    std::size_t frames = 0;
    for (auto _ : state) {
        mpg123_handle* h = mpg123_new(nullptr, nullptr);
        mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
        mpg123_param(h, MPG123_FORCE_RATE, 44100, 0.0);
        mpg123_format_none(h);
        mpg123_format(h, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
        mpg123_open(h, track_path().c_str());
        frames = 0;
        for (;;) {
            std::size_t done = 0;
            const int rc = mpg123_read(h, reinterpret_cast<unsigned char*>(buf.data()), buf.size() * 2, &done);
            frames += done / 4;
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
        }
        benchmark::DoNotOptimize(buf.data());
        mpg123_close(h);
        mpg123_delete(h);
    }
    state.counters["frames"] = static_cast<double>(frames);
}

void sound_library(benchmark::State& state)
{
    state.counters["frames"] = static_cast<double>(play_through_sound_library(state, track_path()));
}

}  // namespace

int main(int argc, char** argv)
{
    track_path();  // encode once, outside the timings
    register_process_cpu(benchmark::RegisterBenchmark("mpg123_alone", mpg123_alone));
    register_process_cpu(benchmark::RegisterBenchmark("sound_library", sound_library));
    run_and_print_ratio(argc, argv, "sound_library", "mpg123_alone", "sound library / libmpg123 alone", 1.3);
    std::error_code ec;
    std::filesystem::remove(track_path(), ec);
    return 0;
}
