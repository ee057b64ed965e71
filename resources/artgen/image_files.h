// Writers for the file formats the resource compiler takes in: BMP (24-bit, 8-bit palettised)
// and ICO (4-, 8- and 32-bit images with their AND masks); and PNG for the desktop's icon theme.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "raster.h"

namespace artgen {

struct Rgb8 {
    std::uint8_t r, g, b;
};

// 24-bit, bottom-up; the canvas is flattened onto black.
bool write_bmp24(const std::string& path, const Canvas& c);
// 8-bit palettised, bottom-up; `indices` is top-down, one byte per pixel.
bool write_bmp8(const std::string& path, int w, int h, const std::vector<Rgb8>& palette,
                const std::vector<std::uint8_t>& indices);

struct IconImage {
    int bpp;            // 4, 8 or 32
    const Canvas* art;  // square; coverage is the transparency
};
bool write_ico(const std::string& path, const std::vector<IconImage>& images);

// 8-bit RGBA with straight alpha (the coverage), as icon themes take it.
bool write_png_rgba(const std::string& path, const Canvas& c);

}  // namespace artgen
