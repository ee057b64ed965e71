// Where a stylus press goes when it lands on a window that is not active yet: activation runs
// first, and if the window takes the capture while it activates, the press is the capture's.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "backend/headless_backend.h"
#include "composition/platform.h"

namespace {

struct Press {
    HWND hwnd;
    int x, y;
};
std::vector<Press> g_presses;
bool g_capture_on_activate = true;

LRESULT CALLBACK main_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE && g_capture_on_activate) SetCapture(h);
    if (msg == WM_LBUTTONDOWN) g_presses.push_back({h, LOWORD(lp), HIWORD(lp)});
    return DefWindowProc(h, msg, wp, lp);
}

class StylusRouting : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_presses.clear();
        zv::PlatformOptions o;
        o.backend = zv::PlatformOptions::BackendKind::Headless;
        o.audio_device = false;
        platform_ = std::make_unique<zv::Platform>(o);
        WNDCLASS wc{};
        wc.lpfnWndProc = main_proc;
        wc.lpszClassName = u"RoutingWindow";
        ASSERT_TRUE(RegisterClass(&wc));
        main_ = CreateWindow(u"RoutingWindow", u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL);
        child_ = CreateWindow(u"RoutingWindow", u"", WS_VISIBLE | WS_CHILD, 0, 40, 240, 200, main_, NULL, NULL, NULL);
        other_ = CreateWindow(u"RoutingWindow", u"", WS_VISIBLE, 0, 280, 240, 40, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(main_ && child_ && other_);
        ReleaseCapture();
        SetActiveWindow(other_);
        ASSERT_EQ(GetActiveWindow(), other_);
    }
    void TearDown() override { platform_.reset(); }

    void press(int x, int y)
    {
        zv::InputEvent e{};
        e.type = zv::InputEvent::Type::StylusDown;
        e.x = x;
        e.y = y;
        platform_->headless()->push_input(e);
        MSG m;
        while (PeekMessage(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    }

    std::unique_ptr<zv::Platform> platform_;
    HWND main_ = nullptr, child_ = nullptr, other_ = nullptr;
};

TEST_F(StylusRouting, PressThatActivatesAWindowGoesToTheCaptureItTakes)
{
    press(100, 100);
    EXPECT_EQ(GetActiveWindow(), main_);
    ASSERT_EQ(g_presses.size(), 1u);
    EXPECT_EQ(g_presses[0].hwnd, main_);
    EXPECT_EQ(g_presses[0].y, 100);  // in the capture window's coordinates
}

TEST_F(StylusRouting, WithoutCaptureThePressGoesToTheWindowUnderIt)
{
    g_capture_on_activate = false;
    press(100, 100);
    g_capture_on_activate = true;
    EXPECT_EQ(GetActiveWindow(), main_);
    ASSERT_EQ(g_presses.size(), 1u);
    EXPECT_EQ(g_presses[0].hwnd, child_);
    EXPECT_EQ(g_presses[0].y, 60);
}

}  // namespace
