#include "backend/headless_backend.h"

namespace zv {

void HeadlessBackend::wait(std::optional<std::uint64_t> deadline, std::vector<InputEvent>& out)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!input_.empty()) {
            out.insert(out.end(), input_.begin(), input_.end());
            input_.clear();
            return;
        }
        if (woken_) {
            woken_ = false;
            return;
        }
        // Time moves only as far as the test allowed, one due timer at a time.
        if (deadline && *deadline <= target_) {
            if (*deadline > clock_.now_ms()) clock_.set(*deadline);
            return;
        }
        clock_.set(target_);
        idle_ = true;
        test_cv_.notify_all();
        ui_cv_.wait(lock);
        idle_ = false;
    }
}

void HeadlessBackend::poll(std::vector<InputEvent>& out)
{
    std::lock_guard lock(mutex_);
    out.insert(out.end(), input_.begin(), input_.end());
    input_.clear();
}

void HeadlessBackend::wake()
{
    std::lock_guard lock(mutex_);
    woken_ = true;
    idle_ = false;
    ui_cv_.notify_all();
}

void HeadlessBackend::present(const Surface& screen, bool display_on)
{
    std::lock_guard lock(mutex_);
    screen_ = screen;
    display_on_ = display_on;
    ++presents_;
}

int HeadlessBackend::present_count() const
{
    std::lock_guard lock(mutex_);
    return presents_;
}

void HeadlessBackend::set_title(const std::u16string& title)
{
    std::lock_guard lock(mutex_);
    title_ = title;
}

void HeadlessBackend::raise()
{
    std::lock_guard lock(mutex_);
    ++raises_;
    test_cv_.notify_all();
}

bool HeadlessBackend::wait_raised(int count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return test_cv_.wait_for(lock, timeout, [&] { return raises_ >= count; });
}

void HeadlessBackend::finished()
{
    std::lock_guard lock(mutex_);
    finished_ = true;
    test_cv_.notify_all();
}

void HeadlessBackend::push_input(const InputEvent& ev)
{
    std::lock_guard lock(mutex_);
    input_.push_back(ev);
    idle_ = false;
    ui_cv_.notify_all();
}

void HeadlessBackend::report_orientation(bool landscape)
{
    push_input({.type = InputEvent::Type::Orientation, .landscape = landscape});
}

void HeadlessBackend::advance(std::uint64_t ms)
{
    std::lock_guard lock(mutex_);
    target_ += ms;
    idle_ = false;
    ui_cv_.notify_all();
}

bool HeadlessBackend::wait_idle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return test_cv_.wait_for(
        lock, timeout, [&] { return finished_ || (idle_ && input_.empty() && !woken_ && clock_.now_ms() == target_); });
}

bool HeadlessBackend::has_finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

Surface HeadlessBackend::screen() const
{
    std::lock_guard lock(mutex_);
    return screen_;
}

bool HeadlessBackend::display_on() const
{
    std::lock_guard lock(mutex_);
    return display_on_;
}

std::u16string HeadlessBackend::title() const
{
    std::lock_guard lock(mutex_);
    return title_;
}

int HeadlessBackend::raise_count() const
{
    std::lock_guard lock(mutex_);
    return raises_;
}

}  // namespace zv
