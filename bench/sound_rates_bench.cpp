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
#include "fmod.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "tools/dense_track.h"

namespace {

constexpr int kSeconds = 60;
constexpr std::size_t kChunk = 1024;  // frames per pull, about what an audio device asks for

const std::string& track(int rate)
{
    static const std::string at44 = zv::fixtures::write_dense_track("zv-bench-rates-44100.mp3", kSeconds, 44100);
    static const std::string at48 = zv::fixtures::write_dense_track("zv-bench-rates-48000.mp3", kSeconds, 48000);
    return rate == 48000 ? at48 : at44;
}

void play_through(benchmark::State& state, int rate)
{
    zv::SoundSystem sys([] { return std::make_unique<zv::PulledAudioOutput>(); }, [](std::function<void()>) {});
    FSOUND_Init(44100, 32, 0);
    auto* sink = dynamic_cast<zv::PulledAudioOutput*>(sys.output());
    std::vector<std::int16_t> buf(kChunk * 2);
    std::size_t pulled = 0;
    for (auto _ : state) {
        FSOUND_STREAM* s = FSOUND_Stream_Open(track(rate).c_str(), 0, 0, 0);
        FSOUND_Stream_Play(FSOUND_FREE, s);
        FSOUND_SetVolume(FSOUND_ALL, 200);
        pulled = 0;
        // Until the stream has ended: its position stops moving once its last frame is out.
        for (std::uint32_t last = ~0u; FSOUND_Stream_GetPosition(s) != last;) {
            last = FSOUND_Stream_GetPosition(s);
            sink->pull(buf.data(), kChunk);
            pulled += kChunk;
        }
        benchmark::DoNotOptimize(buf.data());
        FSOUND_Stream_Close(s);
    }
    state.counters["output_frames"] = static_cast<double>(pulled);
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
