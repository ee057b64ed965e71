// The SDL device output on SDL's dummy driver: the device's own thread calls render.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <condition_variable>
#include <mutex>

#include "backend/sdl_audio_output.h"

namespace zv::test {
namespace {

TEST(SdlAudioOutput, DeviceThreadRendersUntilSuspendedResumedAndStopped)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::unique_ptr<SdlAudioOutput> out = SdlAudioOutput::open();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->rate(), 44100);  // the dummy device names no rate of its own
    std::mutex m;
    std::condition_variable cv;
    int calls = 0;
    std::size_t frames_seen = 0;
    auto calls_now = [&] {
        std::lock_guard lock(m);
        return calls;
    };
    ASSERT_TRUE(out->start([&](std::int16_t* p, std::size_t frames) {
        std::fill_n(p, frames * 2, std::int16_t{0});
        std::lock_guard lock(m);
        ++calls;
        frames_seen = frames;
        cv.notify_one();
    }));
    // Nothing renders until the device is taken.
    EXPECT_EQ(calls_now(), 0);
    ASSERT_TRUE(out->resume());
    auto wait_for_calls = [&](int n) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return calls >= n; });
    };
    wait_for_calls(2);
    EXPECT_EQ(frames_seen, SdlAudioOutput::kFramesPerCallback);

    // Suspended, the device is closed: no call is in progress or starts. Resumed, the same render
    // runs again.
    out->suspend();
    const int at_suspend = calls_now();
    out->suspend();  // twice is harmless
    EXPECT_EQ(calls_now(), at_suspend);
    ASSERT_TRUE(out->resume());
    EXPECT_TRUE(out->resume());
    wait_for_calls(at_suspend + 1);

    out->stop();
    const int after_stop = calls_now();
    out->stop();  // twice is harmless
    EXPECT_FALSE(out->resume());
    EXPECT_FALSE(out->start([](std::int16_t*, std::size_t) {}));
    EXPECT_EQ(calls_now(), after_stop);
}

}  // namespace
}  // namespace zv::test
