#include <png.h>

#include <cstring>
#include <vector>

#include "gdi/image_decoders.h"

namespace zv {

std::shared_ptr<Surface> decode_png(std::span<const std::uint8_t> data)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return nullptr;
    const std::int64_t w = image.width, h = image.height;
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels) {
        png_image_free(&image);
        return nullptr;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return nullptr;
    }
    auto out = std::make_shared<Surface>(static_cast<int>(w), static_cast<int>(h));
    const std::uint8_t* p = rgba.data();
    for (auto& px : out->pixels()) {
        // Composite onto black: each channel scaled by its alpha.
        const unsigned a = p[3];
        const unsigned r = (p[0] * a + 127) / 255, g = (p[1] * a + 127) / 255, b = (p[2] * a + 127) / 255;
        px = (r << 16) | (g << 8) | b;
        p += 4;
    }
    return out;
}

}  // namespace zv
