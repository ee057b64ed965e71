// The current-instance rule: the newest live instance is current, a nested one hands back to the
// outer, and destruction out of order never leaves a destroyed instance current.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "base/current_instance.h"

namespace zv::test {
namespace {

struct Part {
    CurrentInstance<Part> current_{this};
};

Part* current() { return CurrentInstance<Part>::get(); }

TEST(CurrentInstance, NestingHandsBackAndOutOfOrderDestructionUnlinks)
{
    // Nesting: the inner is current while it lives, then the outer again, then none.
    EXPECT_EQ(current(), nullptr);
    {
        Part outer;
        EXPECT_EQ(current(), &outer);
        {
            Part inner;
            EXPECT_EQ(current(), &inner);
            Part* seen = nullptr;
            std::thread([&] { seen = current(); }).join();
            EXPECT_EQ(seen, &inner) << "another thread reads the same instance";
        }
        EXPECT_EQ(current(), &outer);
    }
    EXPECT_EQ(current(), nullptr);

    // Out of order: a destroyed instance that is not current leaves current alone, and whoever it
    // sat between hands back past it.
    std::optional<Part> a, b, c;
    a.emplace();
    b.emplace();
    c.emplace();
    b.reset();
    EXPECT_EQ(current(), &*c) << "the middle one went";
    c.reset();
    EXPECT_EQ(current(), &*a) << "the newest hands back past the destroyed middle";
    b.emplace();
    a.reset();
    EXPECT_EQ(current(), &*b) << "the outer went first";
    b.reset();
    EXPECT_EQ(current(), nullptr) << "the inner hands back to none, not to the destroyed outer";
}

}  // namespace
}  // namespace zv::test
