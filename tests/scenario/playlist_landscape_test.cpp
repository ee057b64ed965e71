// The playlist on a turned screen: the main window takes the screen's shape, the list fills its
// width, and the drag limits, the flick, the tap and the lit row follow the new height.
#include <gtest/gtest.h>

#include "app/zorvane.h"
#include "gdi/gdi_state.h"
#include "playlist/playlist.h"
#include "support/fixture_dir.h"
#include "support/paint_recorder.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

using zv::test::FixtureDir;
using zv::test::ProgramHarness;

namespace {

constexpr std::uint32_t kGradientTop = 0x009CF8;
constexpr int kTracks = 12;  // 480 pixels of list

struct Geometry {
    RECT main;
    RECT list;
    int visible;
};

Geometry geometry(ProgramHarness& p)
{
    return p.ui([] {
        Geometry g{};
        GetWindowRect(MainWindow, &g.main);
        GetWindowRect(PlaylistView, &g.list);
        g.visible = VisibleListHeight;
        return g;
    });
}

// Tracks longer than what a test hears, so none ends and moves the lit row on.
void tone_tracks(const FixtureDir& dir)
{
    zv::fixtures::ToneTrack t;
    t.seconds = 1.0, t.bitrate_kbps = 64;
    zv::test::tone_library(dir.path(), kTracks, t);
}

void turn(ProgramHarness& p)
{
    p.key(VK_F7);
    p.settle();
}

void slow_drag(ProgramHarness& p, int x, int y0, int y1)
{
    p.press(x, y0);
    p.move(x, y1);
    p.advance(5000);
    p.release(x, y1);
}

// A tap whose small move ends whatever drag came before it (a bare press and release right
// after a drag still counts as that drag's end).
void tap(ProgramHarness& p, int x, int y)
{
    p.press(x, y);
    p.move(x, y + 2);
    p.release(x, y + 2);
    p.end_panels();
}

// Every screen row the list covers is painted across the full width with the same row picture
// as at its left edge (no text reaches x = 200), and every other row is black.
void expect_rows_fill_width(ProgramHarness& p)
{
    const zv::Surface s = p.screen();
    for (int y = 0; y < s.height(); ++y) {
        const int row = y - ScrollOffset;
        const bool on_list = row >= 0 && row < kTracks * ITEM_HEIGHT;
        const std::uint32_t left = s.pixel(5, y);
        ASSERT_EQ(left != 0, on_list) << "row " << y << " offset " << ScrollOffset;
        for (int x = 200; x < s.width(); ++x) ASSERT_EQ(s.pixel(x, y), left) << x << "," << y;
    }
}

// Whether the lit row's top line (the gradient's first colour) is on screen at y.
bool lit_row_at(ProgramHarness& p, int y) { return p.pixel(5, y) == kGradientTop; }

}  // namespace

