// Decoding picture files held in memory into surfaces. Every failure (damaged, truncated,
// unsupported or absurdly large picture) gives null.
#pragma once
#include <cstdint>
#include <memory>
#include <span>

#include "gdi/surface.h"

namespace zv {

// Largest picture side accepted from a file, and the largest pixel count decoded.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{64} * 1024 * 1024;
// Huge JPEGs are decoded at a reduced DCT scale so their longer side stays at most this.
inline constexpr int kJpegTargetSide = 2048;

enum class PictureFormat { Unknown, Jpeg, Png };
PictureFormat sniff_picture(std::span<const std::uint8_t> data);

std::shared_ptr<Surface> decode_jpeg(std::span<const std::uint8_t> data);
// Transparent parts are composited onto black.
std::shared_ptr<Surface> decode_png(std::span<const std::uint8_t> data);
std::shared_ptr<Surface> decode_picture(std::span<const std::uint8_t> data);

}  // namespace zv
