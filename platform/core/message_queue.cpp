// The message queue: sent and posted messages, the GetMessage loop that generates WM_PAINT and
// WM_TIMER as Win32 does, modal loops, quit, and timers.
#include "core/message_queue.h"

#include <algorithm>

#include "core/user_state.h"

namespace zv {

std::uint64_t MessageQueue::now() const { return backend_.clock().now_ms(); }

LRESULT MessageQueue::send(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    Window* w = user_.windows().live_window(h);
    if (!w) {
        // WM_DESTROY and WM_NCDESTROY reach a window being torn down through destroy_tree.
        return 0;
    }
    WNDPROC proc = w->proc;
    if (!proc) return 0;
    const MSG* outer = delivering_posted_;
    delivering_posted_ = nullptr;
    LRESULT r = CallWindowProcW(proc, h, msg, wp, lp);
    delivering_posted_ = outer;
    return r;
}

bool MessageQueue::post(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    {
        std::lock_guard lock(posted_mutex_);
        Posted p;
        p.msg.hwnd = h;
        p.msg.message = msg;
        p.msg.wParam = wp;
        p.msg.lParam = lp;
        p.msg.time = static_cast<DWORD>(now());
        posted_.push_back(std::move(p));
    }
    backend_.wake();
    return true;
}

void MessageQueue::post_closure(std::function<void()> fn)
{
    {
        std::lock_guard lock(posted_mutex_);
        Posted p;
        p.closure = std::move(fn);
        posted_.push_back(std::move(p));
    }
    backend_.wake();
}

void MessageQueue::post_quit(int code)
{
    quit_posted_ = true;
    quit_code_ = code;
    backend_.wake();
}

bool MessageQueue::pop_posted(MSG* out, HWND filter, UINT min, UINT max, bool remove, std::function<void()>* closure)
{
    std::lock_guard lock(posted_mutex_);
    for (auto it = posted_.begin(); it != posted_.end(); ++it) {
        if (it->closure) {
            // Closures are not window messages; they run whatever the filter.
            if (closure) {
                *closure = std::move(it->closure);
                posted_.erase(it);
                return true;
            }
            continue;
        }
        if (filter && it->msg.hwnd != filter) continue;
        if ((min || max) && (it->msg.message < min || it->msg.message > max)) continue;
        *out = it->msg;
        if (remove) posted_.erase(it);
        return true;
    }
    return false;
}

Window* MessageQueue::find_paint_candidate(Window* w, HWND filter) const
{
    if (!w->visible() || w->destroyed) return nullptr;
    if ((!filter || filter == w->handle) &&
        !(w->invalid.right <= w->invalid.left || w->invalid.bottom <= w->invalid.top))
        return w;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it)
        if (Window* c = user_.windows().live_window(*it))
            if (Window* f = find_paint_candidate(c, filter)) return f;
    return nullptr;
}

bool MessageQueue::next_paint(MSG* out, HWND filter)
{
    const std::vector<HWND>& tops = user_.windows().top_levels();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window* t = user_.windows().live_window(*it);
        if (!t) continue;
        if (Window* w = find_paint_candidate(t, filter)) {
            *out = MSG{w->handle, WM_PAINT, 0, 0, static_cast<DWORD>(now()), {}};
            return true;
        }
    }
    return false;
}

std::optional<std::uint64_t> MessageQueue::next_timer_due() const
{
    std::optional<std::uint64_t> due;
    for (const Timer& t : timers_)
        if (!due || t.due < *due) due = t.due;
    return due;
}

bool MessageQueue::next_timer(MSG* out, HWND filter, bool remove)
{
    std::uint64_t t_now = now();
    Timer* best = nullptr;
    for (Timer& t : timers_) {
        if (t.due > t_now) continue;
        if (filter && t.hwnd != filter) continue;
        if (!best || t.due < best->due) best = &t;
    }
    if (!best) return false;
    *out = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), static_cast<DWORD>(t_now), {}};
    if (remove) best->due = t_now + std::max<UINT>(best->period, 1);
    return true;
}

