// A log of the messages windows receive, compared against a table of what Win32 would deliver,
// in the manner of Wine's user32 message tests. A failed comparison prints both sequences side by
// side with the first difference marked.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zv::test {

enum MsgFlags : unsigned {
    sent = 0x1,       // through SendMessage or a direct call of the procedure
    posted = 0x2,     // taken from the queue (posted, input, paint, timer) and dispatched
    wparam = 0x4,     // wParam must match
    lparam = 0x8,     // lParam must match; otherwise any lParam will do
    optional = 0x10,  // may be missing
};

// One expected entry. With neither `sent` nor `posted` either way of delivery will do.
struct Msg {
    UINT message = 0;
    unsigned flags = sent;
    WPARAM wp = 0;
    LPARAM lp = 0;
    HWND hwnd = nullptr;  // in a table of several windows: whose entry it is
};

struct Logged {
    HWND hwnd;
    UINT message;
    WPARAM wp;
    LPARAM lp;
    bool posted;
};

class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    // A window class whose procedure logs, then lets `react` answer, then DefWindowProc.
    ATOM register_class(LPCWSTR name = u"Logged");
    // Logs what an existing window (a control, a dialog, the program's own) receives from now on.
    void watch(HWND h);
    // A dialog procedure that logs what the dialog's procedure is given (WM_INITDIALOG too),
    // then lets `react` answer; FALSE otherwise.
    static INT_PTR CALLBACK dialog_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    // Runs for every logged message before the window's own handling; an answer ends it there.
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> react;

    void name(HWND h, std::string label) { names_[h] = std::move(label); }
    // Both filter what is logged already too.
    void ignore(std::initializer_list<UINT> messages)
    {
        ignored_.insert(messages);
        prune();
    }
    void only(std::initializer_list<UINT> messages)
    {
        only_ = std::set<UINT>(messages);
        prune();
    }
    void clear() { log_.clear(); }

    const std::vector<Logged>& all() const { return log_; }
    std::vector<Logged> of(HWND h) const;
    std::vector<UINT> messages(HWND h) const;  // one window's messages, in order

    // The log (one window's entries, or every window's with `h` null) against `expected`;
    // clears the log either way, so the next step of a test starts afresh.
    ::testing::AssertionResult matches(HWND h, const std::vector<Msg>& expected);

private:
    static LRESULT CALLBACK class_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK watch_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    std::optional<LRESULT> log_and_react(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    bool wanted(UINT msg) const { return !ignored_.contains(msg) && (!only_ || only_->contains(msg)); }
    void prune()
    {
        std::erase_if(log_, [this](const Logged& l) { return !wanted(l.message); });
    }
    std::string window_name(HWND h) const;
    std::string describe(const Logged& l) const;
    std::string describe(const Msg& m) const;

    std::vector<Logged> log_;
    std::map<HWND, WNDPROC> watched_;
    std::map<HWND, std::string> names_;
    std::set<UINT> ignored_;
    std::optional<std::set<UINT>> only_;
};

// The name of a message for a failure report ("WM_SETFOCUS"), or its number in hex.
std::string message_name(UINT message);

}  // namespace zv::test

// EXPECT_SEQUENCE(log, hwnd, {{WM_CREATE}, {WM_SHOWWINDOW, sent | wparam, TRUE}, ...});
#define EXPECT_SEQUENCE(log, hwnd, ...) EXPECT_TRUE((log).matches((hwnd), __VA_ARGS__))
