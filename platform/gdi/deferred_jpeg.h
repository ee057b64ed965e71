// A bitmap's pixels kept as the JPEG file they came from until they are first needed. A picture
// that is only ever shown shrunk (a cover squeezed into the panel) is decoded at the smallest DCT
// scale that still covers the destination, and never at its own size.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "gdi/surface.h"

namespace zv {

// The sizes of a JPEG's decodes at each DCT scale n/8, as libjpeg-turbo computes them.
struct JpegGeometry {
    std::array<SIZE, 8> at_eighths{};  // [n - 1]: the output at scale n/8
    unsigned full_eighths = 8;         // the bitmap's own scale: below 8 only for huge pictures

    SIZE size(unsigned eighths) const { return at_eighths[eighths - 1]; }
    SIZE full() const { return size(full_eighths); }
};

// The geometry of a JPEG we would show: a readable header within the size limits, and scan data
// that reach an end marker (a file cut short fails here, not when first drawn). nullopt otherwise.
std::optional<JpegGeometry> read_jpeg_geometry(std::span<const std::uint8_t> data);

// Decodes at scale eighths/8 into `out`, which must come out exactly `expected`; false when the
// data turn out damaged or the size differs (`out` is then unspecified).
bool decode_jpeg_into(std::span<const std::uint8_t> data, unsigned eighths, SIZE expected, Surface& out);

// The smallest scale at which `src` (a rectangle in the full picture's pixels) spans at least
// dst_w x dst_h pixels with every edge on a whole pixel; full_eighths when no smaller one does.
unsigned stretch_eighths(const JpegGeometry& g, const RECT& src, int dst_w, int dst_h);

// `r`, in the full picture's pixels, in the pixels of the decode at `eighths`; exact for the
// rectangle stretch_eighths chose that scale for, and for the picture's bounds.
RECT scale_rect(const JpegGeometry& g, unsigned eighths, const RECT& r);

class DeferredJpeg {
public:
    // `bytes` passed read_jpeg_geometry, which gave `g`; `target` is the bitmap's surface, empty
    // until the full decode fills it.
    DeferredJpeg(std::vector<std::uint8_t> bytes, const JpegGeometry& g, std::shared_ptr<Surface> target);

    const JpegGeometry& geometry() const { return geometry_; }
    int width() const { return geometry_.full().cx; }
    int height() const { return geometry_.full().cy; }
    bool decoded() const { return decoded_.load(std::memory_order_acquire); }

    // Decodes at the bitmap's own size into its surface, once, and lets the file's bytes go. Data
    // that turn out damaged leave the picture black. Safe from any thread.
    void decode_full();

    // The decode at a scale below the full one, kept for the next call at the same scale; black
    // when the data are damaged; null once the full picture has been decoded.
    std::shared_ptr<const Surface> decode_reduced(unsigned eighths);

private:
    std::mutex lock_;
    std::atomic<bool> decoded_{false};
    std::vector<std::uint8_t> bytes_;
    JpegGeometry geometry_;
    std::shared_ptr<Surface> target_;
    bool damaged_ = false;  // one decode failed: later ones give black without trying again
    unsigned reduced_eighths_ = 0;
    std::shared_ptr<const Surface> reduced_;
};

}  // namespace zv
