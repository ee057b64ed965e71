// The media keys and the desktop's media controls steer the player from other threads, through its
// main window, while the now-playing panel (a modal dialog) is in front; the sound library tells
// what plays.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "entry/zorvane_profile.h"
#include "mpris/mpris_model.h"
#include "sound/sound_system.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "support/sound_measure.h"
#include "tools/fixtures.h"

namespace {

using zv::MediaRequest;
using zv::PlaybackState;

TEST(ThreadedMediaCommands, SteerThePlayerFromOtherThreadsWhileAPanelIsOpen)
{
    zv::test::FixtureDir dir;
    const auto music = dir.path() / "music";
    std::filesystem::create_directories(music);
    for (int i = 0; i < 3; ++i) {
        zv::fixtures::ToneTrack t;
        t.frequency_hz = 300 + 100 * i, t.seconds = 1.0, t.bitrate_kbps = 64;
        t.artist = "A" + std::to_string(i), t.title = "T" + std::to_string(i);
        if (i == 1) t.cover = zv::fixtures::make_cover_jpeg(40, 40, 3);
        ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / ("t" + std::to_string(i) + ".mp3"), t));
    }
    std::ofstream(dir.path() / "direc.zvn") << music.string() << "/";
    zv::test::ProgramHarness::Options options(dir.path());
    options.keep_start_panel = true;
    zv::test::ProgramHarness p(options);
    zv::Platform& platform = p.platform();

    auto from_another_thread = [&](std::function<void()> f) {
        std::thread(std::move(f)).join();
        p.settle();
    };
    auto app_command = [&](int command) {
        from_another_thread([&] { platform.user().input().post_app_command(command, FAPPCOMMAND_OEM); });
    };
    // Each request `times` in a row from one thread: a second may come before the first has run.
    auto media = [&](MediaRequest r, double volume = 0, int times = 1) {
        from_another_thread([&] {
            for (int i = 0; i < times; ++i) platform.media_command(zv::MediaCommand{r, volume});
        });
    };
    struct Seen {
        zv::NowPlaying now;
        int is_playing = -1, volume = -1, track = -1;
        bool panel_in_front = false;
    };
    auto seen = [&] {
        Seen s;
        p.on_ui([&] {
            s.now = platform.sound().now_playing();
            s.is_playing = IsPlaying, s.volume = CurrentVolume, s.track = CurrentTrack;
            s.panel_in_front = NowPlayingPanel && GetActiveWindow() == NowPlayingPanel;
        });
        return s;
    };

    Seen s = seen();
    ASSERT_TRUE(s.panel_in_front);
    EXPECT_EQ(s.now.state, PlaybackState::Stopped);
    EXPECT_EQ(s.now.stream, 0u);

    app_command(APPCOMMAND_MEDIA_NEXTTRACK);
    s = seen();
    EXPECT_EQ(s.track, 1);
    EXPECT_EQ(s.now.state, PlaybackState::Playing);
    const std::string name = std::filesystem::path(s.now.path).stem().string();  // "t<i>"
    EXPECT_EQ(s.now.title, "T" + name.substr(1));
    EXPECT_EQ(s.now.artist, "A" + name.substr(1));
    EXPECT_EQ(s.now.has_cover, name == "t1");
    const std::uintptr_t first = s.now.stream;

    // A media key arrives as input from the backend; what it changes is heard at once.
    auto media_key = [&](int command) {
        zv::InputEvent key;
        key.type = zv::InputEvent::Type::AppCommand;
        key.command = command;
        p.backend().push_input(key);
        p.settle();
    };
    auto audible = [&] {
        const std::vector<std::int16_t> sound = p.pull_audio(2048);
        return zv::fixtures::rms_level(sound.data(), 2048) > 50;
    };
    EXPECT_TRUE(audible());
    media_key(APPCOMMAND_MEDIA_PLAY_PAUSE);
    EXPECT_FALSE(audible());
    s = seen();
    EXPECT_EQ(s.is_playing, 0);
    EXPECT_EQ(s.now.state, PlaybackState::Paused);
    EXPECT_EQ(s.now.stream, first);

    // Play and Pause act only when they change something, judged by what plays when each arrives:
    // two Plays at once resume once.
    media(MediaRequest::Play, 0, 2);
    EXPECT_EQ(seen().now.state, PlaybackState::Playing);
    media(MediaRequest::Pause, 0, 2);
    EXPECT_EQ(seen().now.state, PlaybackState::Paused);
    app_command(APPCOMMAND_MEDIA_STOP);  // stop pauses what plays and leaves a pause alone
    EXPECT_EQ(seen().is_playing, 0);

    app_command(APPCOMMAND_VOLUME_UP);
    EXPECT_EQ(seen().volume, 70);
    media(MediaRequest::SetVolume, 0.5);  // 127.5: three steps from 70 give 130
    s = seen();
    EXPECT_EQ(s.volume, 130);
    EXPECT_EQ(s.now.volume, 130);

    media_key(APPCOMMAND_MEDIA_NEXTTRACK);
    EXPECT_TRUE(audible());
    s = seen();
    EXPECT_EQ(s.track, 2);
    EXPECT_EQ(s.now.state, PlaybackState::Playing);
    EXPECT_NE(s.now.stream, first);
    EXPECT_TRUE(s.panel_in_front);
    app_command(APPCOMMAND_MEDIA_STOP);
    EXPECT_EQ(seen().now.state, PlaybackState::Paused);
    app_command(APPCOMMAND_MEDIA_PREVIOUSTRACK);
    app_command(APPCOMMAND_VOLUME_DOWN);
    EXPECT_EQ(seen().track, 1);
    EXPECT_EQ(seen().volume, 110);

    // Seeking moves what sounds when the request arrives: SetPosition only for the track it names,
    // Seek clamped at the start, and past the end on to the next track; a paused track moves too,
    // stays paused, and resumes from there.
    s = seen();
    ASSERT_EQ(s.now.state, PlaybackState::Playing);
    auto position = [&] {
        std::int64_t us = -1;
        p.on_ui([&] { us = platform.sound().position_us(s.now.stream); });
        return us;
    };
    auto seek = [&](MediaRequest r, std::int64_t us, std::uintptr_t track = 0) {
        const std::string id = zv::track_id(track, zv::zorvane_profile());
        from_another_thread([&] { platform.media_command(zv::MediaCommand{r, 0, us, id}); });
    };
    seek(MediaRequest::SetPosition, 500000, s.now.stream);
    EXPECT_EQ(position(), 500000);
    seek(MediaRequest::SetPosition, 100000, first);
    EXPECT_EQ(position(), 500000);
    seek(MediaRequest::Seek, -2000000);
    EXPECT_EQ(position(), 0);
    app_command(APPCOMMAND_MEDIA_STOP);
    seek(MediaRequest::Seek, 250000);
    EXPECT_EQ(position(), 250000);
    EXPECT_EQ(seen().now.state, PlaybackState::Paused);
    media(MediaRequest::Play);
    EXPECT_EQ(position(), 250000);
    seek(MediaRequest::Seek, 10000000);
    const Seen after = seen();
    EXPECT_EQ(after.track, 2);
    EXPECT_EQ(after.now.state, PlaybackState::Playing);
    EXPECT_NE(after.now.stream, s.now.stream);
}

}  // namespace
