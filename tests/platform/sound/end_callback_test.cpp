#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

class SoundEndCallback : public SoundTest {
protected:
    FSOUND_STREAM* open_with_log(const std::string& name, double seconds = 0.2)
    {
        FSOUND_STREAM* s = FSOUND_Stream_Open(tone(name, 440, seconds).c_str(), 0, 0, 0);
        EXPECT_NE(s, nullptr);
        EXPECT_EQ(FSOUND_Stream_SetEndCallback(s, &EndLog::record, &log_), 1);
        return s;
    }

    EndLog log_;
};

TEST_F(SoundEndCallback, RunsOnceOnTheUiThreadWhenTheStreamPlaysOutAndAgainWhenReplayed)
{
    FSOUND_STREAM* s = open_with_log("a.mp3");
    FSOUND_Stream_Play(FSOUND_FREE, s);
    // It ends with the buffer that takes its last frame, even one frame past it.
    pull(8820);
    pull(1);
    // Nothing runs on the audio side: the call waits for the user-interface thread.
    EXPECT_TRUE(log_.ended.empty());
    EXPECT_EQ(run_posts(), 1);
    ASSERT_EQ(log_.ended.size(), 1u);
    EXPECT_EQ(log_.ended[0], s);
    pull(44100);
    EXPECT_EQ(run_posts(), 0);
    EXPECT_EQ(log_.ended.size(), 1u);
    // The ended stream stays open and frees its channel.
    EXPECT_EQ(FSOUND_Stream_GetOpenState(s), 0);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 8820u);
    FSOUND_Stream_SetPosition(s, 0);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, s), 0);
    EXPECT_GT(fixtures::rms_level(pull(4000).data(), 4000), 1000.0);
    pull(44100);
    run_posts();
    EXPECT_EQ(log_.ended.size(), 2u);
}

TEST_F(SoundEndCallback, NotAfterStopCloseOrReplaceBeforeDelivery)
{
    FSOUND_STREAM* stopped = open_with_log("a.mp3");
    FSOUND_Stream_Play(FSOUND_FREE, stopped);
    pull(44100);
    FSOUND_Stream_Stop(stopped);
    run_posts();
    EXPECT_TRUE(log_.ended.empty());

    FSOUND_STREAM* closed = open_with_log("b.mp3");
    FSOUND_Stream_Play(FSOUND_FREE, closed);
    pull(44100);
    FSOUND_Stream_Close(closed);
    run_posts();
    EXPECT_TRUE(log_.ended.empty());

    // Replacing a stream still sounding cuts it off for good.
    FSOUND_STREAM* replaced = open_with_log("c.mp3");
    FSOUND_STREAM* next = open_with_log("d.mp3", 2.0);
    ASSERT_EQ(FSOUND_Stream_Play(3, replaced), 3);
    pull(1000);
    ASSERT_EQ(FSOUND_Stream_Play(3, next), 3);
    pull(20000);
    run_posts();
    EXPECT_TRUE(log_.ended.empty());

    // A stop staged in the turn in which the mixer takes the last frame wins as well.
    system_.publish_at_turn_end(true);
    FSOUND_STREAM* racing = open_with_log("e.mp3");
    FSOUND_Stream_Play(FSOUND_FREE, racing);
    system_.publish();
    pull(8000);
    FSOUND_Stream_Stop(racing);
    pull(2000);  // to its end at 8820
    system_.publish();
    run_posts();
    EXPECT_TRUE(log_.ended.empty());
    // So does playing it again from the start: it sounds again, with no end for the earlier play.
    FSOUND_STREAM* again = open_with_log("f.mp3");
    FSOUND_Stream_Play(FSOUND_FREE, again);
    system_.publish();
    pull(8000);
    FSOUND_Stream_SetPosition(again, 0);
    FSOUND_Stream_Play(FSOUND_FREE, again);
    pull(2000);  // still sounding, to its end at 8820
    system_.publish();
    run_posts();
    EXPECT_TRUE(log_.ended.empty());
    EXPECT_GT(fixtures::rms_level(pull(2000).data(), 2000), 1000.0);
}

TEST_F(SoundEndCallback, NotDeliveredAfterTheSystemCloses)
{
    FSOUND_STREAM* s = open_with_log("a.mp3");
    FSOUND_Stream_Play(FSOUND_FREE, s);
    pull(44100);
    FSOUND_Close();
    run_posts();
    EXPECT_TRUE(log_.ended.empty());
    EXPECT_NE(FSOUND_Stream_GetOpenState(s), 0);
}

TEST_F(SoundEndCallback, CallbackCanStartTheNextTrack)
{
    Advance adv;
    adv.paths = {tone("one.mp3", 330, 0.2), tone("two.mp3", 660, 0.2)};
    adv.play_next();
    EXPECT_NEAR(fixtures::dominant_frequency(pull(4096).data(), 4096, 44100), 330, 4);
    pull(8820 - 4096);
    pull(16);
    run_posts();
    EXPECT_EQ(adv.ends, 1);
    EXPECT_NEAR(fixtures::dominant_frequency(pull(4096).data(), 4096, 44100), 660, 7);
    EXPECT_EQ(FSOUND_GetVolume(0), 200);
    pull(8820);
    run_posts();
    EXPECT_EQ(adv.ends, 2);
    EXPECT_NEAR(fixtures::dominant_frequency(pull(4096).data(), 4096, 44100), 330, 4);
}

}  // namespace
}  // namespace zv::test
