// Where input goes: activation and focus, the capture, the stylus's press and its routing, hot
// keys (and the core library's takeover of one), the wake from a blank display and the desktop
// close button, against the order Win32 delivers them in.
#include <dbgapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/user_state.h"
#include "support/platform_fixture.h"

namespace {

using namespace zv::test;
using Type = zv::InputEvent::Type;
using InputRouting = PlatformFixture;

// Win32 activates a window's top level when the focus moves into it; here SetFocus moves only
// the focus (the program sets it only inside the active window).
TEST_F(InputRouting, ActivationHandsTheFocusOverKillBeforeSet)
{
    HWND a = window(0, 0, 240, 320), a_child = window(0, 0, 10, 10, a);
    HWND b = window(0, 0, 240, 320), b_child = window(0, 0, 10, 10, b);
    for (auto [h, name] : {std::pair{a, "a"}, {a_child, "a child"}, {b, "b"}, {b_child, "b child"}}) log.name(h, name);
    log.only({WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_ENABLE});
    log.clear();
    ASSERT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(SetActiveWindow(a), b);
    EXPECT_EQ(SetFocus(a_child), a);
    EXPECT_EQ(SetFocus(a_child), a_child);
    EXPECT_EQ(SetActiveWindow(b_child), a) << "activating a child activates its top level";
    EXPECT_EQ(SetActiveWindow(b), b);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_EQ(SetFocus(b_child), b);
    EXPECT_FALSE(EnableWindow(b_child, FALSE));
    EXPECT_TRUE(EnableWindow(b_child, FALSE));
    EXPECT_EQ(GetFocus(), nullptr) << "a disabled window cannot keep the focus";
    EXPECT_EQ(SetFocus(reinterpret_cast<HWND>(0x1234)), nullptr);
    EXPECT_TRUE(EnableWindow(b_child, TRUE));
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_ACTIVATE, sent | wparam | lparam, WA_INACTIVE, lp(a), b},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_ACTIVE, lp(b), a},
                     {WM_KILLFOCUS, sent | wparam, wp(a), 0, b},
                     {WM_SETFOCUS, sent | wparam, wp(b), 0, a},
                     {WM_KILLFOCUS, sent | wparam, wp(a_child), 0, a},
                     {WM_SETFOCUS, sent | wparam, wp(a), 0, a_child},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_INACTIVE, lp(b), a},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_ACTIVE, lp(a), b},
                     {WM_KILLFOCUS, sent | wparam, wp(b), 0, a_child},
                     {WM_SETFOCUS, sent | wparam, wp(a_child), 0, b},
                     {WM_KILLFOCUS, sent | wparam, wp(b_child), 0, b},
                     {WM_SETFOCUS, sent | wparam, wp(b), 0, b_child},
                     {WM_KILLFOCUS, sent | wparam, 0, 0, b_child},
                     {WM_ENABLE, sent | wparam, FALSE, 0, b_child},
                     {WM_ENABLE, sent | wparam, TRUE, 0, b_child}});
    // Hiding the active window hands activation to its owner (Win32 tells it it is inactive
    // first; nothing here listens for that).
    HWND popup = CreateWindowW(u"Logged", u"", WS_VISIBLE, 0, 0, 10, 10, a, nullptr, nullptr, nullptr);
    ShowWindow(b, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), popup) << "hiding another leaves it active";
    ShowWindow(popup, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), a);
}

// Win32 tells a window that takes the capture it already holds that it changed; here it says
// nothing, as the main window takes the capture again on every activation and setting change.
TEST_F(InputRouting, CaptureChangesTellTheLoserWhoWon)
{
    HWND a = window(0, 0, 240, 320), b = window(0, 0, 240, 320, a);
    log.only({WM_CAPTURECHANGED});
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(SetCapture(b), a);
    EXPECT_EQ(SetCapture(b), b);
    EXPECT_EQ(SetCapture(reinterpret_cast<HWND>(0x1234)), b);
    EXPECT_EQ(GetCapture(), b);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_CAPTURECHANGED, sent | lparam, 0, lp(b), a}, {WM_CAPTURECHANGED, sent | lparam, 0, 0, b}});
}

