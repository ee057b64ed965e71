#include "support/message_log.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "core/user_state.h"

namespace zv::test {
namespace {

MessageLog* g_log = nullptr;  // the one log of the running test

bool delivered_from_queue(HWND h, UINT msg)
{
    UserState* user = UserState::current();
    const MSG* queued = user ? user->queue().delivering_posted() : nullptr;
    return queued && queued->hwnd == h && queued->message == msg;
}

}  // namespace

std::string message_name(UINT message)
{
#define ZV_NAME(m) \
    case m: return #m;
    // clang-format off
    switch (message) {
        ZV_NAME(WM_NULL) ZV_NAME(WM_CREATE) ZV_NAME(WM_DESTROY) ZV_NAME(WM_MOVE) ZV_NAME(WM_SIZE) ZV_NAME(WM_ACTIVATE)
        ZV_NAME(WM_SETFOCUS) ZV_NAME(WM_KILLFOCUS) ZV_NAME(WM_ENABLE) ZV_NAME(WM_SETTEXT) ZV_NAME(WM_GETTEXT)
        ZV_NAME(WM_GETTEXTLENGTH) ZV_NAME(WM_PAINT) ZV_NAME(WM_CLOSE) ZV_NAME(WM_QUIT) ZV_NAME(WM_ERASEBKGND)
        ZV_NAME(WM_SHOWWINDOW) ZV_NAME(WM_SETTINGCHANGE) ZV_NAME(WM_DRAWITEM) ZV_NAME(WM_MEASUREITEM)
        ZV_NAME(WM_SETFONT) ZV_NAME(WM_GETFONT) ZV_NAME(WM_WINDOWPOSCHANGED) ZV_NAME(WM_NOTIFY) ZV_NAME(WM_NCDESTROY)
        ZV_NAME(WM_KEYDOWN) ZV_NAME(WM_KEYUP) ZV_NAME(WM_CHAR) ZV_NAME(WM_SYSKEYDOWN) ZV_NAME(WM_SYSKEYUP)
        ZV_NAME(WM_INITDIALOG) ZV_NAME(WM_COMMAND) ZV_NAME(WM_TIMER) ZV_NAME(WM_CTLCOLOREDIT)
        ZV_NAME(WM_CTLCOLORLISTBOX) ZV_NAME(WM_CTLCOLORBTN) ZV_NAME(WM_CTLCOLORDLG) ZV_NAME(WM_CTLCOLORSTATIC)
        ZV_NAME(WM_MOUSEMOVE) ZV_NAME(WM_LBUTTONDOWN) ZV_NAME(WM_LBUTTONUP) ZV_NAME(WM_LBUTTONDBLCLK)
        ZV_NAME(WM_CAPTURECHANGED) ZV_NAME(WM_HOTKEY) ZV_NAME(WM_APPCOMMAND) ZV_NAME(WM_USER)
    }
    // clang-format on
#undef ZV_NAME
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04x", message);
    return buf;
}

MessageLog::MessageLog() { g_log = this; }

MessageLog::~MessageLog()
{
    if (g_log == this) g_log = nullptr;
}

ATOM MessageLog::register_class(LPCWSTR name)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = class_proc;
    wc.lpszClassName = name;
    return RegisterClassW(&wc);
}

void MessageLog::watch(HWND h)
{
    if (watched_.contains(h)) return;
    watched_[h] = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(h, GWL_WNDPROC));
    SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(watch_proc));
}

std::optional<LRESULT> MessageLog::log_and_react(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (wanted(msg)) log_.push_back({h, msg, wp, lp, delivered_from_queue(h, msg)});
    return react ? react(h, msg, wp, lp) : std::nullopt;
}

LRESULT CALLBACK MessageLog::class_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (g_log)
        if (auto answer = g_log->log_and_react(h, msg, wp, lp)) return *answer;
    return DefWindowProcW(h, msg, wp, lp);
}

INT_PTR CALLBACK MessageLog::dialog_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    const auto answer = g_log ? g_log->log_and_react(h, msg, wp, lp) : std::nullopt;
    return answer ? *answer : FALSE;
}