bool MessageQueue::get_message(MSG* msg, HWND filter, UINT min, UINT max, bool wait, bool remove)
{
    if (on_turn_end) on_turn_end();
    std::vector<InputEvent> events;
    for (;;) {
        events.clear();
        backend_.poll(events);
        for (const InputEvent& e : events) user_.input().handle_input(e);

        std::function<void()> closure;
        if (pop_posted(msg, filter, min, max, remove, &closure)) {
            if (closure) {
                closure();
                if (on_turn_end) on_turn_end();
                continue;
            }
            if (remove && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP))
                user_.input().note_key_message(*msg);
            return true;
        }
        if (quit_posted_) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quit_code_), 0, static_cast<DWORD>(now()), {}};
            if (remove) quit_posted_ = false;
            return true;
        }
        bool want_paint = (!min && !max) || (min <= WM_PAINT && WM_PAINT <= max);
        if (want_paint && next_paint(msg, filter)) return true;
        bool want_timer = (!min && !max) || (min <= WM_TIMER && WM_TIMER <= max);
        if (want_timer && next_timer(msg, filter, remove)) return true;

        if (user_.screen().dirty()) user_.screen().compose_and_present();
        if (!wait) return false;
        events.clear();
        backend_.wait(next_timer_due(), events);
        for (const InputEvent& e : events) user_.input().handle_input(e);
    }
}

LRESULT MessageQueue::dispatch(const MSG* msg)
{
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(now()));
        return 0;
    }
    if (!msg->hwnd) return 0;
    Window* w = user_.windows().live_window(msg->hwnd);
    if (!w || !w->proc) return 0;
    const MSG* outer = delivering_posted_;
    delivering_posted_ = msg;
    LRESULT r = CallWindowProcW(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
    delivering_posted_ = outer;
    if (msg->message == WM_PAINT) {
        // A window procedure that ignores WM_PAINT must not make the loop spin on it.
        if (Window* still = user_.windows().live_window(msg->hwnd)) user_.screen().validate(still, nullptr);
    }
    return r;
}

void MessageQueue::run_modal(const std::function<bool()>& done, const std::function<bool(MSG&)>& pretranslate)
{
    MSG msg;
    while (!done()) {
        if (quit_posted_) return;  // the quit message ends every modal loop and stays posted
        get_message(&msg, nullptr, 0, 0, true, true);
        if (msg.message == WM_QUIT) {
            quit_posted_ = true;
            return;
        }
        if (pretranslate && pretranslate(msg)) continue;
        TranslateMessage(&msg);
        dispatch(&msg);
    }
}

UINT_PTR MessageQueue::set_timer(HWND h, UINT_PTR id, UINT period, TIMERPROC proc)
{
    if (h && !user_.windows().live_window(h)) return 0;
    std::uint64_t due = now() + std::max<UINT>(period, 1);
    for (Timer& t : timers_) {
        if (t.hwnd == h && t.id == id) {
            t.period = period;
            t.due = due;
            t.proc = proc;
            return h ? 1 : id;
        }
    }
    if (!h && id == 0) {
        id = 1;
        while (std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) { return !t.hwnd && t.id == id; })) ++id;
    }
    timers_.push_back(Timer{h, id, period, due, proc});
    return h ? 1 : id;
}

bool MessageQueue::kill_timer(HWND h, UINT_PTR id)
{
    auto n = std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == h && t.id == id; });
    // A WM_TIMER already generated for it is not queued (timers are generated on demand), so
    // nothing more arrives after the kill.
    return n > 0;
}

void MessageQueue::forget_windows(std::span<const HWND> doomed)
{
    const auto gone = [&](HWND h) { return h && std::find(doomed.begin(), doomed.end(), h) != doomed.end(); };
    std::erase_if(timers_, [&](const Timer& t) { return gone(t.hwnd); });
    std::lock_guard lock(posted_mutex_);
    std::erase_if(posted_, [&](const Posted& p) { return gone(p.msg.hwnd); });
}

}  // namespace zv
