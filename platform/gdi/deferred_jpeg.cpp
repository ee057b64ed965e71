#include "gdi/deferred_jpeg.h"

namespace zv {

namespace {

// v * num / den, and whether that lands on a whole number.
bool scales_exactly(LONG v, LONG num, LONG den) { return (std::int64_t{v} * num) % den == 0; }

LONG scale(LONG v, LONG num, LONG den) { return static_cast<LONG>(std::int64_t{v} * num / den); }

}  // namespace

unsigned stretch_eighths(const JpegGeometry& g, const RECT& src, int dst_w, int dst_h)
{
    const SIZE full = g.full();
    for (unsigned n = 1; n < g.full_eighths; ++n) {
        const SIZE s = g.size(n);
        if (!scales_exactly(src.left, s.cx, full.cx) || !scales_exactly(src.right, s.cx, full.cx) ||
            !scales_exactly(src.top, s.cy, full.cy) || !scales_exactly(src.bottom, s.cy, full.cy))
            continue;
        const std::int64_t w = std::int64_t{scale(src.right, s.cx, full.cx)} - scale(src.left, s.cx, full.cx);
        const std::int64_t h = std::int64_t{scale(src.bottom, s.cy, full.cy)} - scale(src.top, s.cy, full.cy);
        if (w >= dst_w && h >= dst_h) return n;
    }
    return g.full_eighths;
}

RECT scale_rect(const JpegGeometry& g, unsigned eighths, const RECT& r)
{
    const SIZE full = g.full(), s = g.size(eighths);
    return RECT{scale(r.left, s.cx, full.cx), scale(r.top, s.cy, full.cy), scale(r.right, s.cx, full.cx),
                scale(r.bottom, s.cy, full.cy)};
}

DeferredJpeg::DeferredJpeg(std::vector<std::uint8_t> bytes, const JpegGeometry& g, std::shared_ptr<Surface> target)
    : bytes_(std::move(bytes)), geometry_(g), target_(std::move(target))
{
}

void DeferredJpeg::decode_full()
{
    if (decoded()) return;
    std::lock_guard<std::mutex> hold(lock_);
    if (decoded_.load(std::memory_order_relaxed)) return;
    const SIZE size = geometry_.full();
    Surface pixels;
    if (damaged_ || !decode_jpeg_into(bytes_, geometry_.full_eighths, size, pixels)) pixels = Surface(size.cx, size.cy);
    *target_ = std::move(pixels);
    std::vector<std::uint8_t>().swap(bytes_);
    reduced_.reset();
    decoded_.store(true, std::memory_order_release);
}

std::shared_ptr<const Surface> DeferredJpeg::decode_reduced(unsigned eighths)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (decoded_.load(std::memory_order_relaxed) || eighths < 1 || eighths >= geometry_.full_eighths) return nullptr;
    if (reduced_ && reduced_eighths_ == eighths) return reduced_;
    const SIZE size = geometry_.size(eighths);
    auto pixels = std::make_shared<Surface>();
    if (damaged_ || !decode_jpeg_into(bytes_, eighths, size, *pixels)) {
        damaged_ = true;
        *pixels = Surface(size.cx, size.cy);
    }
    reduced_eighths_ = eighths;
    reduced_ = std::move(pixels);
    return reduced_;
}

}  // namespace zv
