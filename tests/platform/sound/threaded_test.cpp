// The real arrangement: an audio thread pulling the mix while the user-interface thread plays,
// stops and runs end callbacks. Meant to run clean under ThreadSanitizer.
#include <atomic>
#include <condition_variable>
#include <thread>

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
    // Stopping the output while the thread still pulls leaves it rendering silence.
    sys.output()->stop();
    EXPECT_EQ(sink->pull(std::vector<std::int16_t>(64).data(), 32), 0u);
    done = true;
    audio.join();
    FSOUND_Close();
    EXPECT_GE(chain.ends, 8);
    EXPECT_NE(FSOUND_Stream_GetOpenState(chain.current), 0);
}

}  // namespace
}  // namespace zv::testing
