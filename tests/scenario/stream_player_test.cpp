// The stream player as a user hears it: which track sounds (each fixture has its own tone),
// stepping, wrap-around, automatic advance, pause and resume, volume, and bad files.
#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "app/zorvane.h"
#include "files/codepage.h"
#include "playback/playback.h"
#include "playlist/playlist.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "support/fixture_dir.h"
#include "support/message_log.h"
#include "support/program_harness.h"
#include "support/sound_measure.h"
#include "tools/fixtures.h"

namespace fs = std::filesystem;
using zv::test::ProgramHarness;

namespace {

constexpr double kTrackSeconds = 0.3;
constexpr std::size_t kTrackFrames = 13230;  // 0.3 s at 44 100 Hz

class StreamPlayer : public ::testing::Test {
protected:
    // Writes `count` tracks (track i at 300 + 100 i Hz) and starts the player on them.
    void start(int count)
    {
        zv::fixtures::ToneTrack t;
        t.seconds = kTrackSeconds, t.id3v2_version = 0;
        zv::test::tone_library(dir_.path(), count, t, 100);
        player_ = std::make_unique<ProgramHarness>(ProgramHarness::Options(dir_.path()));
        ASSERT_EQ(TrackCount, count);
    }

    // The file of item `index` of the list (the scan's order is the file system's).
    std::string path_of_item(int index) { return zv::narrow(player_->item_text(PathList, index)); }
    double tone_of_item(int index) { return player_->tone_of(index); }
    std::vector<std::int16_t> pull(std::size_t frames) { return player_->pull_audio(frames); }
    double sounding(std::size_t frames = 2048) { return player_->heard(frames); }
    void ui(std::function<void()> fn) { player_->on_ui(std::move(fn)); }
    // Only row k is lit, selected and focused.
    void expect_lit(int k)
    {
        EXPECT_EQ(player_->selected_rows(), std::vector<int>{k});
        EXPECT_EQ(SendMessage(PlaylistView, LVM_GETITEMSTATE, k, LVIS_SELECTED | LVIS_FOCUSED),
                  LVIS_SELECTED | LVIS_FOCUSED);
    }

    zv::test::FixtureDir dir_;
    zv::test::MessageLog log_;  // outlives the program it watches
    std::unique_ptr<ProgramHarness> player_;
};

MATCHER_P(NearHz, hz, "") { return std::abs(arg - hz) < 25; }

}  // namespace

TEST_F(StreamPlayer, BeforeAnyPlayPlayPauseOnlyFlipsTheFlagAndTheVolumeStepsSetTheGain)
{
    start(1);
    ui([] { TogglePause(); });
    EXPECT_EQ(IsPlaying, 0);
    EXPECT_EQ(sounding(), 0);
    ui([] { TogglePause(); });
    EXPECT_EQ(IsPlaying, 1);
    EXPECT_EQ(CurrentStream, nullptr);
    EXPECT_EQ(sounding(), 0);
    // Before the first play the steps ask channel 0, which starts at full volume.
    ui([] { VolumeUp(); });
    EXPECT_EQ(CurrentVolume, FSOUND_GetVolume(0));
    ui([] { PlayCurrentTrack(); });
    EXPECT_EQ(FSOUND_GetVolume(CurrentChannel), CurrentVolume);

    ui([] {
        CurrentVolume = 50;
        FSOUND_SetVolume(FSOUND_ALL, 50);
    });
    std::vector<int> seen;
    for (int i = 0; i < 12; ++i) {
        ui([] { VolumeUp(); });
        seen.push_back(CurrentVolume);
    }
    // 70 ... 250, then 270 is applied, and the library's report of 270 stops further steps.
    std::vector<int> expected{70, 90, 110, 130, 150, 170, 190, 210, 230, 250, 270, 270};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(FSOUND_GetVolume(CurrentChannel), 270);

    ui([] {
        CurrentVolume = 10;
        FSOUND_SetVolume(FSOUND_ALL, 10);
    });
    ui([] { VolumeDown(); });
    EXPECT_EQ(CurrentVolume, -10);
    EXPECT_EQ(FSOUND_GetVolume(CurrentChannel), -10);
    ui([] { VolumeDown(); });
    EXPECT_EQ(CurrentVolume, -10);
    // At the bounds: up acts while the library reports 254 or less, down while it reports more
    // than 0.
    for (auto [from, up, down] : {std::tuple{254, 274, 234}, std::tuple{255, 255, 235}, std::tuple{0, 20, 0}}) {
        for (auto [step, after] : {std::pair{&VolumeUp, up}, std::pair{&VolumeDown, down}}) {
            ui([from, step] {
                FSOUND_SetVolume(FSOUND_ALL, from);
                step();
            });
            EXPECT_EQ(CurrentVolume, after) << from;
        }
    }

    ui([] {
        CurrentVolume = 50;
        FSOUND_SetVolume(FSOUND_ALL, 50);
    });
    ui([] { PlayCurrentTrack(); });
    pull(1024);
    auto at50 = pull(4096);
    ui([] {
        for (int i = 0; i < 5; ++i) VolumeUp();
    });
    EXPECT_EQ(CurrentVolume, 150);
    auto at150 = pull(4096);
    double ratio = zv::fixtures::rms_level(at150.data(), 4096) / zv::fixtures::rms_level(at50.data(), 4096);
    EXPECT_NEAR(ratio, 3.0, 0.15);
}

