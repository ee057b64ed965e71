#include <algorithm>
#include <cmath>

#include "sound/mp3_decoder.h"
#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

using fixtures::dominant_frequency;
using fixtures::rms_level;

class SoundPlayback : public SoundTest {};

TEST_F(SoundPlayback, EachFileSoundsAtItsOwnFrequency)
{
    for (double hz : {330.0, 523.0, 880.0}) {
        FSOUND_STREAM* s = FSOUND_Stream_Open(tone("t" + std::to_string(int(hz)) + ".mp3", hz).c_str(), 0, 0, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(FSOUND_Stream_GetOpenState(s), 0);
        ASSERT_GE(FSOUND_Stream_Play(FSOUND_FREE, s), 0);
        const auto pcm = pull(8192);
        EXPECT_NEAR(dominant_frequency(pcm.data(), 8192, 44100), hz, hz * 0.01);
        FSOUND_Stream_Stop(s);
        FSOUND_Stream_Close(s);
    }
}

TEST_F(SoundPlayback, VolumeScalesItsChannelsClampedToTheScaleAndPlayKeepsIt)
{
    FSOUND_STREAM* s = FSOUND_Stream_Open(tone("a.mp3", 440, 1.0).c_str(), 0, 0, 0);
    const int ch = FSOUND_Stream_Play(FSOUND_FREE, s);
    ASSERT_EQ(ch, 0);
    EXPECT_EQ(FSOUND_GetVolume(ch), 255);
    pull(4096);  // past the encoder's start-up
    const double full = rms_level(pull(4096).data(), 4096);
    // The gain is round(volume × 65536 / 255), the volume clamped to the scale.
    for (auto [volume, gain] : {std::pair{128, 32897}, std::pair{255, 65536}, std::pair{300, 65536}})
        EXPECT_EQ(volume_gain_q16(volume), gain);
    // Volumes outside the scale are kept as set but sound clamped to it.
    for (auto [volume, level] : {std::pair{128, 128.0 / 255.0}, std::pair{270, 1.0}, std::pair{-10, 0.0}}) {
        const std::uint64_t version = system_.now_playing_version();
        FSOUND_SetVolume(FSOUND_ALL, volume);
        EXPECT_NE(system_.now_playing_version(), version);  // the desktop's media controls see it
        EXPECT_EQ(FSOUND_GetVolume(ch), volume);
        EXPECT_EQ(FSOUND_GetVolume(31), volume);
        const double heard = rms_level(pull(4096).data(), 4096) / full;
        if (level == 0.0)
            EXPECT_EQ(heard, 0.0);
        else
            EXPECT_NEAR(heard, level, 0.02) << volume;
    }
    FSOUND_SetVolume(FSOUND_ALL, 255);
    FSOUND_SetVolume(ch, 0);
    EXPECT_EQ(rms_level(pull(4096).data(), 4096), 0.0);
    FSOUND_Stream_Close(s);

    // Starting a stream must not put its channel back to full volume: the output may render
    // before the caller sets the volume again, and that would be a burst at full gain.
    FSOUND_SetVolume(FSOUND_ALL, 50);
    FSOUND_STREAM* next = FSOUND_Stream_Open(tone("b.mp3", 440, 1.0).c_str(), 0, 0, 0);
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, next), 0);
    EXPECT_EQ(FSOUND_GetVolume(0), 50);
    EXPECT_EQ(FSOUND_GetVolume(1), 50);
    pull(4096);
    EXPECT_NEAR(rms_level(pull(4096).data(), 4096) / full, 50.0 / 255.0, 0.02);
}

TEST_F(SoundPlayback, GainIsTheDecodeScaledAndRoundedOnce)
{
    // A loud track at volume 50 against libmpg123's own decode times 50/255, rounded.
    fixtures::ToneTrack t;
    t.frequency_hz = 997;
    t.amplitude = 0.9;
    t.id3v2_version = 0;
    const std::string path = tone("loud.mp3", t);
    std::vector<std::int16_t> decoded(30000 * 2);
    ASSERT_EQ(Mp3Decoder::open(path)->read(decoded), 30000u);
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    FSOUND_SetVolume(FSOUND_ALL, 50);
    const auto played = pull(30000);
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < played.size(); ++i) {
        const double expected = std::round(decoded[i] * 50.0 / 255.0);
        signal += expected * expected;
        noise += (played[i] - expected) * (played[i] - expected);
    }
    const double snr_db = 10 * std::log10(signal / std::max(noise, 1e-9));
    EXPECT_GE(snr_db, 60.0);
}

