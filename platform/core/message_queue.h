// The message queue: sent and posted messages, closures from other threads, the GetMessage loop
// that generates WM_PAINT and WM_TIMER as Win32 does, modal loops, quit, and timers. Runs on the
// user-interface thread; only post(), post_closure() and the wake-up are thread-safe.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "base/backend.h"
#include "core/window.h"

namespace zv {

class UserState;

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT period = 0;
    std::uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

class MessageQueue {
public:
    MessageQueue(UserState& user, Backend& backend) : user_(user), backend_(backend) {}
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    std::uint64_t now() const;

    LRESULT send(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    bool post(HWND h, UINT msg, WPARAM wp, LPARAM lp);  // thread-safe
    void post_quit(int code);
    void post_closure(std::function<void()> fn);  // thread-safe: runs fn on the UI thread
    bool get_message(MSG* msg, HWND filter, UINT min, UINT max, bool wait, bool remove);
    LRESULT dispatch(const MSG* msg);
    // Runs until `done` says so (a modal loop): dispatches everything, as a dialog loop does.
    // `pretranslate`, when given, sees each message first and returns true when it handled it.
    void run_modal(const std::function<bool()>& done, const std::function<bool(MSG&)>& pretranslate = {});
    // The queued message whose window procedure runs now, or null while a sent one's does (what
    // a message log needs to tell the two apart).
    const MSG* delivering_posted() const { return delivering_posted_; }

    UINT_PTR set_timer(HWND h, UINT_PTR id, UINT period, TIMERPROC proc);
    bool kill_timer(HWND h, UINT_PTR id);

    // Drops the timers and queued messages of windows being destroyed.
    void forget_windows(std::span<const HWND> doomed);

    // Called when the user-interface thread comes back to its message loop (a message is asked
    // for, or a posted closure has run): the end of one turn of work. Set by whoever wants the
    // calls of one turn to take effect together (the sound system).
    std::function<void()> on_turn_end;

private:
    struct Posted {
        MSG msg{};
        std::function<void()> closure;
    };

    void take_input();
    bool pop_posted(MSG* out, HWND filter, UINT min, UINT max, bool remove, std::function<void()>* closure);
    bool next_paint(MSG* out, HWND filter);
    bool next_timer(MSG* out, HWND filter, bool remove);
    std::optional<std::uint64_t> next_timer_due() const;
    Window* find_paint_candidate(Window* w, HWND filter) const;

    UserState& user_;
    Backend& backend_;
    std::mutex posted_mutex_;
    std::deque<Posted> posted_;
    const MSG* delivering_posted_ = nullptr;
    bool quit_posted_ = false;
    int quit_code_ = 0;
    std::vector<Timer> timers_;
};

}  // namespace zv