TEST_F(StreamPlayer, PauseKeepsThePlaceManyTracksHoldOneOpenFileAndATruncatedTrackPlaysWhatDecodes)
{
    start(2);
    ui([] { PlayCurrentTrack(); });
    pull(3000);
    ui([] { TogglePause(); });
    EXPECT_EQ(IsPlaying, 0);
    unsigned paused = PausedPosition;
    EXPECT_NEAR(static_cast<double>(paused), 3000.0, 64.0);
    // Paused through the grace period: the device is let go, and resuming takes it again.
    auto* sink = dynamic_cast<zv::PulledAudioOutput*>(player_->platform().sound().output());
    ASSERT_NE(sink, nullptr);
    auto silent = pull(zv::SoundSystem::kDeviceGraceFrames);
    EXPECT_LT(zv::fixtures::rms_level(silent.data(), silent.size() / 2), 1.0);
    EXPECT_FALSE(sink->device_open());
    EXPECT_EQ(FSOUND_Stream_GetPosition(CurrentStream), paused);
    ui([] { TogglePause(); });
    EXPECT_TRUE(sink->device_open());
    EXPECT_EQ(IsPlaying, 1);
    EXPECT_EQ(FSOUND_GetVolume(CurrentChannel), CurrentVolume);
    EXPECT_THAT(sounding(1024), NearHz(tone_of_item(0)));
    EXPECT_NEAR(static_cast<double>(FSOUND_Stream_GetPosition(CurrentStream)), paused + 1024.0, 64.0);

    // Pause, then next: the next track from its start, playing.
    ui([] { TogglePause(); });
    ui([] { NextTrack(); });
    EXPECT_EQ(IsPlaying, 1);
    EXPECT_EQ(FSOUND_Stream_GetPosition(CurrentStream), 0u);
    EXPECT_THAT(sounding(), NearHz(tone_of_item(1)));

    ui([] { PlayCurrentTrack(); });
    int baseline = zv::test::open_descriptors();
    for (int i = 0; i < 400; ++i) ui([] { NextTrack(); });
    // A stream closed during the decoder's read keeps its file until that read returns; the
    // fewest open over a few looks, a little audio apart, is the resting count.
    int resting = zv::test::open_descriptors();
    for (int i = 0; i < 8 && resting > baseline; ++i) {
        pull(256);
        resting = std::min(resting, zv::test::open_descriptors());
    }
    EXPECT_LE(resting, baseline);
    EXPECT_NE(CurrentStream, nullptr);
    EXPECT_THAT(sounding(), NearHz(tone_of_item(CurrentTrack)));

    // Cut track 0's file in half: it must play its first half and then end normally.
    fs::path first = path_of_item(0);
    fs::resize_file(first, fs::file_size(first) / 2);
    ui([] {
        CurrentTrack = 0;
        PlayCurrentTrack();
    });
    EXPECT_THAT(sounding(), NearHz(tone_of_item(0)));
    pull(kTrackFrames / 2);  // past its end, and not yet near the end of the next
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_THAT(sounding(), NearHz(tone_of_item(1)));
}