TEST(PlaylistLandscape, TwelveTracksReachTheLastRowFillTheWidthAndTurnBackToPortraitLimits)
{
    FixtureDir dir;
    tone_tracks(dir);
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    const std::size_t objects = p.ui([] { return zv::GdiState::current()->object_count(); });

    turn(p);
    Geometry g = geometry(p);
    EXPECT_EQ(g.main.right, 320);
    EXPECT_EQ(g.main.bottom, 240);
    EXPECT_EQ(g.list.right - g.list.left, 320);
    EXPECT_EQ(g.visible, 210);
    EXPECT_EQ(ScrollOffset, 0);
    expect_rows_fill_width(p);

    // A drag to the end leaves the last row wholly on screen, above the bottom band.
    for (int i = 0; i < 3; ++i) slow_drag(p, 300, 230, 10);
    EXPECT_EQ(ScrollOffset, 210 - kTracks * ITEM_HEIGHT);
    expect_rows_fill_width(p);
    // A tap on it at the right-hand side, where the portrait list never reached, plays it.
    tap(p, 300, 190);
    EXPECT_EQ(CurrentTrack, kTracks - 1);
    EXPECT_EQ(p.selected_rows(), std::vector<int>{kTracks - 1});
    EXPECT_NEAR(p.heard(), p.tone_of(kTracks - 1), 15);
    EXPECT_TRUE(lit_row_at(p, 170));

    // A flick upwards ends at the landscape limit; back at the top, downwards, at row 0.
    for (int i = 0; i < 3; ++i) slow_drag(p, 300, 10, 230);
    ASSERT_EQ(ScrollOffset, 0);
    p.press(100, 200);
    p.move(100, 100);
    p.advance(10);
    p.release(100, 100);
    p.advance(3000);
    EXPECT_EQ(ScrollOffset, 210 - kTracks * ITEM_HEIGHT);
    tap(p, 100, 200);  // the flick ended at the bound, so this is an ordinary tap
    EXPECT_EQ(CurrentTrack, kTracks - 1);

    // Turning back restores the portrait window, width and limits; the list's end comes down
    // to row 290 rather than leave a gap under it.
    turn(p);
    g = geometry(p);
    EXPECT_EQ(g.main.right, 240);
    EXPECT_EQ(g.main.bottom, 320);
    EXPECT_EQ(g.list.right - g.list.left, 240);
    EXPECT_EQ(g.visible, 290);
    EXPECT_EQ(ScrollOffset, 290 - kTracks * ITEM_HEIGHT);
    zv::test::expect_list_screen(p.screen(), ScrollOffset, kTracks, kTracks - 1);
    slow_drag(p, 120, 310, 10);
    EXPECT_EQ(ScrollOffset, 290 - kTracks * ITEM_HEIGHT);

    // The turns leave no drawing objects behind.
    for (int i = 0; i < 20; ++i) turn(p);
    EXPECT_EQ(p.ui([] { return zv::GdiState::current()->object_count(); }), objects);
}

TEST(PlaylistLandscape, ATurnKeepsThePlayingRowInViewAndOtherwiseLeavesTheListWhereItIs)
{
    FixtureDir dir;
    tone_tracks(dir);
    ProgramHarness p(ProgramHarness::Options(dir.path()));

    // Nothing lit: the list keeps its place across the turn.
    slow_drag(p, 120, 200, 160);
    ASSERT_EQ(ScrollOffset, -40);
    turn(p);
    EXPECT_EQ(ScrollOffset, -40);
    turn(p);

    // Row 6 (screen rows 200 to 240 in portrait) would lie across the landscape limit: the list
    // moves up just enough to show it whole.
    tap(p, 120, 225);
    ASSERT_EQ(CurrentTrack, 6);
    turn(p);
    EXPECT_EQ(ScrollOffset, 210 - 7 * ITEM_HEIGHT);
    EXPECT_TRUE(lit_row_at(p, 170));

    // The last row, lit at the portrait end (rows 250 to 290), is below the landscape screen.
    turn(p);
    slow_drag(p, 120, 310, 10);
    slow_drag(p, 120, 310, 10);
    ASSERT_EQ(ScrollOffset, 290 - kTracks * ITEM_HEIGHT);
    tap(p, 120, 270);
    ASSERT_EQ(CurrentTrack, kTracks - 1);
    turn(p);
    EXPECT_EQ(ScrollOffset, 210 - kTracks * ITEM_HEIGHT);
    EXPECT_TRUE(lit_row_at(p, 170));

    // Lit at the top, moved off screen by a drag: the turn brings it back to row 0.
    turn(p);
    for (int i = 0; i < 2; ++i) slow_drag(p, 120, 10, 310);
    tap(p, 120, 20);
    ASSERT_EQ(CurrentTrack, 0);
    slow_drag(p, 120, 300, 200);
    ASSERT_EQ(ScrollOffset, -100);
    turn(p);
    EXPECT_EQ(ScrollOffset, 0);
    EXPECT_TRUE(lit_row_at(p, 0));
}