// A press on a window that is not active activates it first (as a click), and belongs to whoever
// holds the capture then, in that window's coordinates; without a capture, to the window under it,
// and the stroke's moves follow the press.
TEST_F(InputRouting, APressActivatesThenGoesToTheCaptureOrTheWindowUnderIt)
{
    for (const bool capture_on_activate : {true, false}) {
        SCOPED_TRACE(capture_on_activate);
        open();
        HWND main = window(0, 0, 240, 320), child = window(0, 40, 240, 200, main);
        HWND other = window(0, 280, 240, 40);
        log.only({WM_ACTIVATE, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP});
        log.react = [&](HWND h, UINT msg, WPARAM w, LPARAM) -> std::optional<LRESULT> {
            if (h == main && msg == WM_ACTIVATE && LOWORD(w) != WA_INACTIVE && capture_on_activate) SetCapture(h);
            return std::nullopt;
        };
        log.clear();
        stylus(Type::StylusDown, 100, 100);
        stylus(Type::StylusMove, 110, 290);
        stylus(Type::StylusUp, 120, 300);
        stylus(Type::StylusMove, 5, 5);  // no stroke: goes nowhere, the capture neither
        EXPECT_EQ(GetActiveWindow(), main);
        HWND to = capture_on_activate ? main : child;
        const int dy = capture_on_activate ? 0 : 40;
        EXPECT_SEQUENCE(log, nullptr,
                        {{WM_ACTIVATE, sent | wparam | lparam, WA_INACTIVE, lp(main), other},
                         {WM_ACTIVATE, sent | wparam | lparam, WA_CLICKACTIVE, lp(other), main},
                         {WM_LBUTTONDOWN, posted | wparam | lparam, MK_LBUTTON, MAKELPARAM(100, 100 - dy), to},
                         {WM_MOUSEMOVE, posted | wparam | lparam, MK_LBUTTON, MAKELPARAM(110, 290 - dy), to},
                         {WM_LBUTTONUP, posted | wparam | lparam, 0, MAKELPARAM(120, 300), main}});
    }
}

// The program's hardware buttons: each hot key reaches whoever registered it, with its id and
// its key; once unregistered the key is an ordinary key again.
TEST_F(InputRouting, HotKeysReachTheirRegistrantUntilUnregistered)
{
    HWND holder = window(0, 0, 240, 320), focus = window(0, 0, 240, 320);
    for (UINT vk = 0xC1; vk <= 0xCF; ++vk)
        ASSERT_TRUE(RegisterHotKey(holder, static_cast<int>(vk - 0xB0), MOD_WIN, vk));
    EXPECT_FALSE(RegisterHotKey(focus, 1, MOD_WIN, 0xC5)) << "held already";
    log.only({WM_HOTKEY, WM_KEYDOWN, WM_KEYUP});
    std::vector<Msg> expected;
    for (UINT vk = 0xC1; vk <= 0xCF; ++vk) {
        key(Type::KeyDown, static_cast<int>(vk), true);
        expected.push_back({WM_HOTKEY, posted | wparam | lparam, vk - 0xB0, MAKELPARAM(MOD_WIN, vk), holder});
    }
    key(Type::KeyDown, 0xC1);  // without its modifier
    key(Type::KeyUp, 0xC1);
    expected.push_back({WM_KEYDOWN, posted | wparam, 0xC1, 0, focus});
    expected.push_back({WM_KEYUP, posted | wparam, 0xC1, 0, focus});
    EXPECT_TRUE(UnregisterHotKey(holder, 0x11));
    EXPECT_FALSE(UnregisterHotKey(holder, 0x11));
    EXPECT_FALSE(UnregisterHotKey(focus, 0x12));
    key(Type::KeyDown, 0xC1, true);
    key(Type::KeyDown, 0xC2, true);
    expected.push_back({WM_KEYDOWN, posted | wparam, 0xC1, 0, focus});
    expected.push_back({WM_HOTKEY, posted | wparam, 0x12, 0, holder});
    EXPECT_SEQUENCE(log, nullptr, expected);
}

TEST_F(InputRouting, CoreLibraryIsCountedAndItsUnregisterMovesAHotKeyToTheNewestWindow)
{
    HMODULE first = LoadLibrary(u"coredll.dll"), second = LoadLibrary(u"COREDLL.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(LoadLibrary(u"other.dll"), nullptr);
    EXPECT_EQ(GetProcAddress(first, u"NoSuchExport"), nullptr);
    using UnregisterFunc = BOOL(WINAPI*)(UINT, UINT);
    auto unregister = reinterpret_cast<UnregisterFunc>(GetProcAddress(first, u"UnregisterFunc1"));
    ASSERT_NE(unregister, nullptr);

    HWND older = window(0, 0, 240, 320), newer = window(0, 0, 240, 320);
    ASSERT_TRUE(RegisterHotKey(older, 0xC1, MOD_WIN, 0xC1));
    EXPECT_FALSE(RegisterHotKey(newer, 0xC1, MOD_WIN, 0xC1));
    EXPECT_TRUE(unregister(MOD_WIN, 0xC1));
    ASSERT_TRUE(RegisterHotKey(newer, 0xC1, MOD_WIN, 0xC1));
    log.only({WM_HOTKEY});
    key(Type::KeyDown, 0xC1, true);
    EXPECT_SEQUENCE(log, nullptr, {{WM_HOTKEY, posted, 0, 0, newer}});

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(second, u"UnregisterFunc1"), nullptr) << "one reference is left";
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(GetProcAddress(second, u"UnregisterFunc1"), nullptr);
    EXPECT_FALSE(FreeLibrary(second));
    DEBUGCHK(true);  // a passing check prints nothing and does not stop
}

