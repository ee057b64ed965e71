// The rotate button turns the screen whatever is open: full-screen dialogs follow it, other
// windows keep their size, and a stroke across the turn goes nowhere. The test thread is the UI
// thread: what acts inside a modal loop is posted beforehand.
#include <windows.h>

#include <aygshell.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "backend/headless_backend.h"
#include "composition/platform.h"
#include "core/user_state.h"
#include "platform/resources/res_builder.h"

namespace {

using Heard = std::pair<UINT, LPARAM>;  // WM_SIZE with its size; the others with their wParam
std::vector<std::pair<HWND, Heard>> g_heard;
HWND g_dialog = nullptr;

void note(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SIZE || msg == WM_SETTINGCHANGE || msg == WM_INITDIALOG || msg == WM_KEYDOWN ||
        msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP)
        g_heard.push_back({h, {msg, msg == WM_SIZE ? lp : static_cast<LPARAM>(wp)}});
}

LRESULT CALLBACK plain_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    note(h, msg, wp, lp);
    return DefWindowProc(h, msg, wp, lp);
}

// As the player's panels do: ask for the whole screen and lay out for the portrait one.
INT_PTR CALLBACK panel_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    note(h, msg, wp, lp);
    if (msg != WM_INITDIALOG) return FALSE;
    g_dialog = h;
    SHFullScreen(h, SHFS_HIDETASKBAR);
    MoveWindow(h, 0, 0, 240, 320, FALSE);
    return TRUE;
}

std::vector<Heard> heard(HWND h)
{
    std::vector<Heard> out;
    for (const auto& [who, what] : g_heard)
        if (who == h) out.push_back(what);
    return out;
}

TEST(ScreenRotation, TurnsUnderAModalDialogAndBack)
{
    zvtest::Bytes t;  // a 100 x 100-unit pop-up without controls
    t.u32(WS_POPUP | DS_SETFONT).u32(0).u16(0).u16(0).u16(0).u16(100).u16(100).u16(0).u16(0).str16(u"");
    t.u16(8).str16(u"MS Shell Dlg");
    const std::vector<std::uint8_t> res = zvtest::ResBuilder().add(5u, 1u, t.b).bytes();
    zv::PlatformOptions options;
    options.resources = res;
    options.audio_device = false;
    zv::Platform platform(options);
    zv::HeadlessBackend& backend = *platform.headless();
    WNDCLASS wc{};
    wc.lpfnWndProc = plain_proc;
    wc.lpszClassName = u"Plain";
    ASSERT_TRUE(RegisterClass(&wc));
    HWND main = CreateWindow(u"Plain", u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL);
    auto input = [&](zv::InputEvent::Type type, int vk, int x = 0, int y = 0) {
        backend.push_input({.type = type, .x = x, .y = y, .vk = vk});
    };
    auto turn = [&] {
        for (auto type : {zv::InputEvent::Type::KeyDown, zv::InputEvent::Type::KeyDown, zv::InputEvent::Type::KeyUp})
            input(type, VK_F7);  // held, the button turns the screen once
    };
    auto run_panel = [&] {
        auto* tmpl = static_cast<const DLGTEMPLATE*>(
            LockResource(LoadResource(nullptr, FindResource(nullptr, MAKEINTRESOURCE(1), RT_DIALOG))));
        return DialogBoxIndirectParam(platform.module(), tmpl, main, panel_proc, 0);
    };
    auto presented = [&] {
        MSG m;
        while (PeekMessage(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessage(&m);
        const zv::Surface s = backend.screen();
        return std::pair{s.width(), s.height()};
    };
    const Heard turned{WM_SETTINGCHANGE, SETTINGCHANGE_RESET};

    platform.user().post_closure([&] {
        g_heard.clear();
        turn();
        platform.user().post_closure([&] {
            EXPECT_EQ((std::pair{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}), (std::pair{320, 240}));
            EXPECT_EQ(heard(g_dialog), (std::vector<Heard>{{WM_SIZE, MAKELPARAM(320, 240)}, turned}));
            EXPECT_EQ(heard(main), std::vector<Heard>{turned}) << "no F7 key, no new size";
            EndDialog(g_dialog, IDOK);
        });
    });
    EXPECT_EQ(run_panel(), IDOK);
    EXPECT_EQ(presented(), (std::pair{320, 240}));

    // Opened on the landscape screen, the panel is given it once its initialisation is done.
    g_heard.clear();
    platform.user().post_closure([] { EndDialog(g_dialog, IDOK); });
    run_panel();
    EXPECT_EQ(
        heard(g_dialog),
        (std::vector<Heard>{{WM_INITDIALOG, 0}, {WM_SIZE, MAKELPARAM(240, 320)}, {WM_SIZE, MAKELPARAM(320, 240)}}));

    // A press before the turn has no release after it; the next stroke is whole.
    g_heard.clear();
    input(zv::InputEvent::Type::StylusDown, 0, 100, 100);
    turn();
    input(zv::InputEvent::Type::StylusUp, 0, 100, 100);
    EXPECT_EQ(presented(), (std::pair{240, 320}));
    input(zv::InputEvent::Type::StylusDown, 0, 50, 50);
    input(zv::InputEvent::Type::StylusUp, 0, 50, 50);
    presented();
    EXPECT_EQ(heard(main), (std::vector<Heard>{
                               turned, {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}}));
}

}  // namespace
