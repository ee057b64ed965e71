// What the rest of the platform uses of GDI: surfaces, bitmaps made from decoded pixels, DCs
// onto window surfaces and PNG output.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gdi/gdi_state.h"
#include "gdi/surface.h"
#include "wingdi.h"

namespace zv {

// Largest bitmap accepted anywhere (per side and in total), so a bad size fails cleanly.
inline constexpr int kMaxBitmapSide = 32767;
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{64} * 1024 * 1024;

inline bool bitmap_size_ok(std::int64_t w, std::int64_t h)
{
    return w > 0 && h > 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide && w * h <= kMaxBitmapPixels;
}

// A new bitmap holding a copy of `xrgb_topdown` (w*h pixels, 0x00RRGGBB); null when the size is
// bad, the span too short or there is no GDI state.
HBITMAP create_bitmap_from_pixels(int w, int h, std::span<const std::uint32_t> xrgb_topdown);

// Same, taking the pixels without copying.
HBITMAP create_bitmap_from_surface(std::shared_ptr<Surface> surface);

// A new bitmap from a picture file's bytes (JPEG or PNG, told apart by content); null when they
// are not a picture we show. A JPEG is checked (header, size, an end to its data) and kept
// compressed: only the first use of its pixels decodes it, and a shrinking StretchBlt decodes
// it no larger than the destination needs.
HBITMAP create_bitmap_from_picture(std::vector<std::uint8_t> bytes);

// The pixels of a bitmap, shared (decoded first if still compressed); null for anything that is
// not a live bitmap.
std::shared_ptr<Surface> bitmap_surface(HBITMAP bitmap);

// A DC drawing onto `target` (a window's surface): logical (0,0) lands at `device_origin`, and
// nothing is drawn outside `device_clip` (surface coordinates). DeleteDC releases it.
HDC create_surface_dc(std::shared_ptr<Surface> target, POINT device_origin, RECT device_clip);

// Writes the surface as an 8-bit RGB PNG; false on any failure.
bool write_png(const Surface& surface, const std::string& path);

}  // namespace zv
