// The objects behind GDI handles. One table holds them all, tagged by type, because
// SelectObject and DeleteObject take any HGDIOBJ.
#pragma once
#include <cstdint>
#include <memory>
#include <variant>

#include "gdi/deferred_jpeg.h"
#include "gdi/surface.h"
#include "wingdi.h"

namespace zv {

class DeviceContext;
class FontInstance;

struct BitmapObject {
    std::shared_ptr<Surface> surface;
    // A picture loaded from a JPEG file, kept compressed: `surface` stays empty until the first
    // use that needs its pixels decodes it there.
    std::shared_ptr<DeferredJpeg> compressed;

    bool still_compressed() const { return compressed && !compressed->decoded(); }
    // The pixels, decoded at the bitmap's own size first when still compressed.
    const std::shared_ptr<Surface>& pixels()
    {
        if (compressed) compressed->decode_full();
        return surface;
    }
};

struct BrushObject {
    bool null = false;  // NULL_BRUSH: paints nothing
    COLORREF color = 0;
};

struct PenObject {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct FontObject {
    LOGFONTW logfont{};
    // Resolved on first use, so creating a font for one drawing costs only a table insert.
    std::shared_ptr<FontInstance> instance;
};

enum class GdiType { Bitmap, Brush, Pen, Font, DC };

struct GdiObject {
    using Payload = std::variant<BitmapObject, BrushObject, PenObject, FontObject, std::unique_ptr<DeviceContext>>;

    explicit GdiObject(Payload p);
    ~GdiObject();

    GdiType type() const { return static_cast<GdiType>(payload.index()); }
    template <class T>
    T* as()
    {
        return std::get_if<T>(&payload);
    }

    Payload payload;
    std::uintptr_t handle = 0;
    bool stock = false;
    // How many DCs have this selected; a delete requested meanwhile waits for the last release.
    int select_count = 0;
    bool delete_pending = false;
};

}  // namespace zv
