// Playing a file through a fresh sound library on a pulled output, a device's chunk at a time, as
// the sound benchmarks measure it.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fmod.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"

// Each iteration plays `path` to its end at volume 200 (a real gain, so the mixer multiplies);
// returns the output frames of the last iteration.
inline std::size_t play_through_sound_library(benchmark::State& state, const std::string& path)
{
    constexpr std::size_t kChunk = 1024;  // frames per pull, about what an audio device asks for
    zv::SoundSystem sys([] { return std::make_unique<zv::PulledAudioOutput>(); }, [](std::function<void()>) {});
    FSOUND_Init(44100, 32, 0);
    auto* sink = dynamic_cast<zv::PulledAudioOutput*>(sys.output());
    std::vector<std::int16_t> buf(kChunk * 2);
    std::size_t pulled = 0;
    for (auto _ : state) {
        FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
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
    return pulled;
}
