// The real arrangement: an audio thread pulling the mix while the user-interface thread plays,
// stops and runs end callbacks. Meant to run clean under ThreadSanitizer.
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <thread>

#include "sound/mp3_decoder.h"
#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

struct UiQueue {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::function<void()>> items;

    void post(std::function<void()> f)
    {
        {
            std::lock_guard lock(mutex);
            items.push_back(std::move(f));
        }
        cv.notify_one();
    }
    // Waits for at least one closure and runs everything queued.
    void run_some()
    {
        std::vector<std::function<void()>> now;
        {
            std::unique_lock lock(mutex);
            cv.wait(lock, [&] { return !items.empty(); });
            now.swap(items);
        }
        for (auto& f : now) f();
    }
};

TEST(SoundThreaded, AudioThreadPullsWhileUiThreadPlaysAndAdvances)
{
    FixtureDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        fixtures::ToneTrack t;
        t.frequency_hz = 300 + 100 * i;
        t.seconds = 0.15;
        t.artist = "Artist " + std::to_string(i);
        t.id3v2_version = 0;
        const auto p = dir.file("t" + std::to_string(i) + ".mp3");
        ASSERT_TRUE(fixtures::write_tone_mp3(p, t));
        paths.push_back(p.string());
    }

    UiQueue ui;
    SoundSystem sys([] { return std::make_unique<PulledAudioOutput>(); },
                    [&ui](std::function<void()> f) { ui.post(std::move(f)); });
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    auto* sink = dynamic_cast<PulledAudioOutput*>(sys.output());
    ASSERT_NE(sink, nullptr);

    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<std::int16_t> buf(512 * 2);
        while (!done.load()) sink->pull(buf.data(), 512);
    });

    Advance chain;
    chain.paths = paths;
    chain.play_next();
    // A second stream churned by the user-interface thread meanwhile.
    FSOUND_STREAM* other = FSOUND_Stream_Open(paths[0].c_str(), 0, 0, 0);
    while (chain.ends < 8) {
        FSOUND_Stream_Play(FSOUND_FREE, other);
        FSOUND_GetVolume(0);
        FSOUND_Stream_Stop(other);
        FSOUND_Stream_SetPosition(other, FSOUND_Stream_GetPosition(other) / 2);
        int n = 0;
        FSOUND_Stream_GetNumTagFields(chain.current, &n);
        ui.run_some();
    }
    // At rest the device goes while the thread keeps pulling, and a play takes it again.
    FSOUND_Stream_Stop(chain.current);
    FSOUND_Stream_Stop(other);
    while (sink->device_open()) ui.run_some();
    EXPECT_GE(FSOUND_Stream_Play(FSOUND_FREE, chain.current), 0);
    EXPECT_TRUE(sink->device_open());
    // Stopping the output while the thread still pulls leaves it rendering silence.
    sys.output()->stop();
    EXPECT_EQ(sink->pull(std::vector<std::int16_t>(64).data(), 32), 0u);
    done = true;
    audio.join();
    FSOUND_Close();
    EXPECT_GE(chain.ends, 8);
    EXPECT_NE(FSOUND_Stream_GetOpenState(chain.current), 0);
}

// A device's pace on the virtual clock while slow storage holds the decoder back: what a listener
// hears when decoding falls behind, and what the positions say meanwhile.
class SoundUnderrun : public SoundTest {
protected:
    SoundUnderrun() : SoundTest(true) {}

    // Moves the clock on and returns what the device rendered meanwhile.
    std::vector<std::int16_t> listen(std::uint64_t ms)
    {
        clock_.set(clock_.now_ms() + ms);
        auto& device = dynamic_cast<ClockedAudioOutput&>(*system_.output());
        device.catch_up();
        return device.take_heard();
    }

    // Whether `pcm` is `reference` from frame `from` for as far as the stream's position went past
    // it, and silence after that.
    bool plays(const std::vector<std::int16_t>& pcm, std::size_t from, FSOUND_STREAM* s) const
    {
        const long n = (static_cast<long>(FSOUND_Stream_GetPosition(s)) - static_cast<long>(from)) * 2;
        return n >= 0 && n <= static_cast<long>(pcm.size()) &&
               std::equal(pcm.begin(), pcm.begin() + n, reference_.begin() + static_cast<long>(from) * 2) &&
               std::all_of(pcm.begin() + n, pcm.end(), [](std::int16_t v) { return v == 0; });
    }

    std::vector<std::int16_t> reference_ = std::vector<std::int16_t>(5 * 44100 * 2);
};

