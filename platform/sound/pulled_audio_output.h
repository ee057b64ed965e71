// An output without a device: the caller pulls frames, so playback time is exactly what was pulled.
#pragma once
#include <atomic>
#include <mutex>

#include "sound/audio_output.h"

namespace zv {

class PulledAudioOutput final : public AudioOutput {
public:
    enum class Timing {
        // A pull first waits until every playing stream has its frames decoded or has ended, so
        // what a test pulls never depends on the decoder thread's pace.
        WaitForDecoder,
        // A pull takes what is decoded, as a device does.
        RealTime,
    };

    explicit PulledAudioOutput(Timing timing = Timing::WaitForDecoder) : timing_(timing) {}

    bool start(RenderFn render) override;
    void stop() override;
    void suspend() override;
    bool resume() override;
    bool waits_for_decoding() const override { return timing_.load() == Timing::WaitForDecoder; }
    void set_timing(Timing timing) { timing_.store(timing); }
    int rate() const override { return rate_.load(); }
    // As a device that comes back at another rate: the next render follows it.
    void set_rate(int rate) { rate_.store(rate); }

    // Renders `frames` frames into `out` (interleaved stereo). Silence, and 0 returned, while stopped
    // or suspended.
    std::size_t pull(std::int16_t* out, std::size_t frames);

    // Whether the device is held (started and not suspended), and how often it was taken: the start
    // and every resume from suspension.
    bool device_open() const;
    int opens() const;

private:
    std::atomic<Timing> timing_;
    std::atomic<int> rate_{kDefaultRate};
    mutable std::mutex mutex_;  // held across a render, so stop() and suspend() wait for one in progress
    RenderFn render_;
    bool open_ = false;
    int opens_ = 0;
};

}  // namespace zv
