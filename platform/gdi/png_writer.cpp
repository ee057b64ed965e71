// Surface -> PNG file, for screenshots and tests.
#include <png.h>

#include <cstring>
#include <vector>

#include "gdi/gdi_internal.h"

namespace zv {

bool write_png(const Surface& surface, const std::string& path)
{
    if (surface.empty()) return false;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(surface.width()) * surface.height() * 3);
    std::size_t o = 0;
    for (std::uint32_t p : surface.pixels()) {
        rgb[o++] = static_cast<std::uint8_t>(p >> 16);
        rgb[o++] = static_cast<std::uint8_t>(p >> 8);
        rgb[o++] = static_cast<std::uint8_t>(p);
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(surface.width());
    image.height = static_cast<png_uint_32>(surface.height());
    image.format = PNG_FORMAT_RGB;
    const int ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
    png_image_free(&image);
    return ok != 0;
}

}  // namespace zv
