// The real arrangement: an audio thread pulling the mix while the user-interface thread plays,
// stops and runs end callbacks. Meant to run clean under ThreadSanitizer.
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <thread>

#include "sound/mp3_decoder.h"
#include "tests/platform/sound/sound_test_env.h"

namespace zv::testing {
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

struct Chain {
    std::vector<std::string> paths;
    std::size_t next = 0;
    FSOUND_STREAM* current = nullptr;
    int ends = 0;

    static signed char on_end(FSOUND_STREAM*, void*, int, void* self)
    {
        auto* c = static_cast<Chain*>(self);
        ++c->ends;
        c->play_next();
        return 0;
    }
    void play_next()
    {
        if (FSOUND_Stream_GetOpenState(current) == 0) {
            FSOUND_Stream_Stop(current);
            FSOUND_Stream_Close(current);
        }
        current = FSOUND_Stream_Open(paths[next++ % paths.size()].c_str(), 0, 0, 0);
        FSOUND_Stream_SetEndCallback(current, &Chain::on_end, this);
        FSOUND_Stream_Play(FSOUND_FREE, current);
        FSOUND_SetVolume(FSOUND_ALL, 180);
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

    Chain chain;
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

// Holds every read from a given file offset on until released, as a stalled memory card would.
struct ReadGate {
    std::mutex mutex;
    std::condition_variable cv;
    std::int64_t from = -1;  // no hold while negative
    bool held = false;

    void before_read(std::int64_t offset)
    {
        std::unique_lock lock(mutex);
        if (from < 0 || offset < from) return;
        held = true;
        cv.notify_all();
        cv.wait(lock, [&] { return from < 0; });
        held = false;
    }
    void hold_from(std::int64_t offset)
    {
        std::lock_guard lock(mutex);
        from = offset;
    }
    void wait_until_held()
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return held; });
    }
    void release()
    {
        std::lock_guard lock(mutex);
        from = -1;
        cv.notify_all();
    }
};

TEST(SoundThreaded, OutputPlaysWhatIsDecodedWhileTheReaderIsStuck)
{
    FixtureDir dir;
    fixtures::ToneTrack t;
    t.seconds = 3.0;
    t.id3v2_version = 0;
    const auto path = dir.file("t.mp3");
    ASSERT_TRUE(fixtures::write_tone_mp3(path, t));
    std::vector<std::int16_t> reference(40000 * 2);
    ASSERT_EQ(Mp3Decoder::open(path.string())->read(reference), 40000u);

    ReadGate gate;
    SoundSystem sys([] { return std::make_unique<PulledAudioOutput>(PulledAudioOutput::Timing::RealTime); },
                    [](std::function<void()>) {});
    struct Release {
        ReadGate& gate;
        ~Release() { gate.release(); }
    } release{gate};  // before the system joins its decoder thread, whatever fails
    sys.set_read_hook([&gate](std::int64_t offset) { gate.before_read(offset); });
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    auto& sink = dynamic_cast<PulledAudioOutput&>(*sys.output());

    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    // Reads past the first tenth of the file (0.3 s of sound) get stuck.
    gate.hold_from(static_cast<std::int64_t>(std::filesystem::file_size(path) / 10));
    FSOUND_Stream_Play(FSOUND_FREE, s);
    gate.wait_until_held();

    // The output plays everything decoded before the read got stuck, without a gap, then silence.
    std::vector<std::int16_t> out(20000 * 2);
    for (std::size_t at = 0; at < 20000; at += 500) sink.pull(out.data() + at * 2, 500);
    const std::size_t decoded = FSOUND_Stream_GetPosition(s);
    EXPECT_GT(decoded, 8820u);
    ASSERT_LT(decoded, 20000u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<long>(decoded * 2), reference.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + static_cast<long>(decoded * 2), out.end(), [](auto v) { return v == 0; }));

    // The user-interface side is not held either.
    EXPECT_EQ(FSOUND_SetVolume(FSOUND_ALL, 90), 1);
    EXPECT_EQ(FSOUND_GetVolume(0), 90);
    EXPECT_EQ(FSOUND_Stream_Stop(s), 1);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), decoded);

    // Once the read returns, playing on continues exactly where the sound broke off.
    gate.release();
    sink.set_timing(PulledAudioOutput::Timing::WaitForDecoder);
    FSOUND_SetVolume(FSOUND_ALL, 255);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    sink.pull(out.data(), 4000);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 8000, reference.begin() + static_cast<long>(decoded * 2)));
}

}  // namespace
}  // namespace zv::testing
