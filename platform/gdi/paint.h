// Pixel-level painting in surface coordinates; callers pass an already clipped clip rect.
#pragma once
#include <cstdint>

#include "gdi/pixel_ops.h"
#include "gdi/rect_math.h"
#include "gdi/surface.h"

namespace zv {

inline void fill_device(Surface& s, const RECT& clip, const RECT& r, std::uint32_t px)
{
    const RECT c = rect_intersect(rect_intersect(clip, r), s.bounds());
    if (rect_empty(c)) return;
    const auto n = static_cast<std::size_t>(c.right - c.left);
    for (LONG y = c.top; y < c.bottom; ++y) fill_pixels(s.row(y) + c.left, n, px);
}

}  // namespace zv
