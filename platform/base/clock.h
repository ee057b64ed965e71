// Milliseconds since the platform started: the real monotonic clock in the program, a virtual
// clock (advanced by the test) in headless runs.
#pragma once
#include <chrono>
#include <cstdint>

namespace zv {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t now_ms() const = 0;
};

class MonotonicClock final : public Clock {
public:
    std::uint64_t now_ms() const override
    {
        auto d = std::chrono::steady_clock::now() - start_;
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace zv
