// DC attributes: viewport origin, clip box, colours, background mode, capabilities.
#include "gdi/gdi_internal.h"

namespace {
zv::DeviceContext* dc_of(HDC hdc)
{
    zv::GdiState* st = zv::GdiState::current();
    return st ? st->dc(hdc) : nullptr;
}
}  // namespace

int GetDeviceCaps(HDC hdc, int index)
{
    zv::DeviceContext* dc = dc_of(hdc);
    if (!dc) return 0;
    const zv::Surface* s = dc->surface();
    switch (index) {
        case BITSPIXEL: return 32;
        case PLANES: return 1;
        case LOGPIXELSX:
        case LOGPIXELSY: return 96;
        case HORZRES: return s ? s->width() : 0;
        case VERTRES: return s ? s->height() : 0;
        default: return 0;
    }
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous)
{
    zv::DeviceContext* dc = dc_of(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->viewport;
    dc->viewport = POINT{zv::clamp_coord(x), zv::clamp_coord(y)};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, LPPOINT origin)
{
    zv::DeviceContext* dc = dc_of(hdc);
    if (!dc || !origin) return FALSE;
    *origin = dc->viewport;
    return TRUE;
}

int GetClipBox(HDC hdc, LPRECT rect)
{
    zv::DeviceContext* dc = dc_of(hdc);
    if (!dc || !rect) return ERROR;
    const RECT clip = dc->device_clip();
    if (zv::rect_empty(clip)) {
        *rect = RECT{0, 0, 0, 0};
        return NULLREGION;
    }
    *rect = zv::rect_offset(clip, -dc->dx(), -dc->dy());
    return SIMPLEREGION;
}

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    zv::DeviceContext* dc = dc_of(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF prev = dc->text_color;
    dc->text_color = color & 0x00FFFFFFu;
    return prev;
}

COLORREF GetTextColor(HDC hdc)
{
    zv::DeviceContext* dc = dc_of(hdc);
    return dc ? dc->text_color : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    zv::DeviceContext* dc = dc_of(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF prev = dc->bk_color;
    dc->bk_color = color & 0x00FFFFFFu;
    return prev;
}

COLORREF GetBkColor(HDC hdc)
{
    zv::DeviceContext* dc = dc_of(hdc);
    return dc ? dc->bk_color : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode)
{
    zv::DeviceContext* dc = dc_of(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int prev = dc->bk_mode;
    dc->bk_mode = mode;
    return prev;
}

int GetBkMode(HDC hdc)
{
    zv::DeviceContext* dc = dc_of(hdc);
    return dc ? dc->bk_mode : 0;
}
