// Dragging, flicking and tapping the playlist with the stylus: where the list comes to rest,
// what the screen shows after it moved, and which track sounds after a tap.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "files/codepage.h"
#include "playlist/playlist.h"
#include "support/fixture_dir.h"
#include "support/paint_recorder.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace fs = std::filesystem;
using zv::test::FixtureDir;
using zv::test::ProgramHarness;

namespace {

// Tracks named after their tone: "f0300.mp3" sounds at 300 Hz, each next one 60 Hz higher.
void make_tone_library(const FixtureDir& dir, int count)
{
    zv::fixtures::ToneTrack t;
    t.seconds = 1.0, t.bitrate_kbps = 64;  // longer than what the taps hear, so none ends
    zv::test::tone_library(dir.path(), count, t);
}

// A drag from y0 to y1 in one move, released slowly enough not to flick.
void slow_drag(ProgramHarness& p, int y0, int y1)
{
    p.press(120, y0);
    p.move(120, y1);
    p.advance(5000);
    p.release(120, y1);
}

// A drag from y0 to y1 in one move, released 10 ms after the press: a flick at speed
// |y1 - y0| x 3.
void quick_flick(ProgramHarness& p, int y0, int y1)
{
    p.press(120, y0);
    p.move(120, y1);
    p.advance(10);
    p.release(120, y1);
}

// Slow drags down until the list is back at its top.
void to_top(ProgramHarness& p)
{
    while (ScrollOffset < 0) slow_drag(p, 10, 310);
}

// A press and release that stays within the 3-pixel threshold (the small move also ends any
// drag left over from an earlier gesture).
void jitter_tap(ProgramHarness& p, int x, int y)
{
    p.press(x, y);
    p.move(x, y + 2);
    p.release(x, y + 2);
}

// The screen now equals what a full repaint of the same state draws.
void expect_screen_equals_full_repaint(ProgramHarness& p)
{
    const zv::Surface before = p.screen();
    p.on_ui([] { InvalidateRect(MainWindow, nullptr, TRUE); });
    const zv::Surface after = p.screen();
    int differing = 0, first = -1;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) {
                if (first < 0) first = y;
                ++differing;
            }
    EXPECT_EQ(differing, 0) << "first differing row " << first << " at offset " << ScrollOffset;
}

}  // namespace

TEST(TouchScroll, TapsWithinThreePixelsPlayTheRowUnderTheStylusAndATapOnNoRowDoesNothing)
{
    FixtureDir dir;
    make_tone_library(dir, 5);
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    EXPECT_EQ(p.heard(), 0.0);
    p.press(120, 50);
    p.move(120, 53);
    p.move(120, 47);
    EXPECT_EQ(ScrollOffset, 0);
    p.release(120, 47);
    p.end_panels();
    EXPECT_EQ(ScrollOffset, 0);
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_EQ(p.selected_rows(), std::vector<int>{1});
    EXPECT_NEAR(p.heard(), p.tone_of(1), 15);
    EXPECT_EQ(p.pixel(3, 40), 0x009CF8u);  // the top of the lit row's gradient

    // A plain press and release without any move plays too.
    p.tap(120, 130);
    p.end_panels();
    EXPECT_EQ(CurrentTrack, 3);
    EXPECT_EQ(p.selected_rows(), std::vector<int>{3});
    EXPECT_NEAR(p.heard(), p.tone_of(3), 15);
    p.tap(120, 20);  // the first row too
    p.end_panels();
    EXPECT_EQ(p.selected_rows(), std::vector<int>{0});
    EXPECT_NEAR(p.heard(), p.tone_of(0), 15);

    p.tap(120, 100);
    p.end_panels();
    ASSERT_EQ(CurrentTrack, 2);
    EXPECT_NEAR(p.heard(), p.tone_of(2), 15);

    // The library browser appends a hidden copy of every track below the list's edge; a tap
    // below the last row plays none of them and opens no panel.
    p.key('A', true);
    p.on_ui([] { EndDialog(GetActiveWindow(), IDOK); });
    ASSERT_EQ(static_cast<int>(SendMessage(PlaylistView, LVM_GETITEMCOUNT, 0, 0)), 10);
    for (int y : {200, 250, 315}) {
        p.tap(120, y);
        p.on_ui([] { EXPECT_EQ(GetActiveWindow(), MainWindow); });
        EXPECT_EQ(CurrentTrack, 2) << y;
    }
    EXPECT_NEAR(p.heard(), p.tone_of(2), 15);
    EXPECT_EQ(p.selected_rows(), std::vector<int>{2});
    for (int y = 200; y < 320; y += 5) EXPECT_EQ(p.pixel(120, y), 0u) << y;

    // Nor on an empty list.
    FixtureDir empty;
    make_tone_library(empty, 0);
    p.stop();
    ProgramHarness q(ProgramHarness::Options(empty.path()));
    q.tap(120, 20);
    q.on_ui([] { EXPECT_EQ(GetActiveWindow(), MainWindow); });
    EXPECT_EQ(CurrentTrack, 2);  // the process-wide index is left as the first run set it
}

