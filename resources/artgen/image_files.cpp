#include "image_files.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

namespace artgen {
namespace {

class Bytes {
public:
    void u8(unsigned v) { b_.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v)
    {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    std::vector<std::uint8_t>& data() { return b_; }
    std::size_t size() const { return b_.size(); }

private:
    std::vector<std::uint8_t> b_;
};

std::uint8_t to8(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

std::size_t stride(int w, int bpp) { return ((static_cast<std::size_t>(w) * bpp + 31) / 32) * 4; }

void info_header(Bytes& o, int w, int h, int bpp, std::uint32_t image_size, std::uint32_t colours)
{
    o.u32(40);
    o.u32(static_cast<std::uint32_t>(w));
    o.u32(static_cast<std::uint32_t>(h));
    o.u16(1);
    o.u16(static_cast<unsigned>(bpp));
    o.u32(0);  // BI_RGB
    o.u32(image_size);
    o.u32(3780);  // 96 dpi
    o.u32(3780);
    o.u32(colours);
    o.u32(0);
}

void file_header(Bytes& o, std::uint32_t file_size, std::uint32_t bits_offset)
{
    o.u8('B');
    o.u8('M');
    o.u32(file_size);
    o.u32(0);
    o.u32(bits_offset);
}

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

Rgb8 flatten(const Pixel& p) { return {to8(p.c.r * p.a), to8(p.c.g * p.a), to8(p.c.b * p.a)}; }

// The 16 colours of the classic 4-bit icon palette.
const std::vector<Rgb8>& vga16()
{
    static const std::vector<Rgb8> p = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                        {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                        {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    return p;
}

// 16 classic colours, a 6 x 6 x 6 cube and a grey ramp: 256 entries.
std::vector<Rgb8> palette256()
{
    std::vector<Rgb8> p = vga16();
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                             static_cast<std::uint8_t>(b * 51)});
    for (int i = 0; p.size() < 256; ++i) {
        auto v = static_cast<std::uint8_t>(8 + i * 10);
        p.push_back({v, v, v});
    }
    return p;
}

std::uint8_t nearest(const std::vector<Rgb8>& pal, Rgb8 c)
{
    int best = 0;
    long best_d = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < pal.size(); ++i) {
        long dr = long(pal[i].r) - c.r, dg = long(pal[i].g) - c.g, db = long(pal[i].b) - c.b;
        long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
        if (d < best_d) best_d = d, best = static_cast<int>(i);
    }
    return static_cast<std::uint8_t>(best);
}

std::vector<std::uint8_t> icon_image_bytes(const IconImage& img)
{
    const Canvas& c = *img.art;
    const int w = c.width(), h = c.height();
    const std::vector<Rgb8> pal = img.bpp == 4 ? vga16() : img.bpp == 8 ? palette256() : std::vector<Rgb8>{};
    const std::size_t xor_stride = stride(w, img.bpp), and_stride = stride(w, 1);
    Bytes o;
    info_header(o, w, h * 2, img.bpp, static_cast<std::uint32_t>((xor_stride + and_stride) * h), 0);
    for (const Rgb8& e : pal) {
        o.u8(e.b);
        o.u8(e.g);
        o.u8(e.r);
        o.u8(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(xor_stride, 0);
        for (int x = 0; x < w; ++x) {
            const Pixel& p = c.at(x, y);
            if (img.bpp == 32) {
                row[x * 4 + 0] = to8(p.c.b);
                row[x * 4 + 1] = to8(p.c.g);
                row[x * 4 + 2] = to8(p.c.r);
                row[x * 4 + 3] = to8(p.a * 255);
                continue;
            }
            // Palettised images have only on/off transparency, decided by the mask.
            std::uint8_t idx = p.a >= 0.5 ? nearest(pal, {to8(p.c.r), to8(p.c.g), to8(p.c.b)}) : 0;
            if (img.bpp == 8)
                row[x] = idx;
            else
                row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? idx : idx << 4);
        }
        for (std::uint8_t b : row) o.u8(b);
    }
    for (int y = h - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(and_stride, 0);
        for (int x = 0; x < w; ++x) {
            const double a = c.at(x, y).a;
            bool transparent = img.bpp == 32 ? a <= 0.0 : a < 0.5;
            if (transparent) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        for (std::uint8_t b : row) o.u8(b);
    }
    return std::move(o.data());
}

}  // namespace

bool write_bmp24(const std::string& path, const Canvas& c)
{
    const std::size_t s = stride(c.width(), 24);
    const auto image = static_cast<std::uint32_t>(s * c.height());
    Bytes o;
    file_header(o, 14 + 40 + image, 14 + 40);
    info_header(o, c.width(), c.height(), 24, image, 0);
    for (int y = c.height() - 1; y >= 0; --y) {
        std::size_t start = o.size();
        for (int x = 0; x < c.width(); ++x) {
            Rgb8 p = flatten(c.at(x, y));
            o.u8(p.b);
            o.u8(p.g);
            o.u8(p.r);
        }
        while (o.size() - start < s) o.u8(0);
    }
    return save(path, o.data());
}

bool write_bmp8(const std::string& path, int w, int h, const std::vector<Rgb8>& palette,
                const std::vector<std::uint8_t>& indices)
{
    const std::size_t s = stride(w, 8);
    const auto image = static_cast<std::uint32_t>(s * h);
    const auto bits_offset = static_cast<std::uint32_t>(14 + 40 + 4 * palette.size());
    Bytes o;
    file_header(o, bits_offset + image, bits_offset);
    info_header(o, w, h, 8, image, static_cast<std::uint32_t>(palette.size()));
    for (const Rgb8& e : palette) {
        o.u8(e.b);
        o.u8(e.g);
        o.u8(e.r);
        o.u8(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) o.u8(indices[static_cast<std::size_t>(y) * w + x]);
        for (std::size_t k = w; k < s; ++k) o.u8(0);
    }
    return save(path, o.data());
}

bool write_ico(const std::string& path, const std::vector<IconImage>& images)
{
    std::vector<std::vector<std::uint8_t>> blobs;
    for (const IconImage& img : images) blobs.push_back(icon_image_bytes(img));
    Bytes o;
    o.u16(0);
    o.u16(1);  // icon
    o.u16(static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = images[i].art->width();
        o.u8(size >= 256 ? 0 : static_cast<unsigned>(size));
        o.u8(size >= 256 ? 0 : static_cast<unsigned>(size));
        o.u8(images[i].bpp == 4 ? 16 : 0);
        o.u8(0);
        o.u16(1);
        o.u16(static_cast<unsigned>(images[i].bpp));
        o.u32(static_cast<std::uint32_t>(blobs[i].size()));
        o.u32(offset);
        offset += static_cast<std::uint32_t>(blobs[i].size());
    }
    for (const auto& b : blobs)
        for (std::uint8_t v : b) o.u8(v);
    return save(path, o.data());
}

bool write_png_rgba(const std::string& path, const Canvas& c)
{
    std::vector<std::uint8_t> rgba;
    rgba.reserve(static_cast<std::size_t>(c.width()) * c.height() * 4);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const Pixel& p = c.at(x, y);
            const std::uint8_t a = to8(p.a * 255);
            // No colour where nothing shows.
            const Rgb8 v = a ? Rgb8{to8(p.c.r), to8(p.c.g), to8(p.c.b)} : Rgb8{0, 0, 0};
            rgba.insert(rgba.end(), {v.r, v.g, v.b, a});
        }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(c.width());
    image.height = static_cast<png_uint_32>(c.height());
    image.format = PNG_FORMAT_RGBA;
    const int ok = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr);
    png_image_free(&image);
    return ok != 0;
}

}  // namespace artgen
