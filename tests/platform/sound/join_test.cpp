// Joins between tracks as the player makes them at a stream's end (stop and close it, open and
// play the next): the next track's first frame follows the last one's, and a user's stop, pause or
// tap during the last of a track still answers at once.
#include <algorithm>

#include "sound/mp3_decoder.h"
#include "tests/platform/sound/sound_test_env.h"
#include "tests/support/sine_parts.h"

namespace zv::test {
namespace {

constexpr std::size_t kBuffer = 1024;

class SoundJoin : public SoundTest {
protected:
    // Pulls a device's buffer at a time, running what the audio side posts between buffers.
    std::vector<std::int16_t> play_for(std::size_t frames)
    {
        std::vector<std::int16_t> heard;
        while (heard.size() / 2 < frames) {
            const auto b = pull(kBuffer);
            heard.insert(heard.end(), b.begin(), b.end());
            run_posts();
        }
        return heard;
    }
    // Plays until the current track's end has been delivered; returns what was heard.
    std::vector<std::int16_t> play_to_end(Advance& a)
    {
        const int before = a.ends;
        std::vector<std::int16_t> heard;
        for (int i = 0; i < 1000 && a.ends == before; ++i) {
            const auto b = play_for(kBuffer);
            heard.insert(heard.end(), b.begin(), b.end());
        }
        return heard;
    }
    // The file's frames as the mixer scales them at `volume`.
    static std::vector<std::int16_t> decoded(const std::string& path, int volume)
    {
        std::vector<std::int16_t> pcm(44100 * 4 * 2);
        pcm.resize(Mp3Decoder::open(path)->read(pcm) * 2);
        std::vector<std::int16_t> out(pcm.size());
        ChannelMixer::scale(pcm, out.data(), volume_gain_q16(volume));
        return out;
    }
    static bool starts_with(const std::vector<std::int16_t>& heard, std::size_t at,
                            const std::vector<std::int16_t>& want, std::size_t frames)
    {
        return heard.size() >= (at + frames) * 2 && want.size() >= frames * 2 &&
               std::equal(want.begin(), want.begin() + static_cast<long>(frames * 2),
                          heard.begin() + static_cast<long>(at * 2));
    }
};

TEST_F(SoundJoin, ATrackShorterThanTheLeadJoinsBothWaysAndEachEndComesOnceAfterItsFirstFrame)
{
    // Cut near the sine's peaks, where a resampled edge rings most; the middle part is 92 ms, less
    // than what is left of a track when its end comes. At 48 kHz the third part follows a part
    // that itself followed the first.
    for (int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const auto frames = static_cast<std::size_t>(rate) * 3 / 2;
        const SineParts sine = write_sine_parts(dir_.path(), rate, frames, {30301, 34711}, std::to_string(rate));
        ASSERT_EQ(sine.paths.size(), 3u);
        Advance a;
        a.volume = 255;
        a.paths = sine.paths;
        a.play_next();
        const auto heard = play_for(frames * 44100 / static_cast<std::size_t>(rate) + 4410);
        // The three as one stream, to the rounding of the edges added across each join, with no
        // quiet run inside. (The reference starts and ends without the silence the player
        // resamples around a file, so its first and last frames differ by a few steps.)
        const std::vector<std::int16_t> whole = as_one_stream(sine, 44100, 255);
        int worst = 0;
        for (std::size_t i = 2 * 64; i + 2 * 64 < whole.size(); ++i)
            worst = std::max(worst, std::abs(heard[i] - whole[i]));
        EXPECT_LE(worst, rate == 44100 ? 0 : 2);
        EXPECT_LE(hear_joins(heard, 44100, sine).longest_quiet, 8u);
        EXPECT_EQ(a.ends, 3);  // the third part's end, then the first part again
        ASSERT_EQ(a.positions_at_end.size(), 3u);
        for (unsigned p : a.positions_at_end) EXPECT_GT(p, 0u);
        // At most the lead was left of the first part (positions count its own frames).
        EXPECT_GE(a.positions_at_end[0], 30301 - static_cast<unsigned>(rate * OutputGate::kEndLeadMs / 1000));
        FSOUND_Stream_Close(a.current);
    }
}

TEST_F(SoundJoin, TheQueuedTrackTakesItsVolumeAndPositionFromItsFirstFrameAndAFailedNextLetsTheTailPlayOut)
{
    const std::string one = tone("one.mp3", 330, 0.5), two = tone("two.mp3", 660, 0.5);
    Advance a;
    a.paths = {one, two, dir_.file("missing.mp3").string()};
    a.play_next();  // at 200
    a.volume = 100;
    std::vector<std::int16_t> heard = play_to_end(a);
    // The end came with at most the lead left, and the next track waits behind what is left.
    const std::size_t at_end = heard.size() / 2;
    const auto first = decoded(one, 200), second = decoded(two, 100);
    ASSERT_GE(at_end + kLeadFrames, first.size() / 2);
    EXPECT_EQ(FSOUND_Stream_GetPosition(a.current), 0u);
    const auto rest = play_for(first.size() / 2 - at_end + 4096);
    heard.insert(heard.end(), rest.begin(), rest.end());
    EXPECT_TRUE(starts_with(heard, 0, first, first.size() / 2));
    EXPECT_TRUE(starts_with(heard, first.size() / 2, second, 4096));
    EXPECT_EQ(FSOUND_Stream_GetPosition(a.current), heard.size() / 2 - first.size() / 2);

    // The next file does not open: what is left of this one plays out, then there is silence.
    const std::size_t heard_of_second = heard.size() / 2 - first.size() / 2;
    heard = play_to_end(a);
    ASSERT_EQ(a.current, nullptr);
    const auto after = play_for(second.size() / 2);
    heard.insert(heard.end(), after.begin(), after.end());
    const auto left = second.begin() + static_cast<long>(heard_of_second * 2);
    EXPECT_TRUE(std::equal(left, second.end(), heard.begin()));
    EXPECT_TRUE(std::all_of(heard.begin() + (second.end() - left), heard.end(), [](std::int16_t v) { return v == 0; }));
    EXPECT_EQ(a.ends, 2);
}

TEST_F(SoundJoin, AStopPauseTapSeekOrAnotherPlayDuringTheTailAnswersAtOnce)
{
    const std::string one = tone("one.mp3", 330, 0.5), two = tone("two.mp3", 660, 0.5),
                      three = tone("three.mp3", 990, 0.5);
    for (const char* action : {"stop", "pause", "tap", "another", "seek"}) {
        SCOPED_TRACE(action);
        Advance a;
        a.paths = {one, two};
        a.play_next();
        play_to_end(a);
        FSOUND_STREAM* queued = a.current;
        if (std::string(action) == "seek") {
            // Moving the queued stream: it plays from there at once.
            FSOUND_Stream_SetPosition(queued, 4410);
            const auto d = decoded(two, 200);
            EXPECT_TRUE(starts_with(play_for(2048), 0, {d.begin() + 4410 * 2, d.end()}, 2048));
            FSOUND_Stream_Close(queued);
            continue;
        }
        if (std::string(action) == "another") {
            // A play of another stream, the queued one left as it is: both sound at once.
            FSOUND_STREAM* other = FSOUND_Stream_Open(three.c_str(), 0, 0, 0);
            FSOUND_Stream_Play(FSOUND_FREE, other);
            std::vector<std::int16_t> both(4096 * 2);
            ChannelMixer mixer;
            mixer.begin(2048);
            for (const auto& d : {decoded(two, 255), decoded(three, 255)})
                mixer.add({d.data(), 4096}, 0, volume_gain_q16(200));
            mixer.finish(both.data());
            EXPECT_TRUE(starts_with(play_for(2048), 0, both, 2048));
            FSOUND_Stream_Close(other);
            FSOUND_Stream_Close(queued);
            continue;
        }
        // The player pauses by stopping its stream, keeping the position; a tap replaces it.
        FSOUND_Stream_Stop(queued);
        const unsigned paused = FSOUND_Stream_GetPosition(queued);
        EXPECT_EQ(paused, 0u);
        if (std::string(action) == "stop") {
            EXPECT_TRUE(std::ranges::all_of(play_for(kLeadFrames * 2), [](std::int16_t v) { return v == 0; }));
        } else if (std::string(action) == "pause") {
            FSOUND_Stream_SetPosition(queued, paused);
            FSOUND_Stream_Play(FSOUND_FREE, queued);
            FSOUND_SetVolume(FSOUND_ALL, 200);
            EXPECT_TRUE(starts_with(play_for(4096), 0, decoded(two, 200), 4096));
        } else {
            FSOUND_Stream_Close(queued);
            a.current = FSOUND_Stream_Open(three.c_str(), 0, 0, 0);
            FSOUND_Stream_SetEndCallback(a.current, &Advance::on_end, &a);
            FSOUND_Stream_Play(FSOUND_FREE, a.current);
            FSOUND_SetVolume(FSOUND_ALL, 200);
            EXPECT_TRUE(starts_with(play_for(4096), 0, decoded(three, 200), 4096));
        }
        // Whatever sounds now ends once, and nothing of the cut tail calls back.
        play_for(22050);
        EXPECT_EQ(a.ends, std::string(action) == "stop" ? 1 : 2);
        FSOUND_Stream_Close(a.current);
    }
}

}  // namespace
}  // namespace zv::test
