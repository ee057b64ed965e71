#include "gdi/gdi_state.h"

#include "text/font_system.h"

namespace zv {

namespace {
LOGFONTW stock_logfont(LONG height, const char16_t* face)
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    for (int i = 0; i < LF_FACESIZE - 1 && face[i]; ++i) lf.lfFaceName[i] = face[i];
    return lf;
}
}  // namespace

GdiObject::GdiObject(Payload p) : payload(std::move(p)) {}
GdiObject::~GdiObject() = default;

GdiState::GdiState()
{
    stock_[WHITE_BRUSH] = make_stock(BrushObject{false, 0xFFFFFF});
    stock_[LTGRAY_BRUSH] = make_stock(BrushObject{false, 0xC0C0C0});
    stock_[GRAY_BRUSH] = make_stock(BrushObject{false, 0x808080});
    stock_[DKGRAY_BRUSH] = make_stock(BrushObject{false, 0x404040});
    stock_[BLACK_BRUSH] = make_stock(BrushObject{false, 0x000000});
    stock_[NULL_BRUSH] = make_stock(BrushObject{true, 0});
    stock_[WHITE_PEN] = make_stock(PenObject{PS_SOLID, 1, 0xFFFFFF});
    stock_[BLACK_PEN] = make_stock(PenObject{PS_SOLID, 1, 0x000000});
    stock_[NULL_PEN] = make_stock(PenObject{PS_NULL, 1, 0});
    stock_[SYSTEM_FONT] = make_stock(FontObject{stock_logfont(-13, u"System"), nullptr});
    stock_[DEFAULT_GUI_FONT] = make_stock(FontObject{stock_logfont(-11, u"MS Shell Dlg"), nullptr});
    default_bitmap_ = make_stock(BitmapObject{std::make_shared<Surface>(1, 1), nullptr});
}

GdiState::~GdiState() = default;

GdiObject* GdiState::make_stock(GdiObject::Payload payload)
{
    std::uintptr_t h = add(std::move(payload));
    GdiObject* o = objects_.get(h);
    o->stock = true;
    return o;
}

std::uintptr_t GdiState::add(GdiObject::Payload payload)
{
    auto obj = std::make_unique<GdiObject>(std::move(payload));
    GdiObject* raw = obj.get();
    raw->handle = objects_.insert(std::move(obj));
    return raw->handle;
}

HDC GdiState::add_dc(std::unique_ptr<DeviceContext> dc)
{
    DeviceContext& d = *dc;
    HDC h = to_handle<HDC>(add(std::move(dc)));
    attach(d.pen, stock_[BLACK_PEN]);
    attach(d.brush, stock_[WHITE_BRUSH]);
    attach(d.font, stock_[SYSTEM_FONT]);
    if (d.kind() == DeviceContext::Kind::Memory) {
        attach(d.bitmap, default_bitmap_);
        d.set_target(default_bitmap_->as<BitmapObject>()->surface);
    }
    return h;
}

HGDIOBJ GdiState::stock_object(int index) const
{
    if (index < 0 || index >= static_cast<int>(stock_.size()) || !stock_[index]) return nullptr;
    return reinterpret_cast<HGDIOBJ>(stock_[index]->handle);
}

void GdiState::attach(GdiObject*& slot, GdiObject* obj)
{
    ++obj->select_count;
    slot = obj;
}

void GdiState::release(GdiObject* obj)
{
    if (!obj) return;
    if (--obj->select_count == 0 && obj->delete_pending && !obj->stock) objects_.remove(obj->handle);
}

HGDIOBJ GdiState::select(DeviceContext& dc, GdiObject& obj)
{
    if (obj.delete_pending) return nullptr;
    GdiObject** slot = nullptr;
    switch (obj.type()) {
        case GdiType::Bitmap:
            // Only a memory DC draws into a bitmap, and a bitmap belongs to one DC at a time.
            if (dc.kind() != DeviceContext::Kind::Memory) return nullptr;
            if (&obj != dc.bitmap && obj.select_count > 0 && !obj.stock) return nullptr;
            slot = &dc.bitmap;
            break;
        case GdiType::Pen: slot = &dc.pen; break;
        case GdiType::Brush: slot = &dc.brush; break;
        case GdiType::Font: slot = &dc.font; break;
        case GdiType::DC: return nullptr;
    }
    GdiObject* prev = *slot;
    const auto prev_handle = reinterpret_cast<HGDIOBJ>(prev->handle);
    if (prev == &obj) return prev_handle;
    attach(*slot, &obj);
    if (auto* b = obj.as<BitmapObject>()) dc.set_target(b->surface, b->compressed);
    release(prev);
    return prev_handle;
}

BOOL GdiState::delete_object(const void* handle)
{
    GdiObject* obj = object(handle);
    if (!obj || obj->type() == GdiType::DC) return FALSE;
    if (obj->stock) return TRUE;
    if (obj->select_count > 0) {
        // A selected bitmap is the DC's target: refuse. Pens, brushes and fonts go when released.
        if (obj->type() == GdiType::Bitmap) return FALSE;
        obj->delete_pending = true;
        return TRUE;
    }
    objects_.remove(obj->handle);
    return TRUE;
}

BOOL GdiState::delete_dc(HDC hdc)
{
    DeviceContext* d = dc(hdc);
    if (!d) return FALSE;
    release(d->bitmap);
    release(d->pen);
    release(d->brush);
    release(d->font);
    objects_.remove(hdc);
    return TRUE;
}

FontSystem& GdiState::fonts()
{
    if (!fonts_) fonts_ = std::make_unique<FontSystem>();
    return *fonts_;
}

}  // namespace zv
