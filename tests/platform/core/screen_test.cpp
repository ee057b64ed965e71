// The rotate button turns the screen whatever is open: full-screen dialogs follow it, other
// windows keep their size, every top-level window hears of the turn once its size is settled,
// and a stroke across the turn goes nowhere. The test thread is the UI thread: what acts inside
// a modal loop is posted beforehand.
#include <windows.h>

#include <aygshell.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/user_state.h"
#include "platform/resources/res_builder.h"
#include "support/platform_fixture.h"

namespace {

using namespace zv::test;
using Type = zv::InputEvent::Type;
using ScreenRotation = PlatformFixture;

TEST_F(ScreenRotation, TurnsUnderAModalDialogAndBack)
{
    zvtest::Bytes t;  // a 100 x 100-unit pop-up without controls
    t.u32(WS_POPUP | DS_SETFONT).u32(0).u16(0).u16(0).u16(0).u16(100).u16(100).u16(0).u16(0).str16(u"");
    t.u16(8).str16(u"MS Shell Dlg");
    static const std::vector<std::uint8_t> res = zvtest::ResBuilder().add(5u, 1u, t.b).bytes();
    open(res);
    HWND main = window(0, 0, 240, 320), small = window(140, 0, 100, 100);
    HWND dialog = nullptr;
    // As the player's panels do: ask for the whole screen and lay out for the portrait one.
    log.react = [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg != WM_INITDIALOG) return std::nullopt;
        dialog = h;
        log.name(h, "dialog");
        SHFullScreen(h, SHFS_HIDETASKBAR);
        MoveWindow(h, 0, 0, 240, 320, FALSE);
        return TRUE;
    };
    log.only({WM_SIZE, WM_SETTINGCHANGE, WM_INITDIALOG, WM_KEYDOWN, WM_KEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP});
    log.name(main, "main");
    log.name(small, "small");
    auto turn = [&] {
        for (auto type : {Type::KeyDown, Type::KeyDown, Type::KeyUp})
            backend().push_input({.type = type, .vk = VK_F7});  // held, the button turns the screen once
    };
    auto run_panel = [&] {
        auto* tmpl = static_cast<const DLGTEMPLATE*>(
            LockResource(LoadResource(nullptr, FindResource(nullptr, MAKEINTRESOURCE(1), RT_DIALOG))));
        return DialogBoxIndirectParam(platform_->module(), tmpl, main, MessageLog::dialog_proc, 0);
    };
    auto presented = [&] {
        pump();
        const zv::Surface s = backend().screen();
        return std::pair{s.width(), s.height()};
    };
    const Msg turned{WM_SETTINGCHANGE, sent | wparam, SETTINGCHANGE_RESET};

    platform_->user().queue().post_closure([&] {
        log.clear();
        turn();
        platform_->user().queue().post_closure([&] {
            EXPECT_EQ((std::pair{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}), (std::pair{320, 240}));
            // The dialog is sized before anyone hears of the turn, so each sees the new shape.
            EXPECT_SEQUENCE(log, nullptr,
                            {{WM_SIZE, sent | lparam, 0, MAKELPARAM(320, 240), dialog},
                             {turned.message, turned.flags, turned.wp, 0, dialog},
                             {turned.message, turned.flags, turned.wp, 0, small},
                             {turned.message, turned.flags, turned.wp, 0, main}});
            EndDialog(dialog, IDOK);
        });
    });
    EXPECT_EQ(run_panel(), IDOK);
    EXPECT_EQ(presented(), (std::pair{320, 240}));
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_TRUE(r.right == 240 && r.bottom == 320) << "not a dialog: keeps its size";

    // Opened on the landscape screen, the panel is given it once its initialisation is done.
    log.clear();
    platform_->user().queue().post_closure([&] { EndDialog(dialog, IDOK); });
    run_panel();
    EXPECT_SEQUENCE(log, dialog,
                    {{WM_INITDIALOG},
                     {WM_SIZE, sent | lparam, 0, MAKELPARAM(240, 320)},
                     {WM_SIZE, sent | lparam, 0, MAKELPARAM(320, 240)}});