TEST_F(SoundPlayback, PositionCountsWhatSoundedAndPauseAndResumeGoOnExactly)
{
    const std::string path = tone("a.mp3", 440, 1.0);
    // The reference: the same file played straight through.
    FSOUND_STREAM* ref = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    FSOUND_Stream_Play(FSOUND_FREE, ref);
    const auto straight = pull(12000);
    FSOUND_Stream_Close(ref);

    // Nothing sounds before the play or after the stop, and the position counts what sounded.
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    EXPECT_EQ(rms_level(pull(2048).data(), 2048), 0.0);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 0u);
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, s), 0);
    EXPECT_GT(rms_level(pull(2000).data(), 2000), 1000.0);
    pull(6000);
    FSOUND_Stream_Stop(s);
    EXPECT_EQ(rms_level(pull(5000).data(), 5000), 0.0);
    const unsigned paused = FSOUND_Stream_GetPosition(s);
    ASSERT_EQ(paused, 8000u);
    // Resumed as the player resumes: the same position, then a play.
    ASSERT_EQ(FSOUND_Stream_SetPosition(s, paused), 1);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    const auto resumed = pull(4000);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 12000u);
    EXPECT_TRUE(std::equal(resumed.begin(), resumed.end(), straight.begin() + 8000 * 2));
}

TEST_F(SoundPlayback, SetPositionMovesTheNextPlayAndThePlayingSound)
{
    const std::string path = tone("a.mp3", 440, 1.0);
    std::vector<std::int16_t> reference(44100 * 2);
    ASSERT_EQ(Mp3Decoder::open(path)->read(reference), 44100u);
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_EQ(FSOUND_Stream_SetPosition(s, 30000), 1);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 30000u);
    EndLog log;
    FSOUND_Stream_SetEndCallback(s, &EndLog::record, &log);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    // 14100 frames were left of the 44100, more than the lead of its end.
    pull(5000);
    run_posts();
    EXPECT_TRUE(log.ended.empty());
    // Moved while playing: what was decoded ahead goes, and the sound goes on from there.
    FSOUND_Stream_SetPosition(s, 20000);
    const auto moved = pull(1000);
    EXPECT_TRUE(std::equal(moved.begin(), moved.end(), reference.begin() + 20000 * 2));
    pull(25000);
    run_posts();
    EXPECT_EQ(log.ended.size(), 1u);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 44100u);
}

TEST_F(SoundPlayback, TwoStreamsMixOnTheirOwnChannels)
{
    FSOUND_STREAM* a = FSOUND_Stream_Open(tone("a.mp3", 440).c_str(), 0, 0, 0);
    FSOUND_STREAM* b = FSOUND_Stream_Open(tone("b.mp3", 440).c_str(), 0, 0, 0);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, a), 0);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, b), 1);
    FSOUND_SetVolume(1, 0);
    pull(4096);
    const double one = rms_level(pull(4096).data(), 4096);
    FSOUND_SetVolume(1, 255);
    const double two = rms_level(pull(4096).data(), 4096);
    EXPECT_NEAR(two / one, 2.0, 0.05);  // same tone in phase: amplitudes add
    FSOUND_SetVolume(FSOUND_ALL, 51);
    EXPECT_NEAR(rms_level(pull(4096).data(), 4096) / one, 0.4, 0.02);
    // A stopped stream frees the lowest channel for the next play.
    FSOUND_Stream_Stop(a);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, a), 0);
    EXPECT_EQ(FSOUND_Stream_Play(5, a), 5);
    EXPECT_EQ(FSOUND_Stream_Play(32, a), -1);
}

TEST_F(SoundPlayback, AllChannelsBusyMeansNoFreeChannel)
{
    const std::string path = tone("a.mp3", 440);
    std::vector<FSOUND_STREAM*> streams;
    for (int i = 0; i < 32; ++i) {
        streams.push_back(FSOUND_Stream_Open(path.c_str(), 0, 0, 0));
        ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, streams.back()), i);
    }
    FSOUND_STREAM* extra = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, extra), -1);
    // 32 streams decode and mix, the same tone in phase: clipped at full scale, never wrapped round.
    const auto mixed = pull(4096);
    EXPECT_GT(std::count_if(mixed.begin(), mixed.end(), [](std::int16_t v) { return v >= 32767 || v == -32768; }),
              static_cast<long>(mixed.size() * 3 / 4));
}

}  // namespace
}  // namespace zv::test
