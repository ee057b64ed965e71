// The output callback's longest single run while the decoder's reads stall, against its longest
// run with a fast reader, in the same run. The callback only mixes what the decoder thread has
// ready, so a read that hangs on slow storage (a memory card) must not lengthen it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fmod.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "tools/dense_track.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

constexpr int kRate = 44100;
constexpr std::size_t kBuffer = 4096;  // frames per callback, as the SDL output asks
constexpr int kSeconds = 6;            // of sound per run
constexpr int kSpeedUp = 8;            // callbacks come this many times as often as a device's
// The stalling reader: every 32nd read (about 0.8 s of sound at 320 kbps) hangs for 40 ms, which
// is 0.32 s of sound at this pace, less than the half second the decoder keeps ready.
constexpr int kStallEvery = 32;
constexpr auto kStall = std::chrono::milliseconds(40);

const std::string& track_path()
{
    static const std::string path = zv::fixtures::write_dense_track("zv-bench-stall-320k.mp3", kSeconds + 2);
    return path;
}

struct Run {
    double longest_us = 0;
    std::size_t gap_frames = 0;  // frames the output had to fill with silence
    int stalls = 0;
};

// Plays kSeconds of the track through a device-paced callback; the longest callback run.
Run play(bool stall)
{
    zv::SoundSystem sys([] { return std::make_unique<zv::PulledAudioOutput>(zv::PulledAudioOutput::Timing::RealTime); },
                        [](std::function<void()>) {});
    std::atomic<int> reads{0};
    if (stall) {
        sys.set_read_hook([&reads](std::int64_t) {
            if (++reads % kStallEvery == 0) std::this_thread::sleep_for(kStall);
        });
    }
    FSOUND_Init(kRate, 32, 0);
    auto* sink = dynamic_cast<zv::PulledAudioOutput*>(sys.output());
    FSOUND_STREAM* s = FSOUND_Stream_Open(track_path().c_str(), 0, 0, 0);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    FSOUND_SetVolume(FSOUND_ALL, 200);
    // A device starts a moment after the stream: let the decoder get ahead as it would.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    std::vector<std::int16_t> buf(kBuffer * 2);
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(kBuffer) / kRate / kSpeedUp));
    const std::size_t buffers = static_cast<std::size_t>(kSeconds) * kRate / kBuffer;
    Run run;
    auto next = Clock::now();
    for (std::size_t i = 0; i < buffers; ++i) {
        std::this_thread::sleep_until(next);
        next += period;
        const auto start = Clock::now();
        sink->pull(buf.data(), kBuffer);
        run.longest_us = std::max(run.longest_us, Micros(Clock::now() - start).count());
        benchmark::DoNotOptimize(buf.data());
    }
    run.gap_frames = buffers * kBuffer - FSOUND_Stream_GetPosition(s);
    run.stalls = reads.load() / kStallEvery;
    FSOUND_Stream_Close(s);
    return run;
}

std::vector<double> g_longest[2];

void longest_callback(benchmark::State& state, bool stall)
{
    Run run;
    for (auto _ : state) {
        run = play(stall);
        state.SetIterationTime(run.longest_us / 1e6);
        g_longest[stall].push_back(run.longest_us);
    }
    state.counters["gap_frames"] = static_cast<double>(run.gap_frames);
    state.counters["stalls"] = run.stalls;
}

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    track_path();  // encode once, outside the timings
    for (bool stall : {false, true}) {
        benchmark::RegisterBenchmark(stall ? "stalling_reader" : "fast_reader",
                                     [stall](benchmark::State& state) { longest_callback(state, stall); })
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(5);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const double fast = median(g_longest[0]);
    const double stalled = median(g_longest[1]);
    if (fast > 0 && stalled > 0) {
        std::printf("Longest output callback (median of runs): fast reader %.1f us, stalling reader %.1f us\n", fast,
                    stalled);
        std::printf("Ratio stalling / fast reader: %.3f (goal <= 1.5)\n", stalled / fast);
    }
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove(track_path(), ec);
    return 0;
}
