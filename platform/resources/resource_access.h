// What other parts of the platform read of loaded resources: the entries of an accelerator
// table (for TranslateAccelerator) and the pixels of an icon (for static controls and the
// desktop window's icon).
#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "windows.h"

namespace zv {

// The table's entries in order, end marker removed from fVirt; empty for a bad handle.
std::span<const ACCEL> accelerator_entries(HACCEL accel);

// Pixels are 0xAARRGGBB, straight alpha, top-down, width * height of them. The span stays
// valid until the icon is destroyed or the resource table goes away.
struct IconPixels {
    int width = 0;
    int height = 0;
    std::span<const std::uint32_t> argb;
};

// The image LoadIcon chose (32 x 32, most colours); null for a bad handle.
std::optional<IconPixels> icon_pixels(HICON icon);
// The group's largest 32-bit image (the largest image when there is none); null for a bad handle.
std::optional<IconPixels> icon_largest_pixels(HICON icon);

}  // namespace zv
