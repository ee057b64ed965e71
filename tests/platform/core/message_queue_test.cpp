// What the message loop takes first, and timers.
#include <dbgapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/user_state.h"
#include "support/platform_fixture.h"

namespace {

using namespace zv::test;
using Type = zv::InputEvent::Type;
using MessageQueue = PlatformFixture;

// Win32 takes sent messages, posted ones, the quit, input, paint, then timers. Here input turns
// into queued messages when the loop polls for it, in arrival order with posted ones: a media key
// (a posted call) keeps its place behind the input before it, and a tap made before the close
// button is handled before the quit. So input polled ahead of a message posted later comes
// first, and comes before the quit. Sent messages run at once (there is one thread).
TEST_F(MessageQueue, PostedAndInputThenQuitThenPaintThenTimers)
{
    HWND w = window(0, 0, 240, 320);
    pump();
    // The clock reaches the window's timer through a thread timer due with it and set first.
    backend().advance(10);
    const UINT_PTR first = SetTimer(nullptr, 0, 10, nullptr);
    SetTimer(w, 7, 10, nullptr);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_TRUE(m.message == WM_TIMER && m.hwnd == nullptr && m.wParam == first);
    KillTimer(nullptr, first);

    log.only({WM_USER, WM_USER + 1, WM_USER + 2, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_QUIT, WM_PAINT, WM_TIMER});
    log.clear();
    log.react = [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_LBUTTONDOWN) platform_->user().queue().post(h, WM_USER + 2, 0, 0);
        return msg == WM_PAINT ? std::optional<LRESULT>(0) : std::nullopt;  // unpainted, it must not come back
    };
    platform_->user().queue().post(w, WM_USER, 1, 2);
    backend().push_input({.type = Type::StylusDown, .x = 5, .y = 5});
    backend().push_input({.type = Type::StylusUp, .x = 5, .y = 5});
    InvalidateRect(w, nullptr, FALSE);
    PostQuitMessage(3);
    platform_->user().queue().post(w, WM_USER + 1, 0, 0);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER)) << "a look leaves it queued";
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        // The quit goes to no window; its place is marked in the log.
        if (m.message == WM_QUIT) SendMessageW(w, WM_QUIT, m.wParam, 0);
        DispatchMessageW(&m);
    }
    EXPECT_SEQUENCE(log, w,
                    {{WM_USER, posted | wparam | lparam, 1, 2},
                     {WM_USER + 1, posted},
                     {WM_LBUTTONDOWN, posted},
                     {WM_LBUTTONUP, posted},
                     {WM_USER + 2, posted},
                     {WM_QUIT, sent | wparam, 3},
                     {WM_PAINT, posted},
                     {WM_TIMER, posted | wparam, 7}});

    // The quit is taken once, and GetMessage answers it with FALSE.
    PostQuitMessage(4);
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_TRUE(m.message == WM_QUIT && m.wParam == 4u && m.hwnd == nullptr);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    // A filter takes only its window's or its range's messages, and leaves the rest queued.
    HWND other = window(0, 0, 10, 10);
    pump();
    platform_->user().queue().post(w, WM_USER, 0, 0);
    platform_->user().queue().post(other, WM_USER + 1, 0, 0);
    EXPECT_TRUE(PeekMessageW(&m, other, 0, 0, PM_REMOVE) && m.message == WM_USER + 1);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_USER + 1, WM_USER + 2, PM_REMOVE));
    InvalidateRect(other, nullptr, FALSE);
    EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE) && m.hwnd == other);
    EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_USER, WM_USER, PM_REMOVE) && m.hwnd == w);
}

std::vector<std::pair<UINT_PTR, DWORD>> g_proc_calls;  // a timer procedure's id and time
void CALLBACK timer_proc(HWND, UINT msg, UINT_PTR id, DWORD time)
{
    if (msg == WM_TIMER) g_proc_calls.emplace_back(id, time);
}

TEST_F(MessageQueue, TimersRearmOnTheirPeriodGoToTheirProcedureAndStopWhenKilled)
{
    g_proc_calls.clear();
    HWND w = window(0, 0, 240, 320);
    pump();
    std::vector<DWORD> ticks;  // when the window heard its timer
    log.react = [&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_TIMER) ticks.push_back(GetTickCount());
        return std::nullopt;
    };
    log.only({WM_TIMER});
    const DWORD start = GetTickCount();
    EXPECT_NE(SetTimer(w, 1, 10, nullptr), 0u);
    EXPECT_NE(SetTimer(w, 2, 25, timer_proc), 0u);
    const UINT_PTR thread_a = SetTimer(nullptr, 0, 15, timer_proc), thread_b = SetTimer(nullptr, 0, 40, timer_proc);
    EXPECT_TRUE(thread_a && thread_b && thread_a != thread_b);
    EXPECT_EQ(SetTimer(nullptr, thread_a, 15, timer_proc), thread_a) << "set again, the same timer";
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x1234), 1, 10, nullptr), 0u);
    elapse(30);
    EXPECT_SEQUENCE(
        log, w,
        {{WM_TIMER, posted | wparam | lparam, 1, 0}, {WM_TIMER, posted | wparam, 1}, {WM_TIMER, posted | wparam, 1}});
    EXPECT_EQ(ticks, (std::vector<DWORD>{start + 10, start + 20, start + 30}));
    EXPECT_EQ(g_proc_calls, (std::vector<std::pair<UINT_PTR, DWORD>>{
                                {thread_a, start + 15}, {2, start + 25}, {thread_a, start + 30}}));

    // Set again, a timer takes its new period from now; killed, it says no more.
    EXPECT_NE(SetTimer(w, 1, 4, nullptr), 0u);
    EXPECT_TRUE(KillTimer(w, 2));
    EXPECT_TRUE(KillTimer(nullptr, thread_a));
    EXPECT_FALSE(KillTimer(nullptr, thread_a));
    EXPECT_FALSE(KillTimer(w, 3));
    ticks.clear();
    g_proc_calls.clear();
    elapse(10);
    EXPECT_EQ(ticks, (std::vector<DWORD>{start + 34, start + 38}));
    EXPECT_EQ(g_proc_calls, (std::vector<std::pair<UINT_PTR, DWORD>>{{thread_b, start + 40}})) << "only the other";
    EXPECT_TRUE(KillTimer(w, 1));
    EXPECT_TRUE(KillTimer(nullptr, thread_b));
    log.clear();
    elapse(50);
    EXPECT_TRUE(log.all().empty() && g_proc_calls.size() == 1);
}

}  // namespace
