// LoadBitmap: decodes a bitmap resource and hands the pixels to GDI.
#include "gdi/gdi_internal.h"
#include "resources/dib.h"
#include "resources/resource_table.h"

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    zv::ResourceTable* t = zv::ResourceTable::current();
    if (!t || !instance || !name || instance != t->instance()) return nullptr;
    const zv::ResourceEntry* e = t->find(zv::ResourceId::from_argument(name), zv::ResourceId{true, 2, {}});
    auto dib = e ? zv::decode_dib(e->data) : std::nullopt;
    return dib ? zv::create_bitmap_from_pixels(dib->width, dib->height, dib->pixels) : nullptr;
}
