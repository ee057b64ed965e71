#include "resources/dib.h"

#include "resources/byte_reader.h"

namespace zv {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::int64_t kMaxSide = 32767;
constexpr std::int64_t kMaxPixels = std::int64_t{64} * 1024 * 1024;

struct Layout {
    int width = 0;
    int height = 0;  // rows of colour data
    bool bottom_up = true;
    int bpp = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::size_t bits_offset = 0;
    std::size_t stride = 0;
};

std::size_t row_stride(std::int64_t width, int bpp) { return static_cast<std::size_t>(((width * bpp + 31) / 32) * 4); }

// Reads and checks the header and palette; `icon` halves the stated height.
std::optional<Layout> read_layout(const ByteReader& r, bool icon)
{
    auto header_size = r.u32(0);
    auto width = r.i32(4);
    auto height = r.i32(8);
    auto planes = r.u16(12);
    auto bpp = r.u16(14);
    auto compression = r.u32(16);
    auto colours_used = r.u32(32);
    if (!header_size || !colours_used || *header_size < 40 || !r.has(0, *header_size)) return std::nullopt;
    if (*planes != 1 || *compression != kBiRgb) return std::nullopt;
    if (*bpp != 1 && *bpp != 4 && *bpp != 8 && *bpp != 24 && *bpp != 32) return std::nullopt;

    Layout l;
    l.bpp = *bpp;
    std::int64_t h = *height;
    if (icon) {
        if (h <= 0 || h % 2) return std::nullopt;
        h /= 2;
    }
    l.bottom_up = h > 0;
    h = h < 0 ? -h : h;
    const std::int64_t w = *width;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || w * h > kMaxPixels) return std::nullopt;
    l.width = static_cast<int>(w);
    l.height = static_cast<int>(h);

    std::size_t colours = 0;
    if (l.bpp <= 8) {
        const std::size_t max = std::size_t{1} << l.bpp;
        colours = *colours_used ? *colours_used : max;
        if (colours > max) return std::nullopt;
    }
    for (std::size_t i = 0; i < colours; ++i) {
        auto q = r.u32(*header_size + i * 4);  // blue, green, red, reserved
        if (!q) return std::nullopt;
        l.palette.push_back(*q & 0x00FFFFFFu);
    }
    l.bits_offset = *header_size + colours * 4;
    l.stride = row_stride(w, l.bpp);
    if (!r.has(l.bits_offset, l.stride * static_cast<std::size_t>(h))) return std::nullopt;
    return l;
}

// The colour of pixel x of a stored row, as 0x00RRGGBB (32-bit rows keep their alpha byte).
std::uint32_t pixel_at(const Layout& l, std::span<const std::uint8_t> row, int x)
{
    const auto ux = static_cast<std::size_t>(x);
    switch (l.bpp) {
        case 1:
        case 4:
        case 8: {
            const std::size_t bit = ux * l.bpp;
            const unsigned shift = 8 - l.bpp - static_cast<unsigned>(bit % 8);
            const std::size_t index = (row[bit / 8] >> shift) & ((1u << l.bpp) - 1);
            return index < l.palette.size() ? l.palette[index] : 0;  // a stray index shows black
        }
        case 24:
            return (static_cast<std::uint32_t>(row[ux * 3 + 2]) << 16) |
                   (static_cast<std::uint32_t>(row[ux * 3 + 1]) << 8) | row[ux * 3];
        default:
            return (static_cast<std::uint32_t>(row[ux * 4 + 3]) << 24) |
                   (static_cast<std::uint32_t>(row[ux * 4 + 2]) << 16) |
                   (static_cast<std::uint32_t>(row[ux * 4 + 1]) << 8) | row[ux * 4];
    }
}

std::span<const std::uint8_t> stored_row(const ByteReader& r, const Layout& l, std::size_t first, int y)
{
    const int stored = l.bottom_up ? l.height - 1 - y : y;
    return r.sub(first + static_cast<std::size_t>(stored) * l.stride, l.stride);
}

}  // namespace

std::optional<DecodedDib> decode_dib(std::span<const std::uint8_t> dib)
{
    const ByteReader r(dib);
    auto l = read_layout(r, false);
    if (!l) return std::nullopt;
    DecodedDib out{l->width, l->height, l->bpp, {}};
    out.pixels.reserve(static_cast<std::size_t>(l->width) * l->height);
    for (int y = 0; y < l->height; ++y) {
        const auto row = stored_row(r, *l, l->bits_offset, y);
        for (int x = 0; x < l->width; ++x) out.pixels.push_back(pixel_at(*l, row, x) & 0x00FFFFFFu);
    }
    return out;
}

std::optional<DecodedDib> decode_icon_image(std::span<const std::uint8_t> image)
{
    const ByteReader r(image);
    auto l = read_layout(r, true);
    if (!l) return std::nullopt;
    const std::size_t mask_offset = l->bits_offset + l->stride * static_cast<std::size_t>(l->height);
    const std::size_t mask_stride = row_stride(l->width, 1);
    // 32-bit images may come without a mask; the others need it for their transparency.
    const bool has_mask = r.has(mask_offset, mask_stride * static_cast<std::size_t>(l->height));
    if (!has_mask && l->bpp != 32) return std::nullopt;
    Layout mask{l->width, l->height, l->bottom_up, 1, {0, 1}, mask_offset, mask_stride};

    DecodedDib out{l->width, l->height, l->bpp, {}};
    const std::size_t count = static_cast<std::size_t>(l->width) * l->height;
    out.pixels.reserve(count);
    std::vector<bool> opaque;
    opaque.reserve(count);
    bool any_alpha = false;
    for (int y = 0; y < l->height; ++y) {
        const auto row = stored_row(r, *l, l->bits_offset, y);
        const auto mask_row = has_mask ? stored_row(r, mask, mask_offset, y) : std::span<const std::uint8_t>{};
        for (int x = 0; x < l->width; ++x) {
            const std::uint32_t p = pixel_at(*l, row, x);
            any_alpha = any_alpha || (l->bpp == 32 && (p >> 24) != 0);
            out.pixels.push_back(p);
            opaque.push_back(!has_mask || pixel_at(mask, mask_row, x) == 0);
        }
    }
    // Without an alpha channel (or with an all-zero one, as older tools write), the mask
    // alone decides: opaque or fully transparent.
    if (!any_alpha)
        for (std::size_t i = 0; i < count; ++i)
            out.pixels[i] = (out.pixels[i] & 0x00FFFFFFu) | (opaque[i] ? 0xFF000000u : 0u);
    return out;
}

}  // namespace zv
