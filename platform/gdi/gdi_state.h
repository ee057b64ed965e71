// All GDI state of one platform instance: the object table, the stock objects and the fonts.
// The platform's main object owns one; tests construct their own.
#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "base/current_instance.h"
#include "base/handle_table.h"
#include "gdi/device_context.h"
#include "gdi/gdi_objects.h"

namespace zv {

class FontSystem;

class GdiState {
public:
    GdiState();
    ~GdiState();
    GdiState(const GdiState&) = delete;
    GdiState& operator=(const GdiState&) = delete;

    // The newest live instance, or null (base/current_instance.h); free GDI functions fail
    // harmlessly without one.
    static GdiState* current() { return CurrentInstance<GdiState>::get(); }

    // Any live object behind a handle, or null for stale, foreign or null handles.
    GdiObject* object(const void* handle) const { return objects_.get(reinterpret_cast<std::uintptr_t>(handle)); }
    template <class T>
    T* get(const void* handle) const
    {
        GdiObject* o = object(handle);
        return o ? o->as<T>() : nullptr;
    }
    DeviceContext* dc(HDC hdc) const
    {
        auto* p = get<std::unique_ptr<DeviceContext>>(hdc);
        return p ? p->get() : nullptr;
    }

    std::uintptr_t add(GdiObject::Payload payload);
    HDC add_dc(std::unique_ptr<DeviceContext> dc);

    HGDIOBJ stock_object(int index) const;
    // Live objects, stock objects and device contexts included (a leak shows as growth).
    std::size_t object_count() const { return objects_.live_count(); }

    // Selects `obj` into `dc`; returns the previous object's handle, or null on failure.
    HGDIOBJ select(DeviceContext& dc, GdiObject& obj);
    BOOL delete_object(const void* handle);
    BOOL delete_dc(HDC hdc);

    FontSystem& fonts();

private:
    void attach(GdiObject*& slot, GdiObject* obj);
    void release(GdiObject* obj);
    GdiObject* make_stock(GdiObject::Payload payload);

    // Declared first so it outlives the fonts in the object table.
    std::unique_ptr<FontSystem> fonts_;
    HandleTable<GdiObject> objects_{HandleKind::Gdi};
    std::array<GdiObject*, 18> stock_{};
    GdiObject* default_bitmap_ = nullptr;
    CurrentInstance<GdiState> current_{this};  // last: registered once the rest exists
};

}  // namespace zv
