// The audio device through SDL2: 44 100 Hz, 16-bit stereo, SDL's callback pulling the mix.
// SDL_AUDIODRIVER picks the driver as usual (`disk` and `dummy` work without sound hardware).
#pragma once
#include <cstdint>
#include <memory>

#include "sound/audio_output.h"

namespace zv {

class SdlAudioOutput final : public AudioOutput {
public:
    // Null when SDL's audio cannot be initialised or no device opens.
    static std::unique_ptr<SdlAudioOutput> open();

    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    bool start(RenderFn render) override;
    void stop() override;

private:
    explicit SdlAudioOutput(std::uint32_t device) : device_(device) {}
    static void callback(void* self, std::uint8_t* stream, int len);

    std::uint32_t device_;
    RenderFn render_;  // written only while the device is paused or locked
    bool closed_ = false;
};

}  // namespace zv
