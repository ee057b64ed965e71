// Small rectangle helpers used by the drawing code (the Win32 ones belong to the window manager).
#pragma once
#include <algorithm>

#include "windef.h"

namespace zv {

inline bool rect_empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

inline RECT rect_intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (rect_empty(r)) r = RECT{0, 0, 0, 0};
    return r;
}

inline RECT rect_offset(const RECT& r, LONG dx, LONG dy)
{
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace zv