TEST_F(StreamPlayer, NextWrapsPreviousStopsAtTheFirstEachEndStartsTheNextAndUnplayableTracksArePassedOver)
{
    start(5);
    ui([] { PlayCurrentTrack(); });
    EXPECT_THAT(sounding(), NearHz(tone_of_item(0)));
    expect_lit(0);
    // The row lights at once: the playlist is painted within the step, not when the queue gets to it.
    log_.only({WM_PAINT});
    player_->on_ui([&] { log_.watch(PlaylistView); });
    ui([] { NextTrack(); });
    EXPECT_SEQUENCE(log_, PlaylistView, {{WM_PAINT, zv::test::sent}});
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_THAT(sounding(), NearHz(tone_of_item(1)));
    expect_lit(1);
    for (int i = 0; i < 4; ++i) ui([] { NextTrack(); });
    EXPECT_EQ(CurrentTrack, 0);
    EXPECT_THAT(sounding(), NearHz(tone_of_item(0)));
    // Previous from the first track restarts it from its beginning.
    pull(4000);
    ui([] { PreviousTrack(); });
    EXPECT_EQ(CurrentTrack, 0);
    EXPECT_EQ(FSOUND_Stream_GetPosition(CurrentStream), 0u);
    expect_lit(0);
    EXPECT_THAT(sounding(), NearHz(tone_of_item(0)));

    // From the start again, each end starts the next, round the list.
    ui([] { PlayCurrentTrack(); });
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(CurrentTrack, i);
            EXPECT_THAT(sounding(), NearHz(tone_of_item(i)));
            pull(kTrackFrames);  // past the end: the end notice advances on the UI thread
        }
    }
    EXPECT_EQ(CurrentTrack, 0);
    EXPECT_EQ(IsPlaying, 1);

    // After the scan, item 1 becomes text that only looks like a track and item 3 is deleted.
    std::ofstream(path_of_item(1), std::ios::trunc) << "not music at all\n";
    fs::remove(path_of_item(3));
    auto expect_playing = [&](int k) {
        EXPECT_EQ(CurrentTrack, k);
        EXPECT_NE(CurrentStream, nullptr);
        EXPECT_THAT(sounding(), NearHz(tone_of_item(k)));
        expect_lit(k);
    };
    auto from = [&](int k, int (*step)()) {
        ui([k, step] {
            CurrentTrack = k;
            step();
        });
    };
    auto play = [](int k) {
        return [k] {
            CurrentTrack = k;
            PlayCurrentTrack();
        };
    };

    // The automatic advance and next land on the next track that plays, wrapping.
    for (auto [k, next] : {std::pair{0, 2}, std::pair{2, 4}, std::pair{4, 0}}) {
        SCOPED_TRACE(k);
        ui(play(k));
        pull(kTrackFrames);
        expect_playing(next);
        from(k, NextTrack);
        expect_playing(next);
    }
    // Previous goes back to the nearest track that plays, and no further than the first.
    for (auto [k, before] : {std::pair{4, 2}, std::pair{3, 2}, std::pair{2, 0}, std::pair{1, 0}, std::pair{0, 0}}) {
        SCOPED_TRACE(k);
        from(k, PreviousTrack);
        expect_playing(before);
    }

    // A tap on a track that cannot be played lights it, plays nothing and opens no panel.
    player_->tap(120, 1 * ITEM_HEIGHT + ITEM_HEIGHT / 2);
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_EQ(CurrentStream, nullptr);
    EXPECT_EQ(sounding(), 0);
    ui([] { EXPECT_EQ(GetActiveWindow(), MainWindow); });

    // With the first gone too, previous from the third finds nothing and stays silent at it.
    fs::remove(path_of_item(0));
    from(2, PreviousTrack);
    EXPECT_EQ(CurrentTrack, 0);
    EXPECT_EQ(CurrentStream, nullptr);

    // With no file left, one whole lap from where it played and then silence: no further advance.
    ui(play(4));
    fs::remove(path_of_item(2));
    fs::remove(path_of_item(4));
    pull(kTrackFrames);
    EXPECT_EQ(CurrentTrack, 4);
    EXPECT_EQ(CurrentStream, nullptr);
    pull(kTrackFrames * 2);
    EXPECT_EQ(sounding(), 0);
    EXPECT_EQ(CurrentTrack, 4);
    int result = 0;
    ui([&] { result = PlayFile("/nonexistent/file.mp3"); });
    EXPECT_EQ(result, -1);
}