TEST(TouchScroll, DragsStopAtTheTopAndTheLastRowsBottomAndTheScreenShowsTheRowsTheOffsetSays)
{
    FixtureDir dir;
    zv::test::write_library(dir.path(), zv::test::numbered(30));  // 1200 pixels of list
    ProgramHarness p(ProgramHarness::Options(dir.path()));

    // Down from the start: no gap above the first item.
    slow_drag(p, 100, 250);
    EXPECT_EQ(ScrollOffset, 0);
    zv::test::expect_list_screen(p.screen(), 0, 30, -1);

    // The list follows the stylus in whole steps.
    p.press(120, 300);
    p.move(120, 290);
    EXPECT_EQ(ScrollOffset, -10);
    p.move(120, 288);  // within 3 pixels of where it last moved: nothing
    EXPECT_EQ(ScrollOffset, -10);
    p.move(120, 286);
    EXPECT_EQ(ScrollOffset, -14);
    p.advance(5000);
    p.release(120, 286);

    // Up, far past the end: the last item's bottom edge rests at y = 290.
    for (int i = 0; i < 5; ++i) slow_drag(p, 310, 10);
    EXPECT_EQ(ScrollOffset, 290 - 1200);
    zv::test::expect_list_screen(p.screen(), 290 - 1200, 30, -1);
    expect_screen_equals_full_repaint(p);

    // Back down, then up to the top again, past it.
    slow_drag(p, 100, 150);
    EXPECT_EQ(ScrollOffset, 290 - 1200 + 50);
    for (int i = 0; i < 5; ++i) slow_drag(p, 10, 310);
    EXPECT_EQ(ScrollOffset, 0);
    zv::test::expect_list_screen(p.screen(), 0, 30, -1);
    expect_screen_equals_full_repaint(p);

    jitter_tap(p, 120, 90);  // selects item 2
    p.end_panels();
    ASSERT_EQ(CurrentTrack, 2);

    // Small steps, large steps and reversals within one drag.
    p.press(120, 300);
    for (int y : {296, 291, 250, 180, 179, 175, 240, 237, 100, 20, 24, 310, 5}) {
        p.move(120, y);
        SCOPED_TRACE(y);
        zv::test::expect_list_screen(p.screen(), ScrollOffset, 30, 2);
    }
    p.advance(5000);
    p.release(120, 5);
    expect_screen_equals_full_repaint(p);

    // A flick, looked at on every tick.
    p.press(120, 300);
    p.move(120, 260);
    p.advance(20);
    p.release(120, 260);
    for (int tick = 0; tick < 40; ++tick) {
        p.advance(20);
        zv::test::expect_list_screen(p.screen(), ScrollOffset, 30, 2);
    }
    expect_screen_equals_full_repaint(p);
}

