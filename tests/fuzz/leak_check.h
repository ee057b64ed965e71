// What one fuzz input may not leave behind: GDI objects and file descriptors. A difference aborts,
// so libFuzzer reports the input as a finding instead of the process slowly growing.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <utility>

#include "gdi/gdi_state.h"

namespace zv::fuzz {

inline std::pair<std::size_t, long> holdings()
{
    return {GdiState::current()->object_count(),
            std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {})};
}

struct LeakCheck {
    std::pair<std::size_t, long> before = holdings();
    ~LeakCheck()
    {
        const auto after = holdings();
        if (after == before) return;
        std::fprintf(stderr, "leak: GDI objects %zu -> %zu, descriptors %ld -> %ld\n", before.first, after.first,
                     before.second, after.second);
        std::abort();
    }
};

}  // namespace zv::fuzz
