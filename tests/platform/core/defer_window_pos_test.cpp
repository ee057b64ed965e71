// A relayout's moves land together when its batch ends, with one repaint of their parent, and the
// batch survives a window that is gone.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "support/platform_fixture.h"

namespace {

using namespace zv::test;
using DeferredPositions = PlatformFixture;

bool at(HWND h, const RECT& where)
{
    RECT r{};
    return GetWindowRect(h, &r) && EqualRect(&r, &where);
}

TEST_F(DeferredPositions, MovesLandTogetherWithOneRepaintAndTheBatchEndsOnce)
{
    HWND parent = window(0, 0, 240, 320);
    HWND a = window(10, 10, 100, 20, parent), b = window(10, 40, 100, 20, parent), c = window(10, 70, 100, 20, parent);
    HWND gone = window(0, 0, 5, 5, parent, 0), doomed = window(0, 0, 5, 5, parent, 0);
    DestroyWindow(gone);
    UpdateWindow(parent);
    for (auto [h, name] : {std::pair{parent, "parent"}, {a, "a"}, {b, "b"}, {c, "c"}}) log.name(h, name);
    log.only({WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE, WM_PAINT});
    log.clear();

    EXPECT_EQ(BeginDeferWindowPos(-1), nullptr);
    const HDWP dwp = BeginDeferWindowPos(3);
    EXPECT_EQ(DeferWindowPos(dwp, a, NULL, 10, 60, 100, 20, SWP_NOZORDER), dwp);
    EXPECT_EQ(DeferWindowPos(dwp, gone, NULL, 1, 1, 1, 1, SWP_NOZORDER), nullptr);
    EXPECT_EQ(DeferWindowPos(dwp, b, NULL, 10, 90, 120, 20, SWP_NOZORDER), dwp) << "still usable after a failure";
    EXPECT_EQ(DeferWindowPos(dwp, c, NULL, 10, 250, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOREDRAW), dwp);
    EXPECT_EQ(DeferWindowPos(dwp, doomed, NULL, 1, 1, 1, 1, SWP_NOZORDER), dwp);
    EXPECT_EQ(DeferWindowPos(dwp, a, NULL, 20, 70, 100, 20, SWP_NOZORDER), dwp);  // replaces the first
    DestroyWindow(doomed);
    EXPECT_TRUE(at(b, RECT{10, 40, 110, 60}) && log.all().empty()) << "nothing moves before the end";

    bool b_placed_when_a_heard = false;
    log.react = [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (h == a && msg == WM_WINDOWPOSCHANGED) b_placed_when_a_heard = at(b, RECT{10, 90, 130, 110});
        if (msg != WM_PAINT) return std::nullopt;
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        EXPECT_TRUE(ps.fErase) << "no class brush erased it: the window erases itself";
        const RECT old_and_new_of_a_and_b{10, 10, 130, 110};  // c asked for none
        if (h == parent) {
            EXPECT_TRUE(EqualRect(&ps.rcPaint, &old_and_new_of_a_and_b));
        }
        return 0;
    };
    ASSERT_TRUE(EndDeferWindowPos(dwp));
    EXPECT_TRUE(b_placed_when_a_heard) << "every window is placed before any hears of its move";
    EXPECT_TRUE(at(c, RECT{10, 250, 110, 270}));
    pump();
    // Sibling paints come topmost first.
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_WINDOWPOSCHANGED, sent, 0, 0, a},
                     {WM_MOVE, sent | lparam, 0, MAKELPARAM(20, 70), a},
                     {WM_WINDOWPOSCHANGED, sent, 0, 0, b},
                     {WM_MOVE, sent | lparam, 0, MAKELPARAM(10, 90), b},
                     {WM_SIZE, sent | lparam, 0, MAKELPARAM(120, 20), b},
                     {WM_WINDOWPOSCHANGED, sent, 0, 0, c},
                     {WM_MOVE, sent | lparam, 0, MAKELPARAM(10, 250), c},
                     {WM_PAINT, posted, 0, 0, parent},
                     {WM_PAINT, posted, 0, 0, b},
                     {WM_PAINT, posted, 0, 0, a}});

    EXPECT_FALSE(EndDeferWindowPos(dwp)) << "ended twice";
    EXPECT_EQ(DeferWindowPos(dwp, a, NULL, 0, 0, 1, 1, 0), nullptr);
    EXPECT_FALSE(EndDeferWindowPos(reinterpret_cast<HDWP>(parent))) << "a handle of another kind";
}

}  // namespace
