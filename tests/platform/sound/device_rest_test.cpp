// The device is let go once nothing has sounded for the grace period, and a play takes it again;
// the sound then goes on from exactly the frame where it stopped. The test's pulls are the clock.
#include <algorithm>

#include "sound/mp3_decoder.h"
#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

constexpr std::size_t kBuffer = 4410;  // 0.1 s, a grace period's 30th
static_assert(SoundSystem::kDeviceGraceFrames % kBuffer == 0);

class SoundDeviceRest : public SoundTest {
protected:
    // Pulls `frames` a buffer at a time, running what the audio side posts, as the user-interface
    // thread does between buffers.
    void idle(std::size_t frames)
    {
        for (std::size_t done = 0; done < frames; done += kBuffer) {
            pull(kBuffer);
            run_posts();
        }
    }

    bool continues(const std::vector<std::int16_t>& reference, std::size_t from, std::size_t frames)
    {
        const auto played = pull(frames);
        return std::equal(played.begin(), played.end(), reference.begin() + static_cast<long>(from * 2));
    }
};

TEST_F(SoundDeviceRest, ClosesAfterTheGracePeriodAndPlayingOnIsSampleExact)
{
    const std::string path = tone("a.mp3", 440, 4.0);
    std::vector<std::int16_t> reference(40000 * 2);
    ASSERT_EQ(Mp3Decoder::open(path)->read(reference), 40000u);
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);

    // Nothing takes the device before the first play.
    idle(SoundSystem::kDeviceGraceFrames * 2);
    EXPECT_FALSE(sink().device_open());
    EXPECT_EQ(sink().opens(), 0);
    // A play takes it and starts the period, even one stopped before a buffer sounded.
    FSOUND_Stream_Play(FSOUND_FREE, s);
    FSOUND_Stream_Stop(s);
    EXPECT_TRUE(sink().device_open());
    idle(SoundSystem::kDeviceGraceFrames - kBuffer);
    EXPECT_TRUE(sink().device_open());
    idle(kBuffer);
    EXPECT_FALSE(sink().device_open());
    EXPECT_EQ(sink().opens(), 1);

    // A play takes it again at once, and its first frames are the stream's first.
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, s), 0);
    EXPECT_TRUE(sink().device_open());
    EXPECT_EQ(sink().opens(), 2);
    EXPECT_TRUE(continues(reference, 0, 10000));

    // Paused as the player pauses (stop, then the same position and a play) past the grace period:
    // the device goes, and resuming goes on exactly where the pause was.
    FSOUND_Stream_Stop(s);
    const unsigned paused = FSOUND_Stream_GetPosition(s);
    ASSERT_EQ(paused, 10000u);
    idle(SoundSystem::kDeviceGraceFrames);
    EXPECT_FALSE(sink().device_open());
    FSOUND_Stream_SetPosition(s, paused);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    EXPECT_TRUE(sink().device_open());
    EXPECT_TRUE(continues(reference, 10000, 10000));

    // The notice to let the device go may come after a play: then it keeps the device.
    FSOUND_Stream_Stop(s);
    for (std::size_t done = 0; done < SoundSystem::kDeviceGraceFrames; done += kBuffer) pull(kBuffer);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    run_posts();
    EXPECT_TRUE(sink().device_open());
    EXPECT_EQ(sink().opens(), 3);
    EXPECT_TRUE(continues(reference, 20000, 10000));

    // Playing longer than the grace period keeps the device.
    idle(SoundSystem::kDeviceGraceFrames + kBuffer);
    EXPECT_TRUE(sink().device_open());
}

}  // namespace
}  // namespace zv::test
