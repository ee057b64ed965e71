// An output without a device: the caller pulls frames, so playback time is exactly what was pulled.
#pragma once
#include <mutex>

#include "sound/audio_output.h"

namespace zv {

class PulledAudioOutput final : public AudioOutput {
public:
    bool start(RenderFn render) override;
    void stop() override;

    // Renders `frames` frames into `out` (interleaved stereo). Silence, and 0 returned, while stopped.
    std::size_t pull(std::int16_t* out, std::size_t frames);

private:
    mutable std::mutex mutex_;  // held across a render, so stop() waits for one in progress
    RenderFn render_;
};

}  // namespace zv
