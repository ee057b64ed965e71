// Turning the screen again and again while the panels open and close: every turn lands, whether
// the rotate button or the display itself asks for it, the panels keep working on either screen,
// and nothing drawn across the turns is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "gdi/gdi_state.h"
#include "playlist/playlist.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace {

TEST(ScreenTurns, HundredTurnsWithPanelsOpenAndClosedLeaveNoGdiObjectBehind)
{
    zv::test::FixtureDir dir;
    zv::fixtures::ToneTrack t;
    t.seconds = 2.0, t.bitrate_kbps = 64;
    zv::test::tone_library(dir.path(), 3, t);
    zv::test::ProgramHarness p{zv::test::ProgramHarness::Options(dir.path())};
    HWND main = p.ui([] { return MainWindow; });
    auto active = [&] { return p.ui(GetActiveWindow); };
    auto size = [&] {
        return p.ui([] { return std::pair{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; });
    };
    // Taps the middle of what shows of a control, wherever the layout for this screen put it;
    // well after the last tap, so no two make a double tap.
    auto tap_control = [&](HWND dialog, int control) {
        p.advance(600);  // a panel that slides in has come to rest
        const RECT r = p.rect(dialog, control);
        const auto [w, h] = size();
        const RECT shown{std::max<LONG>(0, r.left), std::max<LONG>(0, r.top), std::min<LONG>(w, r.right),
                         std::min<LONG>(h, r.bottom)};
        ASSERT_TRUE(shown.left < shown.right && shown.top < shown.bottom) << "control " << control << " off the screen";
        p.tap((shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2);
    };
    HWND panel = nullptr, options = nullptr;
    // One step for each turn, in a cycle of five: the turns alternate the two screens, so each
    // step meets both in turn.
    auto step = [&](int i) {
        if (i % 5 >= 2) {
            // The panel asked for the whole screen when it came to rest: a turn gives it the new one.
            const RECT r = p.rect(panel);
            const auto [w, h] = size();
            EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{0, 0, w, h}));
        }
        switch (i % 5) {
            case 0:
                p.advance(600);
                p.tap(120, ITEM_HEIGHT / 2);  // the first row plays under a new now-playing panel
                panel = p.ui([] { return NowPlayingPanel; });
                EXPECT_EQ(active(), panel);
                break;
            case 1:
            case 3:
                tap_control(panel, IDC_ALBUMART);
                options = active();
                EXPECT_TRUE(options != panel && options != main) << "no options panel";
                break;
            case 2:
                tap_control(options, IDC_BACKTOPANEL);
                EXPECT_EQ(active(), panel);
                break;
            case 4:
                tap_control(options, IDC_TOPLAYLIST);
                EXPECT_EQ(active(), main);
                break;
        }
    };
    // Even turns by the rotate button, odd ones by the display's own report of the other shape.
    auto turn = [&](int i) {
        const bool landscape = size().first > size().second;
        if (i % 2 == 0)
            p.key(VK_F7);
        else
            p.backend().report_orientation(!landscape), p.settle();
        const std::pair<int, int> turned = landscape ? std::pair{240, 320} : std::pair{320, 240};
        EXPECT_EQ(size(), turned) << "turn " << i;
    };
    auto gdi_objects = [&] { return p.ui([] { return zv::GdiState::current()->object_count(); }); };

    // One round of each step on each screen loads what stays for the process.
    for (int i = 0; i < 10; ++i) turn(i), step(i);
    ASSERT_EQ(active(), main);
    ASSERT_EQ(size(), (std::pair{240, 320}));
    const std::size_t before = gdi_objects();
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE("turn " + std::to_string(i));
        turn(i);
        step(i);
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_EQ(active(), main);
    EXPECT_EQ(size(), (std::pair{240, 320}));
    EXPECT_EQ(gdi_objects(), before);
}

}  // namespace
