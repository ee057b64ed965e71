// Blends a run of glyphs onto a surface in one colour.
#pragma once
#include <cstdint>
#include <string_view>

#include "gdi/surface.h"
#include "text/font_instance.h"

namespace zv {

// Pen starts at (x, baseline) in surface coordinates; nothing lands outside `clip`.
void paint_run(Surface& s, const RECT& clip, int x, int baseline, std::u32string_view run, FontInstance& font,
               std::uint32_t xrgb);

}  // namespace zv
