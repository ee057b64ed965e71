// The headless backend: no window; the composed screen is kept as pixels, input is injected and
// time is virtual. The program runs on its own user-interface thread while a test drives it:
// the test injects input or advances the clock, then waits until the program is idle (blocked
// with nothing to do), and reads the screen or the program's state.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "base/backend.h"
#include "gdi/surface.h"

namespace zv {

class VirtualClock final : public Clock {
public:
    std::uint64_t now_ms() const override { return now_.load(); }
    void set(std::uint64_t t) { now_.store(t); }

private:
    std::atomic<std::uint64_t> now_{1000};
};

class HeadlessBackend final : public Backend {
public:
    HeadlessBackend() = default;

    const Clock& clock() const override { return clock_; }
    void wait(std::optional<std::uint64_t> deadline_ms, std::vector<InputEvent>& out) override;
    void poll(std::vector<InputEvent>& out) override;
    void wake() override;
    void present(const Surface& screen, bool display_on) override;
    void set_title(const std::u16string& title) override;
    void set_icon(int, int, const std::vector<std::uint32_t>&) override {}
    void raise() override;
    void inhibit_screen_saver() override {}
    void finished() override;

    // Test side (any thread).
    void push_input(const InputEvent& ev);
    // The display reports that it now stands in landscape (or portrait), as a compositor does
    // when a phone or tablet is turned.
    void report_orientation(bool landscape);
    void advance(std::uint64_t ms);
    // Waits until the program is blocked with nothing to do at the current target time, or has
    // finished. False on timeout (a hung program).
    bool wait_idle(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool has_finished() const;
    Surface screen() const;
    bool display_on() const;
    std::u16string title() const;
    int raise_count() const;
    int present_count() const;  // how often the composed screen was presented
    // Waits until the window has been raised `count` times in all; false on timeout.
    bool wait_raised(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    mutable std::mutex mutex_;
    std::condition_variable ui_cv_;
    std::condition_variable test_cv_;
    VirtualClock clock_;
    std::uint64_t target_ = 1000;
    int presents_ = 0;
    std::deque<InputEvent> input_;
    bool woken_ = false;
    bool idle_ = false;
    bool finished_ = false;
    Surface screen_;
    bool display_on_ = true;
    std::u16string title_;
    int raises_ = 0;
};

}  // namespace zv
