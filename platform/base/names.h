// Win32 compares class, resource, face and library names without regard to case; only ASCII
// letters fold, as the system's own tables do.
#pragma once
#include <algorithm>
#include <string_view>

namespace zv {

inline bool names_equal(std::u16string_view a, std::u16string_view b)
{
    auto fold = [](char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; };
    return std::ranges::equal(a, b, [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

}  // namespace zv
