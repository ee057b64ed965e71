// Decoding of device-independent bitmaps as the resource compiler stores them: a 40-byte (or
// larger) info header, the palette, then the pixel rows, bottom-up or top-down.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zv {

struct DecodedDib {
    int width = 0;
    int height = 0;
    int bits_per_pixel = 0;
    std::vector<std::uint32_t> pixels;  // top-down; see the two decoders for the format
};

// A bitmap resource (uncompressed 1-, 4-, 8-, 24- or 32-bit) as 0x00RRGGBB pixels. Null for
// anything malformed, compressed or larger than a bitmap may be.
std::optional<DecodedDib> decode_dib(std::span<const std::uint8_t> dib);

// An icon image (a DIB of twice the image's height: colours, then the 1-bit AND mask) as
// 0xAARRGGBB with straight alpha: 32-bit images keep their alpha when they have any, others
// are opaque where the mask is clear.
std::optional<DecodedDib> decode_icon_image(std::span<const std::uint8_t> image);

}  // namespace zv
