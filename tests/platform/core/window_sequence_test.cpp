// The messages a window hears as it is made, placed, activated, focused and destroyed, and as it
// takes the stylus, against the order Win32 delivers them in. Where this platform says less than
// Win32 the table says why.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/user_state.h"
#include "support/platform_fixture.h"

namespace {

using namespace zv::test;
using Type = zv::InputEvent::Type;
using WindowSequences = PlatformFixture;

LPARAM lp(HWND h) { return reinterpret_cast<LPARAM>(h); }
WPARAM wp(HWND h) { return reinterpret_cast<WPARAM>(h); }

// No WM_SIZE and WM_MOVE follow WM_CREATE as in Win32: the dialogs lay out on WM_SIZE, and one
// before WM_INITDIALOG would find no controls. Nor does a top-level window hear the hiding and
// the hand-over of activation and focus before its WM_DESTROY: the window is torn down first, and the next
// one is activated after, by nobody (the program destroys its main window only at exit, and its
// panels through EndDialog, which hides them first).
TEST_F(WindowSequences, CreateAndDestroyATree)
{
    HWND bystander = window(0, 0, 240, 320);
    CREATESTRUCTW seen{};
    log.react = [&](HWND, UINT msg, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (msg == WM_CREATE) seen = *reinterpret_cast<CREATESTRUCTW*>(l);
        return std::nullopt;
    };
    log.clear();
    HWND parent = CreateWindowW(u"Logged", u"title", WS_VISIBLE, 5, 6, 200, 300, nullptr, nullptr, nullptr,
                                reinterpret_cast<LPVOID>(0x42));
    EXPECT_EQ(seen.lpCreateParams, reinterpret_cast<LPVOID>(0x42));
    EXPECT_TRUE(seen.x == 5 && seen.y == 6 && seen.cx == 200 && seen.cy == 300 && seen.style == WS_VISIBLE);
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_CREATE, sent, 0, 0, parent},
                     {WM_SHOWWINDOW, sent | wparam, TRUE, 0, parent},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_INACTIVE, lp(parent), bystander},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_ACTIVE, lp(bystander), parent},
                     {WM_KILLFOCUS, sent | wparam, wp(parent), 0, bystander},
                     {WM_SETFOCUS, sent | wparam, wp(bystander), 0, parent}});
    char16_t text[4] = u"xxx";
    EXPECT_EQ(SendMessageW(parent, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(text)), 2);
    EXPECT_EQ(std::u16string(text), u"ti");
    HWND child = window(0, 0, 50, 50, parent), grandchild = window(0, 0, 9, 9, child);
    HWND second = window(60, 0, 50, 50, parent, 0);
    HWND owned = CreateWindowW(u"Logged", u"", 0, 0, 0, 20, 20, parent, nullptr, nullptr, nullptr);
    EXPECT_SEQUENCE(log, child, {{WM_CREATE}, {WM_SHOWWINDOW, sent | wparam, TRUE}});
    SetWindowLongPtrW(child, GWL_ID, 7);
    EXPECT_EQ(GetDlgItem(parent, 7), child) << "an id given later names the child";
    EXPECT_EQ(CreateWindowW(u"Logged", u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateWindowW(MAKEINTRESOURCE(7), nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr)
        << "a class atom names no class here";
    pump();
    SetTimer(child, 1, 10, nullptr);
    platform_->user().queue().post(grandchild, WM_USER, 0, 0);
    SetFocus(grandchild);
    for (auto [h, name] : {std::pair{parent, "parent"},
                           {child, "child"},
                           {grandchild, "grandchild"},
                           {second, "second"},
                           {owned, "owned"},
                           {bystander, "bystander"}})
        log.name(h, name);
    log.clear();

    EXPECT_TRUE(DestroyWindow(parent));
    // The owned pop-up goes first; then WM_DESTROY down the tree and WM_NCDESTROY up it.
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_DESTROY, sent, 0, 0, owned},
                     {WM_NCDESTROY, sent, 0, 0, owned},
                     {WM_DESTROY, sent, 0, 0, parent},
                     {WM_DESTROY, sent, 0, 0, child},
                     {WM_DESTROY, sent, 0, 0, grandchild},
                     {WM_DESTROY, sent, 0, 0, second},
                     {WM_NCDESTROY, sent, 0, 0, grandchild},
                     {WM_NCDESTROY, sent, 0, 0, child},
                     {WM_NCDESTROY, sent, 0, 0, second},
                     {WM_NCDESTROY, sent, 0, 0, parent},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_ACTIVE, 0, bystander},
                     {WM_SETFOCUS, sent | wparam, 0, 0, bystander}});
    for (HWND h : {parent, child, grandchild, second, owned}) EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(GetActiveWindow(), bystander);
    EXPECT_EQ(GetFocus(), bystander);
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_FALSE(KillTimer(child, 1)) << "its timer went with it";
    elapse(20);
    EXPECT_TRUE(log.all().empty()) << "and its posted messages";

    // A window that refuses its creation is destroyed at once, and none is made.
    log.react = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        return msg == WM_CREATE ? std::optional<LRESULT>(-1) : std::nullopt;
    };
    EXPECT_EQ(window(0, 0, 10, 10), nullptr);
    EXPECT_SEQUENCE(log, nullptr, {{WM_CREATE}, {WM_DESTROY}, {WM_NCDESTROY}});
}

