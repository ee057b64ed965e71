// State of one device context: where drawing lands and with which attributes.
#pragma once
#include <cstdint>
#include <memory>

#include "gdi/gdi_objects.h"
#include "gdi/rect_math.h"
#include "gdi/surface.h"

namespace zv {

// Coordinates are kept well inside 32 bits so offsets and widths never overflow.
inline LONG clamp_coord(std::int64_t v)
{
    constexpr std::int64_t kLimit = std::int64_t{1} << 29;
    return static_cast<LONG>(v < -kLimit ? -kLimit : (v > kLimit ? kLimit : v));
}

class DeviceContext {
public:
    enum class Kind { Memory, Surface };

    // A memory DC starts on the stock 1x1 bitmap.
    DeviceContext(Kind kind, std::shared_ptr<Surface> target, POINT device_origin, RECT device_clip)
        : kind_(kind), target_(std::move(target)), device_origin_(device_origin), device_clip_(device_clip)
    {
    }

    Kind kind() const { return kind_; }

    // The pixels drawing lands on; a selected bitmap still held as a JPEG is decoded first.
    Surface* surface() const
    {
        if (compressed_) compressed_->decode_full();
        return target_.get();
    }
    // The selected bitmap's JPEG while it has not been decoded, else null: for StretchBlt, which
    // can shrink it from a smaller decode.
    DeferredJpeg* still_compressed() const
    {
        return compressed_ && !compressed_->decoded() ? compressed_.get() : nullptr;
    }
    void set_target(std::shared_ptr<Surface> s, std::shared_ptr<DeferredJpeg> compressed = nullptr)
    {
        target_ = std::move(s);
        compressed_ = std::move(compressed);
    }

    // Where drawing may land, in surface pixels: the DC's own clip within the surface.
    RECT device_clip() const
    {
        if (!surface()) return RECT{0, 0, 0, 0};
        if (kind_ == Kind::Memory) return target_->bounds();
        return rect_intersect(device_clip_, target_->bounds());
    }

    // Logical -> surface offset.
    LONG dx() const { return clamp_coord(std::int64_t{viewport.x} + device_origin_.x); }
    LONG dy() const { return clamp_coord(std::int64_t{viewport.y} + device_origin_.y); }

    RECT to_device(const RECT& r) const
    {
        const std::int64_t ox = dx(), oy = dy();
        return RECT{clamp_coord(r.left + ox), clamp_coord(r.top + oy), clamp_coord(r.right + ox),
                    clamp_coord(r.bottom + oy)};
    }
    POINT to_device(LONG x, LONG y) const
    {
        return POINT{clamp_coord(std::int64_t{x} + dx()), clamp_coord(std::int64_t{y} + dy())};
    }

    POINT viewport{0, 0};
    COLORREF text_color = 0x000000;
    COLORREF bk_color = 0xFFFFFF;
    int bk_mode = OPAQUE;

    // Selected objects; each holds a selection count, so none is freed while selected here.
    GdiObject* bitmap = nullptr;  // memory DCs only
    GdiObject* pen = nullptr;
    GdiObject* brush = nullptr;
    GdiObject* font = nullptr;

private:
    Kind kind_;
    std::shared_ptr<Surface> target_;
    std::shared_ptr<DeferredJpeg> compressed_;
    POINT device_origin_;
    RECT device_clip_;
};

}  // namespace zv
