// LoadIcon and DestroyIcon: an icon group lists its images; the chosen ones are decoded into
// an icon object kept in the resource table.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "resources/byte_reader.h"
#include "resources/dib.h"
#include "resources/resource_access.h"
#include "resources/resource_table.h"

namespace {

constexpr WORD kRtIcon = 3;
constexpr WORD kRtGroupIcon = 14;
constexpr int kIconSize = 32;  // SM_CXICON

struct GroupEntry {
    int width;
    int height;
    int bpp;
    WORD id;
};

// GRPICONDIR: reserved, type 1, count; then 14-byte entries.
std::vector<GroupEntry> read_group(std::span<const std::uint8_t> data)
{
    std::vector<GroupEntry> out;
    const zv::ByteReader r(data);
    auto type = r.u16(2);
    auto count = r.u16(4);
    if (!type || !count || *type != 1) return out;
    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t p = 6 + i * 14;
        if (!r.has(p, 14)) break;
        const int w = *r.u8(p), h = *r.u8(p + 1);
        out.push_back({w ? w : 256, h ? h : 256, *r.u16(p + 6), *r.u16(p + 12)});
    }
    return out;
}

std::optional<zv::IconImage> decode(const zv::ResourceTable& t, WORD id)
{
    const zv::ResourceEntry* e = t.find(id, kRtIcon);
    auto d = e ? zv::decode_icon_image(e->data) : std::nullopt;
    if (!d) return std::nullopt;
    return zv::IconImage{d->width, d->height, d->bits_per_pixel, std::move(d->pixels)};
}

// The first image of `order` that decodes.
std::optional<zv::IconImage> first_decodable(const zv::ResourceTable& t, const std::vector<GroupEntry>& order)
{
    for (const GroupEntry& g : order)
        if (auto img = decode(t, g.id)) return img;
    return std::nullopt;
}

}  // namespace

HICON LoadIconW(HINSTANCE instance, LPCWSTR name)
{
    zv::ResourceTable* t = zv::ResourceTable::current();
    if (!t || !instance || !name || instance != t->instance()) return nullptr;
    const zv::ResourceEntry* group =
        t->find(zv::ResourceId::from_argument(name), zv::ResourceId{true, kRtGroupIcon, {}});
    if (!group) return nullptr;
    std::vector<GroupEntry> images = read_group(group->data);

    // Shown: the size nearest 32 x 32 (ties to the larger), then the most colours.
    std::vector<GroupEntry> shown_order = images;
    std::ranges::stable_sort(shown_order, [](const GroupEntry& a, const GroupEntry& b) {
        const int da = std::abs(a.width - kIconSize), db = std::abs(b.width - kIconSize);
        if (da != db) return da < db;
        if (a.width != b.width) return a.width > b.width;
        return a.bpp > b.bpp;
    });
    // Largest: 32-bit images first, then by size.
    std::vector<GroupEntry> largest_order = images;
    std::ranges::stable_sort(largest_order, [](const GroupEntry& a, const GroupEntry& b) {
        if ((a.bpp == 32) != (b.bpp == 32)) return a.bpp == 32;
        if (a.width != b.width) return a.width > b.width;
        return a.bpp > b.bpp;
    });

    auto shown = first_decodable(*t, shown_order);
    auto largest = first_decodable(*t, largest_order);
    if (!shown || !largest) return nullptr;
    return t->add_icon(std::make_unique<zv::IconObject>(zv::IconObject{std::move(*shown), std::move(*largest)}));
}

BOOL DestroyIcon(HICON icon)
{
    zv::ResourceTable* t = zv::ResourceTable::current();
    return t && t->destroy_icon(icon) ? TRUE : FALSE;
}

namespace zv {
namespace {

std::optional<IconPixels> pixels_of(const IconImage& img) { return IconPixels{img.width, img.height, img.argb}; }

}  // namespace

std::optional<IconPixels> icon_pixels(HICON icon)
{
    ResourceTable* t = ResourceTable::current();
    const IconObject* o = t ? t->icon(icon) : nullptr;
    return o ? pixels_of(o->shown) : std::nullopt;
}

std::optional<IconPixels> icon_largest_pixels(HICON icon)
{
    ResourceTable* t = ResourceTable::current();
    const IconObject* o = t ? t->icon(icon) : nullptr;
    return o ? pixels_of(o->largest) : std::nullopt;
}

}  // namespace zv