// Showing an already shown window says nothing; a placement that changes nothing says nothing.
// Win32's WM_WINDOWPOSCHANGED for showing and hiding has no listener here and is not sent.
TEST_F(WindowSequences, ShowMoveAndSize)
{
    HWND parent = window(0, 0, 240, 320), child = window(10, 20, 30, 40, parent, 0);
    log.clear();
    WINDOWPOS pos{};
    log.react = [&](HWND, UINT msg, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (msg == WM_WINDOWPOSCHANGED) pos = *reinterpret_cast<WINDOWPOS*>(l);
        return std::nullopt;
    };
    EXPECT_FALSE(ShowWindow(child, SW_SHOW));
    EXPECT_TRUE(ShowWindow(child, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_SEQUENCE(log, child, {{WM_SHOWWINDOW, sent | wparam, TRUE}});
    EXPECT_EQ(GetActiveWindow(), parent) << "a child is never active";

    EXPECT_TRUE(SetWindowPos(child, nullptr, 15, 25, 30, 40, SWP_NOZORDER));
    EXPECT_TRUE(pos.x == 15 && pos.y == 25 && pos.cx == 30 && pos.cy == 40 && pos.hwnd == child);
    EXPECT_EQ(pos.flags & (SWP_NOMOVE | SWP_NOSIZE), static_cast<UINT>(SWP_NOSIZE));
    EXPECT_TRUE(MoveWindow(child, 15, 25, 50, 60, TRUE));
    EXPECT_EQ(pos.flags & (SWP_NOMOVE | SWP_NOSIZE), static_cast<UINT>(SWP_NOMOVE));
    EXPECT_TRUE(SetWindowPos(child, nullptr, 1, 2, 70, 80, SWP_NOZORDER));
    EXPECT_TRUE(SetWindowPos(child, nullptr, 9, 9, 70, 80, SWP_NOZORDER | SWP_NOMOVE));
    EXPECT_TRUE(SetWindowPos(child, nullptr, 1, 2, 9, 9, SWP_NOZORDER | SWP_NOSIZE));
    EXPECT_TRUE(SetWindowPos(parent, nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE));
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_WINDOWPOSCHANGED, sent, 0, 0, child},
                     {WM_MOVE, sent | lparam, 0, MAKELPARAM(15, 25), child},
                     {WM_WINDOWPOSCHANGED, sent, 0, 0, child},
                     {WM_SIZE, sent | lparam, 0, MAKELPARAM(50, 60), child},
                     {WM_WINDOWPOSCHANGED, sent, 0, 0, child},
                     {WM_MOVE, sent | lparam, 0, MAKELPARAM(1, 2), child},
                     {WM_SIZE, sent | lparam, 0, MAKELPARAM(70, 80), child},
                     {WM_WINDOWPOSCHANGED, sent, 0, 0, parent},
                     {WM_SIZE, sent | lparam, 0, MAKELPARAM(320, 240), parent}});
    RECT r{};
    const RECT placed{1, 2, 71, 82};
    GetWindowRect(child, &r);
    EXPECT_TRUE(EqualRect(&r, &placed));
    GetClientRect(parent, &r);
    EXPECT_TRUE(r.right == 320 && r.bottom == 240);

    // Placements show and hide without WM_SHOWWINDOW, as in Win32.
    EXPECT_TRUE(SetWindowPos(child, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW));
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(SetWindowPos(child, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW));
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(ShowWindow(child, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_SEQUENCE(log, child, {{WM_SHOWWINDOW, sent | wparam, FALSE}});
    HWND quiet = window(0, 0, 10, 10, nullptr, 0);
    ShowWindow(quiet, SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(quiet) && GetActiveWindow() == parent) << "shown without activation";
    EXPECT_TRUE(SetWindowPos(parent, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    tap(5, 5);
    EXPECT_EQ(GetActiveWindow(), parent) << "raised above it, the parent takes the tap";
}

// Win32 activates a window's top level when the focus moves into it; here SetFocus moves only
// the focus (the program sets it only inside the active window).
TEST_F(WindowSequences, ActivationHandsTheFocusOverKillBeforeSet)
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
TEST_F(WindowSequences, CaptureChangesTellTheLoserWhoWon)
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
TEST_F(WindowSequences, APressActivatesThenGoesToTheCaptureOrTheWindowUnderIt)
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

}  // namespace
