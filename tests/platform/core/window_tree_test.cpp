// The messages a window hears as it is made, placed and destroyed, against the order Win32
// delivers them in. Where this platform says less than Win32 the table says why.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/user_state.h"
#include "support/platform_fixture.h"

namespace {

using namespace zv::test;
using Type = zv::InputEvent::Type;
using WindowSequences = PlatformFixture;

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

// The window that goes takes the capture with it, and the activation passes to its owner even
// when another window lies above the owner; a disabled owner passes it to the topmost window.
TEST_F(WindowSequences, DestroyingTheActiveWindowHandsActivationToItsOwner)
{
    HWND owner = window(0, 0, 240, 320), other = window(0, 0, 240, 320);
    auto popup = [&] {
        return CreateWindowW(u"Logged", u"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, owner, nullptr, nullptr, nullptr);
    };
    HWND child = window(0, 0, 10, 10, owner);
    SetCapture(child);
    EXPECT_TRUE(DestroyWindow(child));
    EXPECT_EQ(GetCapture(), nullptr) << "the capture goes with its window";

    HWND first = popup();
    ASSERT_EQ(GetActiveWindow(), first);
    EXPECT_TRUE(DestroyWindow(first));
    EXPECT_EQ(GetActiveWindow(), owner) << "the owner, though another window lies above it";
    HWND second = popup();
    EnableWindow(owner, FALSE);
    EXPECT_TRUE(DestroyWindow(second));
    EXPECT_EQ(GetActiveWindow(), other) << "a disabled owner cannot take it";
}

}  // namespace
