// Resampling copy for StretchBlt: area average when shrinking (so a large cover stays smooth),
// bilinear when growing. Separable, fixed point.
#pragma once
#include "gdi/surface.h"

namespace zv {

struct StretchParams {
    RECT dst_rect;   // normalised (left < right), surface coordinates
    RECT dst_clip;   // where pixels may be written
    RECT src_rect;   // normalised, source surface coordinates
    RECT src_valid;  // the part of src_rect that may be read (non-empty)
    bool flip_x = false;
    bool flip_y = false;
};

void stretch_copy(Surface& dst, const Surface& src, const StretchParams& p);

}  // namespace zv