LRESULT CALLBACK MessageLog::watch_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (!g_log) return DefWindowProcW(h, msg, wp, lp);
    const auto it = g_log->watched_.find(h);
    const WNDPROC next = it == g_log->watched_.end() ? DefWindowProcW : it->second;
    if (msg == WM_NCDESTROY) g_log->watched_.erase(h);  // the handle may come back for another window
    if (auto answer = g_log->log_and_react(h, msg, wp, lp)) return *answer;
    return CallWindowProcW(next, h, msg, wp, lp);
}

std::vector<Logged> MessageLog::of(HWND h) const
{
    std::vector<Logged> out;
    std::ranges::copy_if(log_, std::back_inserter(out), [h](const Logged& l) { return l.hwnd == h; });
    return out;
}

std::vector<UINT> MessageLog::messages(HWND h) const
{
    std::vector<UINT> out;
    for (const Logged& l : of(h)) out.push_back(l.message);
    return out;
}

std::string MessageLog::window_name(HWND h) const
{
    const auto name = names_.find(h);
    if (name != names_.end()) return name->second;
    std::ostringstream s;
    s << "window " << std::hex << reinterpret_cast<std::uintptr_t>(h);
    return s.str();
}

std::string MessageLog::describe(const Logged& l) const
{
    std::ostringstream s;
    s << window_name(l.hwnd) << ": " << message_name(l.message) << (l.posted ? " posted" : " sent") << " wp=" << l.wp
      << " lp=" << l.lp;
    return s.str();
}

std::string MessageLog::describe(const Msg& m) const
{
    std::ostringstream s;
    if (m.hwnd) s << window_name(m.hwnd) << ": ";
    s << message_name(m.message);
    if (m.flags & sent) s << " sent";
    if (m.flags & posted) s << " posted";
    if (m.flags & wparam) s << " wp=" << m.wp;
    if (m.flags & lparam) s << " lp=" << m.lp;
    if (m.flags & optional) s << " (optional)";
    return s.str();
}

::testing::AssertionResult MessageLog::matches(HWND h, const std::vector<Msg>& expected)
{
    const std::vector<Logged> got = h ? of(h) : log_;
    log_.clear();
    // Walk both; an optional entry that does not match is passed over. Rows pair what was
    // compared, so the report shows where the two part.
    std::vector<std::pair<std::string, std::string>> rows;
    std::size_t e = 0, g = 0;
    std::optional<std::size_t> first_bad;
    auto fits = [](const Msg& m, const Logged& l) {
        if (m.message != l.message || (m.hwnd && m.hwnd != l.hwnd)) return false;
        if ((m.flags & sent) && l.posted) return false;
        if ((m.flags & posted) && !l.posted) return false;
        if ((m.flags & wparam) && m.wp != l.wp) return false;
        return !(m.flags & lparam) || m.lp == l.lp;
    };
    while (e < expected.size() || g < got.size()) {
        if (e < expected.size() && g < got.size() && fits(expected[e], got[g])) {
            rows.emplace_back(describe(expected[e++]), describe(got[g++]));
        } else if (e < expected.size() && (expected[e].flags & optional)) {
            rows.emplace_back(describe(expected[e++]), "");
        } else {
            if (!first_bad) first_bad = rows.size();
            rows.emplace_back(e < expected.size() ? describe(expected[e++]) : "",
                              g < got.size() ? describe(got[g++]) : "");
        }
    }
    if (!first_bad) return ::testing::AssertionSuccess();
    std::size_t width = 8;
    for (const auto& r : rows) width = std::max(width, r.first.size());
    std::ostringstream out;
    out << "message sequence differs\n  " << std::string("expected").append(width - 8, ' ') << " | logged\n";
    for (std::size_t i = 0; i < rows.size(); ++i)
        out << (i == *first_bad ? "> " : "  ") << rows[i].first << std::string(width - rows[i].first.size(), ' ')
            << " | " << rows[i].second << "\n";
    return ::testing::AssertionFailure() << out.str();
}

}  // namespace zv::test