// Flicks, each from the top of a list of 30.
TEST(TouchScroll, FlicksDecayByWholePixelsStopAtAnEndOrAPressAndTheNextTapPlays)
{
    FixtureDir dir;
    make_tone_library(dir, 30);
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    quick_flick(p, 300, 250);  // speed 150, upwards
    p.advance(20);
    EXPECT_EQ(ScrollOffset, -50 - 147);
    p.advance(20);
    EXPECT_EQ(ScrollOffset, -50 - 147 - 144);

    p.press(120, 150);
    const int stopped = ScrollOffset;
    p.advance(500);
    EXPECT_EQ(ScrollOffset, stopped);
    p.release(120, 150);
    p.advance(500);
    EXPECT_EQ(ScrollOffset, stopped);
    EXPECT_EQ(CurrentTrack, 0);
    EXPECT_TRUE(p.selected_rows().empty());
    EXPECT_EQ(p.heard(), 0.0);
    zv::test::expect_list_screen(p.screen(), stopped, 30, -1);
    expect_screen_equals_full_repaint(p);

    // The flick is over: the next tap plays the item under it.
    p.tap(120, 150);
    p.end_panels();
    const int expected = (150 - stopped) / ITEM_HEIGHT;
    EXPECT_EQ(CurrentTrack, expected);
    EXPECT_NEAR(p.heard(), p.tone_of(expected), 15);

    to_top(p);

    // 50 pixels released 300 ms after the press: speed 5, no flick.
    p.press(120, 300);
    p.move(120, 250);
    p.advance(300);
    p.release(120, 250);
    EXPECT_EQ(ScrollOffset, -50);
    p.advance(200);
    EXPECT_EQ(ScrollOffset, -50);

    // The same released after 250 ms: speed 6, moving 5, 4, 3, 2, 1 and 0 pixels.
    p.press(120, 300);
    p.move(120, 250);
    p.advance(250);
    p.release(120, 250);
    int at = ScrollOffset;
    ASSERT_EQ(at, -100);
    for (int step : {5, 4, 3, 2, 1, 0}) {
        p.advance(20);
        EXPECT_EQ(at - ScrollOffset, step);
        at = ScrollOffset;
    }
    p.advance(1000);
    EXPECT_EQ(ScrollOffset, at);
    expect_screen_equals_full_repaint(p);

    // The flick ended by itself, so the next tap plays at once.
    p.tap(120, 20);
    p.end_panels();
    EXPECT_EQ(CurrentTrack, (20 - at) / ITEM_HEIGHT);
    EXPECT_NEAR(p.heard(), p.tone_of((20 - at) / ITEM_HEIGHT), 15);

    to_top(p);
    slow_drag(p, 200, 100);
    ASSERT_EQ(ScrollOffset, -100);

    // 50 pixels in 10 ms: speed 150, downwards into the top.
    quick_flick(p, 100, 150);
    EXPECT_EQ(ScrollOffset, -50);
    p.advance(20);
    EXPECT_EQ(ScrollOffset, 0);
    p.advance(1000);
    EXPECT_EQ(ScrollOffset, 0);
    zv::test::expect_list_screen(p.screen(), 0, 30, CurrentTrack);
    p.tap(120, 60);
    p.end_panels();
    EXPECT_EQ(CurrentTrack, 1);
    EXPECT_NEAR(p.heard(), p.tone_of(1), 15);

    // Upwards into the bottom, where the last item's bottom edge rests at y = 290.
    slow_drag(p, 310, 10);
    slow_drag(p, 310, 10);
    slow_drag(p, 260, 50);
    ASSERT_EQ(ScrollOffset, -810);
    quick_flick(p, 300, 250);
    p.advance(1000);
    EXPECT_EQ(ScrollOffset, 290 - 1200);
    p.tap(120, 270);
    p.end_panels();
    EXPECT_EQ(CurrentTrack, 29);
    EXPECT_NEAR(p.heard(), p.tone_of(29), 15);
}

TEST(TouchScroll, FiveTracksParkWithTheirBottomAtRow290)
{
    FixtureDir dir;
    zv::test::write_library(dir.path(), zv::test::numbered(5));
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    EXPECT_EQ(ScrollOffset, 0);
    slow_drag(p, 100, 110);
    EXPECT_EQ(ScrollOffset, 90);
    zv::test::expect_list_screen(p.screen(), 90, 5, -1);
    expect_screen_equals_full_repaint(p);
    for (auto [from, to] : {std::pair{200, 100}, std::pair{100, 300}, std::pair{300, 0}}) {
        slow_drag(p, from, to);
        EXPECT_EQ(ScrollOffset, 90);
    }
    // A fast drag parks it the same way.
    p.press(120, 250);
    p.move(120, 50);
    p.release(120, 50);
    p.advance(1000);
    EXPECT_EQ(ScrollOffset, 90);
    zv::test::expect_list_screen(p.screen(), 90, 5, -1);
}

TEST(TouchScroll, TapAtRow100WithTheListMovedUp400PlaysItem12)
{
    FixtureDir dir;
    make_tone_library(dir, 30);
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    p.press(120, 300);
    p.move(120, 200);
    p.move(120, 100);
    p.move(120, 0);
    p.advance(2000);  // 300 pixels in 2 s: too slow to flick
    p.release(120, 0);
    slow_drag(p, 300, 200);
    ASSERT_EQ(ScrollOffset, -400);

    // Straight after a drag, a press and release without a move still ends that drag.
    p.tap(120, 100);
    p.end_panels();
    EXPECT_EQ(CurrentTrack, 0);
    EXPECT_EQ(p.heard(), 0.0);

    jitter_tap(p, 120, 100);
    p.end_panels();
    EXPECT_EQ(CurrentTrack, 12);
    EXPECT_EQ(p.selected_rows(), std::vector<int>{12});
    EXPECT_NEAR(p.heard(), p.tone_of(12), 15);
    zv::test::expect_list_screen(p.screen(), -400, 30, 12);
}
