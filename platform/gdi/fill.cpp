// FillRect and Rectangle.
#include <algorithm>

#include "gdi/gdi_internal.h"
#include "gdi/paint.h"

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    zv::GdiState* st = zv::GdiState::current();
    if (!st || !rect) return 0;
    zv::DeviceContext* dc = st->dc(hdc);
    zv::BrushObject* b = st->get<zv::BrushObject>(brush);
    if (!dc || !b) return 0;
    if (b->null || !dc->surface()) return 1;
    zv::fill_device(*dc->surface(), dc->device_clip(), dc->to_device(*rect), zv::colorref_to_xrgb(b->color));
    return 1;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    zv::GdiState* st = zv::GdiState::current();
    zv::DeviceContext* dc = st ? st->dc(hdc) : nullptr;
    if (!dc) return FALSE;
    zv::Surface* s = dc->surface();
    if (!s) return TRUE;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    const RECT clip = dc->device_clip();
    RECT r = dc->to_device(RECT{left, top, right, bottom});
    const auto* pen = dc->pen->as<zv::PenObject>();
    const auto* brush = dc->brush->as<zv::BrushObject>();

    if (pen->style == PS_NULL) {
        // Without an outline Win32 fills one pixel less to the right and bottom.
        if (!brush->null)
            zv::fill_device(*s, clip, RECT{r.left, r.top, r.right - 1, r.bottom - 1},
                            zv::colorref_to_xrgb(brush->color));
        return TRUE;
    }
    // The outline lies inside the rectangle; right and bottom are exclusive.
    const LONG w = std::max(1, pen->width);
    if (!brush->null)
        zv::fill_device(*s, clip, RECT{r.left + w, r.top + w, r.right - w, r.bottom - w},
                        zv::colorref_to_xrgb(brush->color));
    const std::uint32_t px = zv::colorref_to_xrgb(pen->color);
    zv::fill_device(*s, clip, RECT{r.left, r.top, r.right, std::min(r.top + w, r.bottom)}, px);
    zv::fill_device(*s, clip, RECT{r.left, std::max(r.bottom - w, r.top), r.right, r.bottom}, px);
    zv::fill_device(*s, clip, RECT{r.left, r.top, std::min(r.left + w, r.right), r.bottom}, px);
    zv::fill_device(*s, clip, RECT{std::max(r.right - w, r.left), r.top, r.right, r.bottom}, px);
    return TRUE;
}