TEST_F(InputRouting, DisplayOffBlanksUntilATapOrKeyThatOnlyWakesAndTheCloseButtonQuitsWithZero)
{
    HWND w = window(0, 0, 240, 320);
    HDC screen = GetDC(NULL);
    VIDEO_POWER_MANAGEMENT off{sizeof(VIDEO_POWER_MANAGEMENT), 1, VideoPowerOff};
    auto escape = [&](int code, int size) {
        return ExtEscape(screen, code, size, reinterpret_cast<LPCSTR>(&off), 0, nullptr);
    };
    EXPECT_EQ(escape(1234, sizeof(off)), 0);
    EXPECT_LT(escape(SETPOWERMANAGEMENT, 4), 0);
    off.Length = 4;
    EXPECT_LT(escape(SETPOWERMANAGEMENT, sizeof(off)), 0) << "a record that says it is short";
    off.Length = sizeof(off);
    EXPECT_TRUE(platform_->user().screen().display_on());
    log.only({WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_KEYDOWN, WM_KEYUP});
    stylus(Type::StylusDown, 10, 10);  // held as the display goes off
    EXPECT_GT(escape(SETPOWERMANAGEMENT, sizeof(off)), 0);
    pump();
    EXPECT_FALSE(backend().display_on());
    stylus(Type::StylusDown, 10, 10);
    stylus(Type::StylusMove, 12, 12);
    stylus(Type::StylusUp, 12, 12);
    EXPECT_TRUE(platform_->user().screen().display_on());
    EXPECT_GT(escape(SETPOWERMANAGEMENT, sizeof(off)), 0);
    key(Type::KeyDown, 'A');
    key(Type::KeyUp, 'A');
    EXPECT_TRUE(platform_->user().screen().display_on());
    stylus(Type::StylusDown, 10, 10);
    key(Type::KeyUp, 'B');
    // The waking tap and key are not delivered.
    EXPECT_SEQUENCE(log, w, {{WM_LBUTTONDOWN, posted}, {WM_LBUTTONDOWN, posted}, {WM_KEYUP, posted | wparam, 'B'}});
    EXPECT_EQ(ReleaseDC(NULL, screen), 1);
    EXPECT_LT(escape(SETPOWERMANAGEMENT, sizeof(off)), 0) << "a released DC";

    backend().push_input({.type = Type::Quit});
    MSG m;
    ASSERT_FALSE(GetMessage(&m, NULL, 0, 0));
    EXPECT_EQ(m.wParam, 0u);
}

// TranslateMessage makes characters of letters (shifted or as control codes), digits, space and
// the editing keys, and of nothing else; it says whether it made one.
TEST_F(InputRouting, KeysTranslateToTheCharactersTheirModifiersMake)
{
    HWND w = window(0, 0, 240, 320);
    log.only({WM_CHAR});
    struct Case {
        int vk;
        bool ctrl, shift;
        WPARAM ch;  // 0: none
    };
    const Case cases[] = {{'A', false, false, 'a'},
                          {'A', false, true, 'A'},
                          {'Z', true, false, 26},
                          {'A', true, false, 1},
                          {'5', false, false, '5'},
                          {VK_SPACE, false, false, ' '},
                          {VK_RETURN, false, false, VK_RETURN},
                          {VK_BACK, false, false, VK_BACK},
                          {VK_F1, false, false, 0},
                          {VK_LEFT, false, false, 0}};
    std::vector<Msg> expected;
    for (const Case& c : cases) {
        backend().push_input({.type = Type::KeyDown, .vk = c.vk, .ctrl = c.ctrl, .shift = c.shift});
        int translated = 0;
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) {
            if (m.message == WM_KEYDOWN) translated += TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        EXPECT_EQ(translated, c.ch ? 1 : 0) << c.vk;
        if (c.ch) expected.push_back({WM_CHAR, posted | wparam, c.ch, 0, w});
        key(Type::KeyUp, c.vk);
    }
    EXPECT_SEQUENCE(log, nullptr, expected);
    MSG up{w, WM_KEYUP, 'A', 0, 0, {}};
    EXPECT_FALSE(TranslateMessage(&up));
}

// A second start brings the player forward while a modal panel disables its main window: the
// window comes to the front with its panel above it, which takes the next tap.
TEST_F(InputRouting, ForegroundRaisesADisabledOwnerBeneathItsPopup)
{
    HWND owner = window(0, 0, 240, 320);
    HWND panel = CreateWindowW(u"Logged", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, owner, nullptr, nullptr, nullptr);
    EnableWindow(owner, FALSE);
    HWND other = window(0, 0, 240, 320);
    ASSERT_EQ(GetActiveWindow(), other);
    const int raised = backend().raise_count();
    EXPECT_TRUE(SetForegroundWindow(owner));
    EXPECT_EQ(GetActiveWindow(), other) << "a disabled window is not activated";
    EXPECT_EQ(backend().raise_count(), raised + 1) << "the desktop window comes forward";
    log.only({WM_LBUTTONDOWN});
    tap(5, 5);
    EXPECT_SEQUENCE(log, nullptr, {{WM_LBUTTONDOWN, posted, 0, 0, panel}});
}

}  // namespace
