// The SDL device output on SDL's dummy driver: the device's own thread calls render.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <condition_variable>
#include <mutex>

#include "backend/sdl_audio_output.h"

namespace zv::testing {
namespace {

TEST(SdlAudioOutput, DeviceThreadRendersUntilStopped)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::unique_ptr<SdlAudioOutput> out = SdlAudioOutput::open();
    ASSERT_NE(out, nullptr);
    std::mutex m;
    std::condition_variable cv;
    int calls = 0;
    std::size_t frames_seen = 0;
    ASSERT_TRUE(out->start([&](std::int16_t* p, std::size_t frames) {
        std::fill_n(p, frames * 2, std::int16_t{0});
        std::lock_guard lock(m);
        ++calls;
        frames_seen = frames;
        cv.notify_one();
    }));
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return calls >= 3; });
    }
    out->stop();
    int after_stop = 0;
    {
        std::lock_guard lock(m);
        after_stop = calls;
    }
    EXPECT_GT(frames_seen, 0u);
    out->stop();  // twice is harmless
    EXPECT_FALSE(out->start([](std::int16_t*, std::size_t) {}));
    std::lock_guard lock(m);
    EXPECT_EQ(calls, after_stop);
}

}  // namespace
}  // namespace zv::testing