    // A press before the turn has no release after it; the next stroke is whole.
    log.clear();
    backend().push_input({.type = Type::StylusDown, .x = 100, .y = 100});
    turn();
    backend().push_input({.type = Type::StylusUp, .x = 100, .y = 100});
    EXPECT_EQ(presented(), (std::pair{240, 320}));
    tap(50, 50);
    EXPECT_SEQUENCE(log, main,
                    {turned,
                     {WM_LBUTTONDOWN, posted | wparam | lparam, MK_LBUTTON, MAKELPARAM(100, 100)},
                     {WM_LBUTTONDOWN, posted | wparam | lparam, MK_LBUTTON, MAKELPARAM(50, 50)},
                     {WM_LBUTTONUP, posted | wparam | lparam, 0, MAKELPARAM(50, 50)}});
}

// The display's own report turns the screen as the rotate button does, under a modal dialog
// too, even while blank; a report of the shape the screen has changes nothing.
TEST_F(ScreenRotation, TheDisplaysOrientationTurnsTheScreenAsTheButtonDoes)
{
    HWND main = window(0, 0, 240, 320);
    log.name(main, "main");
    log.only({WM_SETTINGCHANGE});
    struct Step {
        bool landscape;
        bool display_on;
        int width, height;
        int heard;  // WM_SETTINGCHANGE messages the window hears
    } steps[] = {
        {true, true, 320, 240, 1},  {true, true, 320, 240, 0},  {false, true, 240, 320, 1},
        {false, true, 240, 320, 0}, {true, false, 320, 240, 1}, {false, false, 240, 320, 1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.landscape ? "landscape" : "portrait") + (s.display_on ? "" : ", blank"));
        platform_->user().screen().set_display_on(s.display_on);
        log.clear();
        backend().report_orientation(s.landscape);
        pump();
        EXPECT_EQ((std::pair{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}),
                  (std::pair{s.width, s.height}));
        const zv::Surface shown = backend().screen();
        EXPECT_EQ((std::pair{shown.width(), shown.height()}), (std::pair{s.width, s.height}));
        EXPECT_EQ(log.all().size(), static_cast<std::size_t>(s.heard));
        EXPECT_EQ(platform_->user().screen().display_on(), s.display_on) << "a turn does not wake the display";
    }
    // The button goes on turning it.
    platform_->user().screen().set_display_on(true);
    for (auto type : {Type::KeyDown, Type::KeyUp}) backend().push_input({.type = type, .vk = VK_F7});
    pump();
    EXPECT_TRUE(platform_->user().screen().landscape());
    backend().report_orientation(true);
    pump();
    EXPECT_TRUE(platform_->user().screen().landscape());
}

TEST_F(ScreenRotation, SHInitDialogSizesToTheScreenOnlyWhenItsFlagsAreGivenAndAsked)
{
    HWND w = window(10, 10, 50, 50);
    auto size_after = [&](DWORD mask, DWORD flags) {
        SHINITDLGINFO info{mask, w, flags};
        EXPECT_TRUE(SHInitDialog(&info));
        RECT r{};
        GetWindowRect(w, &r);
        return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
    };
    EXPECT_EQ(size_after(0, SHIDIF_SIZEDLGFULLSCREEN), (std::vector<LONG>{10, 10, 60, 60})) << "flags not given";
    EXPECT_EQ(size_after(SHIDIM_FLAGS, SHIDIF_DONEBUTTON), (std::vector<LONG>{10, 10, 60, 60}));
    EXPECT_EQ(size_after(SHIDIM_FLAGS, SHIDIF_SIZEDLGFULLSCREEN), (std::vector<LONG>{0, 0, 240, 320}));
    DestroyWindow(w);
    SHINITDLGINFO gone{SHIDIM_FLAGS, w, SHIDIF_SIZEDLGFULLSCREEN};
    EXPECT_FALSE(SHInitDialog(&gone));
}

// The screen is presented when something visible changed, once per pass of the loop, and not
// when nothing did or when only a hidden window painted.
TEST_F(ScreenRotation, PresentsOnlyWhatChanged)
{
    HWND shown = window(0, 0, 240, 320), hidden = window(0, 0, 100, 100, nullptr, 0);
    pump();
    const int settled = backend().present_count();
    pump();
    EXPECT_EQ(backend().present_count(), settled) << "nothing changed";
    PAINTSTRUCT ps;
    BeginPaint(hidden, &ps);
    EndPaint(hidden, &ps);
    pump();
    EXPECT_EQ(backend().present_count(), settled) << "a hidden window's paint shows nowhere";
    InvalidateRect(shown, nullptr, TRUE);
    InvalidateRect(shown, nullptr, TRUE);
    pump();
    EXPECT_EQ(backend().present_count(), settled + 1);
}

}  // namespace
