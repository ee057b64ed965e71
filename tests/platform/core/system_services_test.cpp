// The core library by name and its hot-key takeover, display power off on the screen DC, and the
// desktop close button.
#include <dbgapi.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "backend/headless_backend.h"
#include "composition/platform.h"
#include "core/user_state.h"

namespace {

std::vector<std::pair<HWND, UINT>> g_seen;  // hot keys and stylus messages, and who got them

LRESULT CALLBACK recording_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_HOTKEY || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) g_seen.emplace_back(h, msg);
    return DefWindowProc(h, msg, wp, lp);
}

class SystemServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_seen.clear();
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
        platform_->headless()->push_input({.type = type, .x = 10, .y = 10, .vk = vk, .win = win});
        pump();
    }
    static void pump()  // the loop presents once it runs dry
    {
        for (MSG m; PeekMessage(&m, NULL, 0, 0, PM_REMOVE);) DispatchMessage(&m);
    }
    HWND window() { return CreateWindow(u"Recorder", u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL); }

    std::unique_ptr<zv::Platform> platform_;
};

TEST_F(SystemServices, CoreLibraryIsCountedAndItsUnregisterMovesAHotKeyToTheNewestWindow)
{
    HMODULE first = LoadLibrary(u"coredll.dll"), second = LoadLibrary(u"COREDLL.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(LoadLibrary(u"other.dll"), nullptr);
    EXPECT_EQ(GetProcAddress(first, u"NoSuchExport"), nullptr);
    using UnregisterFunc = BOOL(WINAPI*)(UINT, UINT);
    auto unregister = reinterpret_cast<UnregisterFunc>(GetProcAddress(first, u"UnregisterFunc1"));
    ASSERT_NE(unregister, nullptr);

    HWND older = window(), newer = window();
    ASSERT_TRUE(RegisterHotKey(older, 0xC1, MOD_WIN, 0xC1));
    EXPECT_FALSE(RegisterHotKey(newer, 0xC1, MOD_WIN, 0xC1));
    EXPECT_TRUE(unregister(MOD_WIN, 0xC1));
    ASSERT_TRUE(RegisterHotKey(newer, 0xC1, MOD_WIN, 0xC1));
    input(zv::InputEvent::Type::KeyDown, 0xC1, true);
    EXPECT_EQ(g_seen, (std::vector<std::pair<HWND, UINT>>{{newer, WM_HOTKEY}}));

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(second, u"UnregisterFunc1"), nullptr) << "one reference is left";
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(GetProcAddress(second, u"UnregisterFunc1"), nullptr);
    EXPECT_FALSE(FreeLibrary(second));
    DEBUGCHK(true);  // a passing check prints nothing and does not stop
}

TEST_F(SystemServices, DisplayOffBlanksUntilATapThatOnlyWakesAndTheCloseButtonQuitsWithZero)
{
    HWND w = window();
    HDC screen = GetDC(NULL);
    VIDEO_POWER_MANAGEMENT off{sizeof(VIDEO_POWER_MANAGEMENT), 1, VideoPowerOff};
    auto escape = [&](int code, int size) {
        return ExtEscape(screen, code, size, reinterpret_cast<LPCSTR>(&off), 0, nullptr);
    };
    EXPECT_EQ(escape(1234, sizeof(off)), 0);
    EXPECT_LT(escape(SETPOWERMANAGEMENT, 4), 0);
    EXPECT_TRUE(platform_->user().display_on());
    EXPECT_GT(escape(SETPOWERMANAGEMENT, sizeof(off)), 0);
    EXPECT_EQ(ReleaseDC(NULL, screen), 1);
    EXPECT_LT(escape(SETPOWERMANAGEMENT, sizeof(off)), 0) << "a released DC";

    pump();
    EXPECT_FALSE(platform_->headless()->display_on());
    input(zv::InputEvent::Type::StylusDown);
    input(zv::InputEvent::Type::StylusUp);
    EXPECT_TRUE(platform_->user().display_on());
    EXPECT_TRUE(g_seen.empty()) << "the waking tap is not delivered";
    input(zv::InputEvent::Type::StylusDown);
    EXPECT_EQ(g_seen, (std::vector<std::pair<HWND, UINT>>{{w, WM_LBUTTONDOWN}}));

    platform_->headless()->push_input({.type = zv::InputEvent::Type::Quit});
    MSG m;
    ASSERT_FALSE(GetMessage(&m, NULL, 0, 0));
    EXPECT_EQ(m.wParam, 0u);
}

}  // namespace
