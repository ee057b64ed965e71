// An output without a device that keeps a device's pace on a clock: each time the clock has passed
// another buffer's worth of time it mixes one buffer of whatever the streams have decoded. Like a
// device it never waits for the decoder, so what is not decoded in time is silence. It keeps what
// it rendered, which is what a listener would have heard.
#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/clock.h"
#include "sound/audio_output.h"

namespace zv {

class ClockedAudioOutput final : public AudioOutput {
public:
    static constexpr std::size_t kBufferFrames = 1024;  // a device's buffer, about 23 ms

    explicit ClockedAudioOutput(const Clock& clock) : clock_(clock) {}

    bool start(RenderFn render) override;
    void stop() override;
    void suspend() override;
    bool resume() override;

    // Renders every buffer that has fallen due by the clock since the device was taken; returns the
    // frames rendered. Time while the device is let go is not rendered, as no device plays it.
    std::size_t catch_up();
    // What was rendered since the last call (interleaved stereo), handed out once.
    std::vector<std::int16_t> take_heard();

private:
    void open_locked();

    const Clock& clock_;
    std::mutex mutex_;  // held across a render, so stop() and suspend() wait for one in progress
    RenderFn render_;
    bool open_ = false;
    std::uint64_t opened_ms_ = 0;  // when the device was last taken
    std::uint64_t rendered_ = 0;   // frames rendered since then
    std::vector<std::int16_t> heard_;
};

}  // namespace zv