TEST_F(SoundUnderrun, MusicBreaksOffAndGoesOnWhereItStoppedWhateverTheUserDoesMeanwhile)
{
    const std::string path = tone("a.mp3", 440, 5.0);
    ASSERT_EQ(Mp3Decoder::open(path)->read(reference_), 5 * 44100u);
    const auto size = static_cast<double>(std::filesystem::file_size(path));
    auto upto = [&](double seconds) { return static_cast<std::int64_t>(size * seconds / 5.0); };
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);

    // Reads past 0.3 s of sound wait: what was decoded plays, then silence.
    card_.allow(upto(0.3));
    FSOUND_Stream_Play(FSOUND_FREE, s);
    ASSERT_TRUE(card_.wait_held());
    const auto first = listen(1000);
    const unsigned decoded = FSOUND_Stream_GetPosition(s);
    EXPECT_GT(decoded, 8820u);
    ASSERT_LT(decoded, 20000u);
    EXPECT_TRUE(plays(first, 0, s));
    // The user-interface side is not held.
    EXPECT_EQ(FSOUND_SetVolume(FSOUND_ALL, 90), 1);
    EXPECT_EQ(FSOUND_GetVolume(0), 90);
    FSOUND_SetVolume(FSOUND_ALL, 255);

    // Once more is read the music goes on exactly where it broke off.
    card_.allow(upto(0.6));
    ASSERT_TRUE(card_.wait_held());
    EXPECT_TRUE(plays(listen(1000), decoded, s));
    const unsigned caught_up = FSOUND_Stream_GetPosition(s);
    EXPECT_GT(caught_up, decoded + 8820);

    // Paused as the player pauses, with a buffer rendered before the turn ends, and resumed: the
    // stop silences at once and the resume repeats nothing.
    system_.publish_at_turn_end(true);
    card_.allow(upto(1.2));
    ASSERT_TRUE(card_.wait_held());
    EXPECT_EQ(FSOUND_Stream_Stop(s), 1);
    const unsigned paused = FSOUND_Stream_GetPosition(s);
    EXPECT_TRUE(plays(listen(100), paused, s));
    system_.publish();
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), caught_up);
    FSOUND_Stream_SetPosition(s, paused);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    system_.publish();
    EXPECT_TRUE(plays(listen(2000), paused, s));
    const unsigned behind = FSOUND_Stream_GetPosition(s);
    EXPECT_GT(behind, paused + 8820);

    // A position set while the decoder is behind: silence until it has read there, then the track
    // from there.
    FSOUND_Stream_SetPosition(s, 88200);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 88200u);
    system_.publish();
    EXPECT_TRUE(plays(listen(200), 88200, s));
    card_.allow(upto(2.7));
    ASSERT_TRUE(card_.wait_held());
    EXPECT_TRUE(plays(listen(1000), 88200, s));
    EXPECT_GT(FSOUND_Stream_GetPosition(s), 88200u + 8820);

    // Left alone the decoder keeps ahead, woken to refill as the ring runs down: no gap any more.
    card_.allow();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(system_.wait_decoder_asleep());
        const unsigned at = FSOUND_Stream_GetPosition(s);
        const auto heard = listen(700);  // past half the ring
        EXPECT_EQ(FSOUND_Stream_GetPosition(s) - at, heard.size() / 2) << i;
        EXPECT_TRUE(plays(heard, at, s));
    }
}

TEST_F(SoundUnderrun, TheDeviceRendersEachBufferOnceItsTimeHasCome)
{
    EXPECT_EQ(listen(100).size(), 0u);                      // not taken before a play
    EXPECT_TRUE(system_.output()->resume());                // taken, as a first play takes it
    EXPECT_EQ(listen(23).size(), 0u);                       // 1014 frames: not yet a buffer
    EXPECT_TRUE(system_.output()->resume());                // already running: it keeps its pace
    EXPECT_EQ(listen(10240 - 23).size(), 441u * 1024 * 2);  // 10.24 s: exactly 441 buffers
}

TEST_F(SoundUnderrun, TheStreamWithLeastDecodedIsDecodedFirst)
{
    const std::string path = tone("a.mp3", 440, 5.0);
    FSOUND_STREAM* ahead = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    FSOUND_Stream_Play(FSOUND_FREE, ahead);
    ASSERT_TRUE(system_.wait_decoder_asleep());  // its ring is full
    FSOUND_STREAM* starting = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    // Storage slows down from half a second into the file, where the first stream reads next.
    card_.allow(static_cast<std::int64_t>(std::filesystem::file_size(path) / 10));
    // Playing on makes room for more, but the decoder sleeps on until half the ring is free.
    listen(100);
    EXPECT_TRUE(system_.wait_decoder_asleep());
    // The decoder must serve the new stream first, or it would stall on the first one.
    FSOUND_Stream_Play(FSOUND_FREE, starting);
    ASSERT_TRUE(card_.wait_held());
    listen(100);
    EXPECT_EQ(FSOUND_Stream_GetPosition(starting), 4096u);
    // The first stream plays on from its full ring, about a second, while the decoder is held.
    listen(1200);
    EXPECT_EQ(FSOUND_Stream_GetPosition(ahead), StreamSource::kRingFrames);
}

}  // namespace
}  // namespace zv::test
