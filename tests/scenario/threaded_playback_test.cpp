// The real threaded path: an audio thread pulls the sound as a device would, while the program's
// user-interface thread receives the end-of-stream notices and advances. Run under
// ThreadSanitizer in CI (the ThreadedPlayback tests of the ZV_TSAN build).
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/zorvane.h"
#include "playback/playback.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace fs = std::filesystem;

TEST(ThreadedPlayback, AnAudioThreadDrivesTheAdvanceThroughTheList)
{
    zv::test::FixtureDir dir;
    fs::path music = dir.path() / "music";
    for (int i = 0; i < 3; ++i) {
        zv::fixtures::ToneTrack t;
        t.frequency_hz = 300.0 + 100.0 * i;
        t.seconds = 0.1;
        t.id3v2_version = 0;
        fs::create_directories(music);
        ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / ("t" + std::to_string(i) + ".mp3"), t));
    }
    std::ofstream(dir.path() / "direc.zvn") << music.string() << "/";
    zv::test::ProgramHarness p(zv::test::ProgramHarness::Options(dir.path()));
    p.on_ui([] { PlayCurrentTrack(); });

    auto* sink = dynamic_cast<zv::PulledAudioOutput*>(p.platform().sound().output());
    ASSERT_NE(sink, nullptr);
    // The audio thread pulls whenever it is granted a buffer's worth, concurrently with the UI
    // thread; each step's grants are pulled before the next step's, so the sound advances by the
    // same amount per step however the threads are scheduled.
    std::mutex mutex;
    std::condition_variable granted;
    int buffers = 0;
    bool stop = false;
    std::thread audio([&] {
        std::vector<std::int16_t> buf(512 * 2);
        std::unique_lock lock(mutex);
        for (;;) {
            granted.wait(lock, [&] { return buffers > 0 || stop; });
            if (stop) return;
            lock.unlock();
            sink->pull(buf.data(), 512);
            lock.lock();
            --buffers;
            granted.notify_all();
        }
    });

    // Meanwhile the UI thread keeps working: volume steps race with the mixer.
    int advances = 0;
    int last = 0;
    for (int step = 0; step < 4000 && advances < 7; ++step) {
        {
            std::unique_lock lock(mutex);
            granted.wait(lock, [&] { return buffers == 0; });
            buffers += 2;
        }
        granted.notify_all();
        int track = 0;
        p.on_ui([&] {
            track = CurrentTrack;
            if (step % 50 == 0) VolumeUp();
            if (step % 97 == 0) VolumeDown();
        });
        if (track != last) {
            ++advances;
            last = track;
        }
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    granted.notify_all();
    audio.join();
    EXPECT_GE(advances, 7);  // more than twice round the list of three
}
