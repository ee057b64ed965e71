// BitBlt and StretchBlt (source copy only).
#include <cstring>

#include "gdi/gdi_internal.h"
#include "gdi/scaler.h"

namespace {

struct BlitEnds {
    zv::DeviceContext* dst = nullptr;
    zv::DeviceContext* src = nullptr;
};

BlitEnds lookup(HDC dest, HDC src)
{
    zv::GdiState* st = zv::GdiState::current();
    if (!st) return {};
    return {st->dc(dest), st->dc(src)};
}

// Plain copy in surface coordinates; handles a source and destination on one surface.
void copy_pixels(zv::Surface& dst, RECT d, const zv::Surface& src, POINT s)
{
    const auto w = static_cast<std::size_t>(d.right - d.left);
    const bool upward = &dst == &src && d.top > s.y;
    const LONG h = d.bottom - d.top;
    for (LONG i = 0; i < h; ++i) {
        const LONG k = upward ? h - 1 - i : i;
        std::memmove(dst.row(d.top + k) + d.left, src.row(s.y + k) + s.x, w * sizeof(std::uint32_t));
    }
}

// Shrinking a picture still held as a JPEG: decoded at the smallest DCT scale that covers the
// destination, then area-averaged from there. False when only its own size would do.
bool stretch_reduced(zv::Surface& dst, zv::DeferredJpeg& picture, const zv::StretchParams& p)
{
    const zv::JpegGeometry& g = picture.geometry();
    const unsigned eighths =
        zv::stretch_eighths(g, p.src_rect, p.dst_rect.right - p.dst_rect.left, p.dst_rect.bottom - p.dst_rect.top);
    if (eighths >= g.full_eighths) return false;
    const std::shared_ptr<const zv::Surface> reduced = picture.decode_reduced(eighths);
    if (!reduced) return false;
    zv::StretchParams q = p;
    q.src_rect = zv::scale_rect(g, eighths, p.src_rect);
    q.src_valid = zv::scale_rect(g, eighths, p.src_valid);
    if (!zv::rect_empty(q.src_rect) && !zv::rect_empty(q.src_valid)) zv::stretch_copy(dst, *reduced, q);
    return true;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y, DWORD rop)
{
    BlitEnds e = lookup(dest, src);
    if (!e.dst || !e.src || rop != SRCCOPY) return FALSE;
    zv::Surface* ds = e.dst->surface();
    zv::Surface* ss = e.src->surface();
    if (!ds || !ss || width <= 0 || height <= 0) return TRUE;

    RECT d = e.dst->to_device(
        RECT{x, y, zv::clamp_coord(std::int64_t{x} + width), zv::clamp_coord(std::int64_t{y} + height)});
    const POINT s0 = e.src->to_device(src_x, src_y);
    const LONG ox = s0.x - d.left, oy = s0.y - d.top;  // source = destination + (ox, oy)
    // Only what exists in the source is copied; the rest of the destination stays as it was.
    const RECT src_area = zv::rect_offset(e.src->device_clip(), -ox, -oy);
    d = zv::rect_intersect(zv::rect_intersect(d, e.dst->device_clip()), src_area);
    if (zv::rect_empty(d)) return TRUE;
    const POINT s{d.left + ox, d.top + oy};
    copy_pixels(*ds, d, *ss, s);
    return TRUE;
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y, int src_width,
                int src_height, DWORD rop)
{
    BlitEnds e = lookup(dest, src);
    if (!e.dst || !e.src || rop != SRCCOPY) return FALSE;
    if (width == 0 || height == 0 || src_width == 0 || src_height == 0) return TRUE;
    if (width == src_width && height == src_height && width > 0 && height > 0)
        return BitBlt(dest, x, y, width, height, src, src_x, src_y, rop);
    zv::Surface* ds = e.dst->surface();
    if (!ds) return TRUE;
    // Asked after the destination, which may be the same bitmap and is decoded by then.
    zv::DeferredJpeg* compressed = e.src->still_compressed();

    // A negative extent on one side only mirrors the picture.
    auto span = [](int a, int len) {
        const std::int64_t b = std::int64_t{a} + len;
        return len > 0 ? std::pair{zv::clamp_coord(a), zv::clamp_coord(b)}
                       : std::pair{zv::clamp_coord(b), zv::clamp_coord(a)};
    };
    auto [dl, dr] = span(x, width);
    auto [dt, db] = span(y, height);
    auto [sl, sr] = span(src_x, src_width);
    auto [st, sb] = span(src_y, src_height);
    zv::StretchParams p;
    p.dst_rect = e.dst->to_device(RECT{dl, dt, dr, db});
    p.dst_clip = e.dst->device_clip();
    p.src_rect = e.src->to_device(RECT{sl, st, sr, sb});
    // A memory DC's clip is its bitmap, whose size a compressed picture knows without decoding.
    const RECT src_clip = compressed ? RECT{0, 0, compressed->width(), compressed->height()} : e.src->device_clip();
    p.src_valid = zv::rect_intersect(p.src_rect, src_clip);
    p.flip_x = (width < 0) != (src_width < 0);
    p.flip_y = (height < 0) != (src_height < 0);
    if (zv::rect_empty(p.src_valid) || zv::rect_empty(p.dst_rect) || zv::rect_empty(p.src_rect)) return TRUE;
    if (compressed && stretch_reduced(*ds, *compressed, p)) return TRUE;
    zv::Surface* ss = e.src->surface();  // a compressed picture is decoded at its own size here
    if (!ss) return TRUE;
    zv::stretch_copy(*ds, *ss, p);
    return TRUE;
}
