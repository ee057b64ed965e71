// The core library reached by name, hot keys taken over through it, the display power escape on
// the screen DC, and the desktop close button, on a headless platform driven from the test
// thread.
#include <dbgapi.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "backend/headless_backend.h"
#include "composition/platform.h"
#include "core/user_state.h"

namespace {

std::vector<std::pair<HWND, WPARAM>> g_hotkeys;
std::vector<UINT> g_stylus;

LRESULT CALLBACK recording_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_HOTKEY) g_hotkeys.push_back({h, wp});
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) g_stylus.push_back(msg);
    return DefWindowProc(h, msg, wp, lp);
}

class SystemServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_hotkeys.clear();
        g_stylus.clear();
        zv::PlatformOptions o;
        o.audio_device = false;
        platform_ = std::make_unique<zv::Platform>(o);
        WNDCLASS wc{};
        wc.lpfnWndProc = recording_proc;
        wc.lpszClassName = u"Recorder";
        ASSERT_TRUE(RegisterClass(&wc));
    }
    void input(zv::InputEvent::Type type, int vk = 0, bool win = false)
    {
        zv::InputEvent e{};
        e.type = type;
        e.vk = vk;
        e.win = win;
        e.x = 10;
        e.y = 10;
        platform_->headless()->push_input(e);
        MSG m;
        while (PeekMessage(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    }
    HWND window() { return CreateWindow(u"Recorder", u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL); }

    std::unique_ptr<zv::Platform> platform_;
};

using UnregisterFunc = BOOL(WINAPI*)(UINT, UINT);

TEST_F(SystemServices, CoreLibraryIsCountedAndItsUnregisterMovesAHotKeyToTheNewestWindow)
{
    HMODULE first = LoadLibrary(u"coredll.dll");
    HMODULE second = LoadLibrary(u"COREDLL.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(LoadLibrary(u"other.dll"), nullptr);
    EXPECT_EQ(GetProcAddress(first, u"NoSuchExport"), nullptr);
    auto unregister = reinterpret_cast<UnregisterFunc>(GetProcAddress(first, u"UnregisterFunc1"));
    ASSERT_NE(unregister, nullptr);

    HWND older = window(), newer = window();
    ASSERT_TRUE(RegisterHotKey(older, 0xC1, MOD_WIN, 0xC1));
    EXPECT_FALSE(RegisterHotKey(newer, 0xC1, MOD_WIN, 0xC1));  // held by the older window
    EXPECT_TRUE(unregister(MOD_WIN, 0xC1));
    ASSERT_TRUE(RegisterHotKey(newer, 0xC1, MOD_WIN, 0xC1));
    input(zv::InputEvent::Type::KeyDown, 0xC1, true);
    ASSERT_EQ(g_hotkeys.size(), 1u);
    EXPECT_EQ(g_hotkeys[0].first, newer);

    // The handle lives while a reference does, and not after the last one.
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(second, u"UnregisterFunc1"), nullptr);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(GetProcAddress(second, u"UnregisterFunc1"), nullptr);
    EXPECT_FALSE(FreeLibrary(second));
    DEBUGCHK(true);  // a passing check prints nothing and does not stop
}

TEST_F(SystemServices, DisplayOffOnTheScreenDcBlanksUntilATapThatOnlyWakes)
{
    window();
    HDC screen = GetDC(NULL);
    ASSERT_NE(screen, nullptr);
    VIDEO_POWER_MANAGEMENT off{sizeof(VIDEO_POWER_MANAGEMENT), 1, VideoPowerOff};
    EXPECT_EQ(ExtEscape(screen, 1234, sizeof(off), reinterpret_cast<LPCSTR>(&off), 0, nullptr), 0);
    EXPECT_LT(ExtEscape(screen, SETPOWERMANAGEMENT, 4, reinterpret_cast<LPCSTR>(&off), 0, nullptr), 0);
    EXPECT_TRUE(platform_->user().display_on());
    EXPECT_GT(ExtEscape(screen, SETPOWERMANAGEMENT, sizeof(off), reinterpret_cast<LPCSTR>(&off), 0, nullptr), 0);
    EXPECT_EQ(ReleaseDC(NULL, screen), 1);
    EXPECT_LT(ExtEscape(screen, SETPOWERMANAGEMENT, sizeof(off), reinterpret_cast<LPCSTR>(&off), 0, nullptr), 0);

    MSG m;
    while (PeekMessage(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessage(&m);  // the loop presents when idle
    EXPECT_FALSE(platform_->headless()->display_on());
    input(zv::InputEvent::Type::StylusDown);
    input(zv::InputEvent::Type::StylusUp);
    EXPECT_TRUE(platform_->user().display_on());
    EXPECT_TRUE(g_stylus.empty());  // the waking tap is not delivered
    input(zv::InputEvent::Type::StylusDown);
    EXPECT_EQ(g_stylus, std::vector<UINT>{WM_LBUTTONDOWN});
}

TEST_F(SystemServices, DesktopCloseButtonQuitsWithCodeZero)
{
    window();
    zv::InputEvent close{};
    close.type = zv::InputEvent::Type::Quit;
    platform_->headless()->push_input(close);
    MSG m;
    ASSERT_FALSE(GetMessage(&m, NULL, 0, 0));
    EXPECT_EQ(m.wParam, 0u);
}

}  // namespace
