// A relayout's moves land together when its batch ends, with one repaint of their parent, and the
// batch survives a window that is gone.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "composition/platform.h"

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    RECT rect;  // WM_PAINT: the paint area; otherwise where g_watched is at that moment
};
std::vector<Seen> g_seen;
HWND g_watched = nullptr;

LRESULT CALLBACK recording_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        g_seen.push_back({h, msg, ps.rcPaint});
        return 0;
    }
    if (msg == WM_WINDOWPOSCHANGED || msg == WM_SIZE || msg == WM_MOVE) {
        RECT r{};
        GetWindowRect(g_watched, &r);
        g_seen.push_back({h, msg, r});
    }
    return DefWindowProc(h, msg, wp, lp);
}

std::vector<UINT> heard(HWND h, std::vector<RECT>* rects = nullptr)
{
    std::vector<UINT> out;
    for (const Seen& s : g_seen) {
        if (s.hwnd != h) continue;
        out.push_back(s.msg);
        if (rects) rects->push_back(s.rect);
    }
    return out;
}

bool same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
bool at(HWND h, const RECT& where)
{
    RECT r{};
    return GetWindowRect(h, &r) && same(r, where);
}

TEST(DeferWindowPos, MovesLandTogetherWithOneRepaintAndTheBatchEndsOnce)
{
    zv::PlatformOptions options;
    options.audio_device = false;
    zv::Platform platform(options);
    WNDCLASS wc{};
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = u"Recorded";
    ASSERT_TRUE(RegisterClass(&wc));
    HWND parent = CreateWindow(u"Recorded", u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL);
    HWND a = CreateWindow(u"Recorded", u"", WS_VISIBLE | WS_CHILD, 10, 10, 100, 20, parent, NULL, NULL, NULL);
    HWND b = CreateWindow(u"Recorded", u"", WS_VISIBLE | WS_CHILD, 10, 40, 100, 20, parent, NULL, NULL, NULL);
    HWND c = CreateWindow(u"Recorded", u"", WS_VISIBLE | WS_CHILD, 10, 70, 100, 20, parent, NULL, NULL, NULL);
    HWND gone = CreateWindow(u"Recorded", u"", WS_CHILD, 0, 0, 5, 5, parent, NULL, NULL, NULL);
    HWND doomed = CreateWindow(u"Recorded", u"", WS_CHILD, 0, 0, 5, 5, parent, NULL, NULL, NULL);
    DestroyWindow(gone);
    UpdateWindow(parent);
    g_seen.clear();

    EXPECT_EQ(BeginDeferWindowPos(-1), nullptr);
    const HDWP dwp = BeginDeferWindowPos(3);
    EXPECT_EQ(DeferWindowPos(dwp, a, NULL, 10, 60, 100, 20, SWP_NOZORDER), dwp);
    EXPECT_EQ(DeferWindowPos(dwp, gone, NULL, 1, 1, 1, 1, SWP_NOZORDER), nullptr);
    EXPECT_EQ(DeferWindowPos(dwp, b, NULL, 10, 90, 120, 20, SWP_NOZORDER), dwp) << "still usable after a failure";
    EXPECT_EQ(DeferWindowPos(dwp, c, NULL, 10, 250, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOREDRAW), dwp);
    EXPECT_EQ(DeferWindowPos(dwp, doomed, NULL, 1, 1, 1, 1, SWP_NOZORDER), dwp);
    EXPECT_EQ(DeferWindowPos(dwp, a, NULL, 20, 70, 100, 20, SWP_NOZORDER), dwp);  // replaces the first
    DestroyWindow(doomed);
    EXPECT_TRUE(at(b, RECT{10, 40, 110, 60}) && g_seen.empty()) << "nothing moves before the end";

    g_watched = b;
    ASSERT_TRUE(EndDeferWindowPos(dwp));
    std::vector<RECT> b_seen_by_a;
    EXPECT_EQ(heard(a, &b_seen_by_a), (std::vector<UINT>{WM_WINDOWPOSCHANGED, WM_MOVE}));
    EXPECT_TRUE(same(b_seen_by_a.at(0), RECT{10, 90, 130, 110})) << "b was placed before a heard of its move";
    EXPECT_EQ(heard(b), (std::vector<UINT>{WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE}));
    EXPECT_TRUE(at(c, RECT{10, 250, 110, 270}));

    MSG m;
    while (PeekMessage(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    std::vector<RECT> painted;
    EXPECT_EQ(heard(parent, &painted), std::vector<UINT>{WM_PAINT});
    EXPECT_TRUE(same(painted.at(0), RECT{10, 10, 130, 110})) << "the old and new places of a and b; c asked for none";
    EXPECT_EQ(heard(a).back(), UINT{WM_PAINT});
    EXPECT_EQ(heard(c).back(), UINT{WM_MOVE});

    EXPECT_FALSE(EndDeferWindowPos(dwp)) << "ended twice";
    EXPECT_EQ(DeferWindowPos(dwp, a, NULL, 0, 0, 1, 1, 0), nullptr);
    EXPECT_FALSE(EndDeferWindowPos(reinterpret_cast<HDWP>(parent))) << "a handle of another kind";
}

}  // namespace
