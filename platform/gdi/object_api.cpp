// Creation, selection, inspection and deletion of GDI objects and DCs.
#include <cstring>

#include "gdi/gdi_internal.h"
#include "gdi/image_decoders.h"

using zv::GdiObject;
using zv::GdiState;
using zv::GdiType;

namespace zv {

HBITMAP create_bitmap_from_surface(std::shared_ptr<Surface> surface)
{
    GdiState* st = GdiState::current();
    if (!st || !surface || !bitmap_size_ok(surface->width(), surface->height())) return nullptr;
    return to_handle<HBITMAP>(st->add(BitmapObject{std::move(surface), nullptr}));
}

HBITMAP create_bitmap_from_pixels(int w, int h, std::span<const std::uint32_t> xrgb_topdown)
{
    if (!bitmap_size_ok(w, h) || xrgb_topdown.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
        return nullptr;
    auto s = std::make_shared<Surface>(w, h);
    for (std::size_t i = 0; i < s->pixels().size(); ++i) s->pixels()[i] = xrgb_topdown[i] & 0x00FFFFFFu;
    return create_bitmap_from_surface(std::move(s));
}

HBITMAP create_bitmap_from_picture(std::vector<std::uint8_t> bytes)
{
    GdiState* st = GdiState::current();
    if (!st) return nullptr;
    if (sniff_picture(bytes) != PictureFormat::Jpeg) return create_bitmap_from_surface(decode_picture(bytes));
    const std::optional<JpegGeometry> geometry = read_jpeg_geometry(bytes);
    if (!geometry || !bitmap_size_ok(geometry->full().cx, geometry->full().cy)) return nullptr;
    auto surface = std::make_shared<Surface>();
    auto compressed = std::make_shared<DeferredJpeg>(std::move(bytes), *geometry, surface);
    return to_handle<HBITMAP>(st->add(BitmapObject{std::move(surface), std::move(compressed)}));
}

std::shared_ptr<Surface> bitmap_surface(HBITMAP bitmap)
{
    GdiState* st = GdiState::current();
    auto* b = st ? st->get<BitmapObject>(bitmap) : nullptr;
    return b ? b->pixels() : nullptr;
}

HDC create_surface_dc(std::shared_ptr<Surface> target, POINT device_origin, RECT device_clip)
{
    GdiState* st = GdiState::current();
    if (!st || !target) return nullptr;
    return st->add_dc(
        std::make_unique<DeviceContext>(DeviceContext::Kind::Surface, std::move(target), device_origin, device_clip));
}

}  // namespace zv

HDC CreateCompatibleDC(HDC hdc)
{
    GdiState* st = GdiState::current();
    if (!st || (hdc && !st->dc(hdc))) return nullptr;
    return st->add_dc(
        std::make_unique<zv::DeviceContext>(zv::DeviceContext::Kind::Memory, nullptr, POINT{0, 0}, RECT{0, 0, 0, 0}));
}

BOOL DeleteDC(HDC hdc)
{
    GdiState* st = GdiState::current();
    return st ? st->delete_dc(hdc) : FALSE;
}

HGDIOBJ GetStockObject(int index)
{
    GdiState* st = GdiState::current();
    return st ? st->stock_object(index) : nullptr;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    GdiState* st = GdiState::current();
    if (!st) return nullptr;
    zv::DeviceContext* dc = st->dc(hdc);
    GdiObject* obj = st->object(object);
    if (!dc || !obj) return nullptr;
    return st->select(*dc, *obj);
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type)
{
    GdiState* st = GdiState::current();
    zv::DeviceContext* dc = st ? st->dc(hdc) : nullptr;
    if (!dc) return nullptr;
    GdiObject* o = nullptr;
    switch (type) {
        case OBJ_PEN: o = dc->pen; break;
        case OBJ_BRUSH: o = dc->brush; break;
        case OBJ_FONT: o = dc->font; break;
        case OBJ_BITMAP: o = dc->bitmap; break;
        default: break;
    }
    return o ? reinterpret_cast<HGDIOBJ>(o->handle) : nullptr;
}

BOOL DeleteObject(HGDIOBJ object)
{
    GdiState* st = GdiState::current();
    return st ? st->delete_object(object) : FALSE;
}

DWORD GetObjectType(HGDIOBJ object)
{
    GdiState* st = GdiState::current();
    GdiObject* o = st ? st->object(object) : nullptr;
    if (!o) return 0;
    switch (o->type()) {
        case GdiType::Bitmap: return OBJ_BITMAP;
        case GdiType::Brush: return OBJ_BRUSH;
        case GdiType::Pen: return OBJ_PEN;
        case GdiType::Font: return OBJ_FONT;
        case GdiType::DC:
            return st->dc(static_cast<HDC>(object))->kind() == zv::DeviceContext::Kind::Memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

namespace {
template <class T>
int copy_out(const T& value, int size, LPVOID buffer)
{
    if (!buffer) return static_cast<int>(sizeof(T));
    if (size <= 0) return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(size), sizeof(T));
    std::memcpy(buffer, &value, n);
    return static_cast<int>(n);
}
}  // namespace

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer)
{
    GdiState* st = GdiState::current();
    GdiObject* o = st ? st->object(object) : nullptr;
    if (!o) return 0;
    if (auto* b = o->as<zv::BitmapObject>()) {
        // A picture still compressed tells its size without being decoded, and has no bits yet
        // (as a Win32 device-dependent bitmap never shows its bits here).
        const bool compressed = b->still_compressed();
        BITMAP bm{};
        bm.bmType = 0;
        bm.bmWidth = compressed ? b->compressed->width() : b->surface->width();
        bm.bmHeight = compressed ? b->compressed->height() : b->surface->height();
        bm.bmWidthBytes = bm.bmWidth * 4;
        bm.bmPlanes = 1;
        bm.bmBitsPixel = 32;
        bm.bmBits = compressed ? nullptr : b->surface->pixels().data();
        return copy_out(bm, size, buffer);
    }
    if (auto* f = o->as<zv::FontObject>()) return copy_out(f->logfont, size, buffer);
    if (auto* p = o->as<zv::PenObject>()) {
        LOGPEN lp{static_cast<UINT>(p->style), POINT{p->width, 0}, p->color};
        return copy_out(lp, size, buffer);
    }
    if (auto* br = o->as<zv::BrushObject>()) {
        LOGBRUSH lb{static_cast<UINT>(br->null ? BS_NULL : BS_SOLID), br->color, 0};
        return copy_out(lb, size, buffer);
    }
    return 0;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    GdiState* st = GdiState::current();
    if (!st || !st->dc(hdc)) return nullptr;
    // Win32 answers an empty size with a 1x1 bitmap.
    if (width == 0 || height == 0) width = height = 1;
    if (!zv::bitmap_size_ok(width, height)) return nullptr;
    return zv::create_bitmap_from_surface(std::make_shared<zv::Surface>(width, height));
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    GdiState* st = GdiState::current();
    if (!st) return nullptr;
    return zv::to_handle<HBRUSH>(st->add(zv::BrushObject{false, color & 0x00FFFFFFu}));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    GdiState* st = GdiState::current();
    // Dashed and inside-frame styles draw as solid lines.
    if (!st || style < PS_SOLID || style > 6) return nullptr;
    return zv::to_handle<HPEN>(st->add(zv::PenObject{style, width < 1 ? 1 : width, color & 0x00FFFFFFu}));
}
