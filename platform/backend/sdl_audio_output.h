// The audio device through SDL2: 16-bit stereo at the default device's own rate (44 100 Hz when it
// names none, as SDL's disk and dummy drivers do), SDL's callback pulling the mix. SDL_AUDIODRIVER
// picks the driver as usual (`disk` and `dummy` work without sound hardware).
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "sound/audio_output.h"

namespace zv {

class SdlAudioOutput final : public AudioOutput {
public:
    // 4096 frames (93 ms) per callback: a music player needs no lower latency, and each callback is
    // a wake-up of SDL's thread (and a write on the disk driver).
    static constexpr std::uint16_t kFramesPerCallback = 4096;

    // Null when SDL's audio cannot be initialised or reports no output device. The device itself
    // is opened by the first resume().
    static std::unique_ptr<SdlAudioOutput> open();

    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    bool start(RenderFn render) override;
    void stop() override;
    // Closes the device and lets SDL's audio go (its thread ends, and so does any device watcher
    // the driver runs); resume() opens it again, at the rate the default device has then.
    void suspend() override;
    bool resume() override;
    int rate() const override { return rate_.load(); }

private:
    SdlAudioOutput() = default;
    // SDL's audio and the device, paused; false when either fails.
    bool open_device();
    void close_device();
    static void callback(void* self, std::uint8_t* stream, int len);

    std::uint32_t device_ = 0;  // 0 while closed
    RenderFn render_;           // written only while the device is closed, paused or locked
    bool stopped_ = false;
    std::atomic<int> rate_{kDefaultRate};  // written only while the device is closed
};

}  // namespace zv
