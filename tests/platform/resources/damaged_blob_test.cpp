// Generated .res files, whole and damaged: a damaged file gives fewer resources, never a crash.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "res_builder.h"
#include "resources/dib.h"
#include "resources/resource_access.h"
#include "resources/resource_blob.h"
#include "resources/resource_table.h"
#include "windows.h"

namespace {

using zvtest::Bytes;
using zvtest::Id;
using zvtest::ResBuilder;
using Pixels = std::vector<std::uint32_t>;

std::vector<std::uint8_t> string_block(const std::vector<std::u16string>& strings)
{
    Bytes b;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::u16string s = i < strings.size() ? strings[i] : u"";
        b.u16(static_cast<unsigned>(s.size()));
        for (char16_t c : s) b.u16(c);
    }
    return b.b;
}

// A 2 x 2 8-bit icon image: colours (rows padded to 4, bottom row first), then the mask with
// the top-left pixel transparent.
std::vector<std::uint8_t> icon_image8()
{
    return zvtest::dib(2, 4, 8, {0x000000, 0xFF0000, 0x0000FF}, {1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0}, 3);
}

std::vector<std::uint8_t> icon_group(const std::vector<std::pair<int, int>>& size_bpp)
{
    Bytes b;
    b.u16(0).u16(1).u16(static_cast<unsigned>(size_bpp.size()));
    unsigned id = 1;
    for (auto [size, bpp] : size_bpp) {
        b.u8(static_cast<unsigned>(size)).u8(static_cast<unsigned>(size)).u16(0).u16(1);
        b.u16(static_cast<unsigned>(bpp)).u32(100).u16(id++);
    }
    return b.b;
}

// A solid 32-bit icon image of `size` with full alpha and one colour.
std::vector<std::uint8_t> icon_image32(int size, std::uint32_t argb)
{
    Bytes rows;
    for (int i = 0; i < size * size; ++i) rows.u32(argb);
    for (int y = 0; y < size; ++y) rows.u32(0);
    return zvtest::dib(size, size * 2, 32, {}, rows.b);
}

// 2 x 2, 24-bit, stored bottom row first: red white / blue green.
const std::vector<std::uint8_t> kRows24 = {0, 0, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};

// `scale` 16 gives icon images of 16, 32 and 48 pixels; 1 keeps the file small for the
// byte-by-byte truncation sweep.
std::vector<std::uint8_t> sample_res(int scale = 16)
{
    Bytes accel;
    accel.u16(0x0B).u16('A').u16(40002).u16(0).u16(0x8B).u16('Q').u16(40000).u16(0);
    accel.u16(0x01).u16('Z').u16(1).u16(0);  // after the end marker: not part of the table
    return ResBuilder()
        .add(Id{6}, Id{1}, string_block({u"", u"Vemo", u"VEMO"}))
        .add(Id{9}, Id{2}, accel.b)
        .add(Id{2}, Id{129}, zvtest::dib(2, 2, 24, {}, kRows24))
        .add(Id{3}, Id{1}, icon_image32(scale, 0xFF102030))
        .add(Id{3}, Id{2}, icon_image32(2 * scale, 0xFF405060))
        .add(Id{3}, Id{3}, icon_image32(3 * scale, 0xFF708090))
        .add(Id{3}, Id{4}, icon_image8())
        .add(Id{14}, Id{101}, icon_group({{scale, 32}, {2 * scale, 32}, {3 * scale, 32}, {2, 8}}))
        .add(Id{u"CEUX"}, Id{u"HI_RES_AWARE"}, {1, 0})
        .bytes();
}

// Everything a caller may ask of a table; must never crash whatever the bytes.
void exercise(const zv::ResourceTable& t)
{
    HINSTANCE inst = t.instance();
    WCHAR buf[16];
    for (UINT id : {0u, 1u, 2u, 3u, 15u, 16u, 103u}) LoadStringW(inst, id, buf, 16);
    const WCHAR* p = nullptr;
    LoadStringW(inst, 1, reinterpret_cast<LPWSTR>(&p), 0);
    if (HACCEL a = LoadAcceleratorsW(inst, MAKEINTRESOURCE(2))) (void)zv::accelerator_entries(a);
    if (HICON i = LoadIconW(inst, MAKEINTRESOURCE(101))) {
        (void)zv::icon_pixels(i);
        (void)zv::icon_largest_pixels(i);
        DestroyIcon(i);
    }
    for (const zv::ResourceEntry& e : t.entries()) {
        (void)zv::decode_dib(e.data);
        (void)zv::decode_icon_image(e.data);
        HRSRC r = t.handle_of(e);
        (void)SizeofResource(inst, r);
        (void)LockResource(LoadResource(inst, r));
    }
    (void)FindResourceW(inst, u"HI_RES_AWARE", u"CEUX");
}

TEST(GeneratedResFile, WholeDamagedCutAndRandomFiles)
{
    const std::vector<std::uint8_t> res = sample_res();
    zv::ResourceTable t(res);
    EXPECT_EQ(t.entries().size(), 9u) << "the leading empty entry is not a resource";
    WCHAR buf[16];
    EXPECT_EQ(LoadStringW(t.instance(), 1, buf, 16), 4);
    EXPECT_EQ(std::u16string(buf), u"Vemo");
    EXPECT_EQ(LoadStringW(t.instance(), 0, buf, 16), 0) << "an empty string reads as missing";
    auto accel = zv::accelerator_entries(LoadAcceleratorsW(t.instance(), MAKEINTRESOURCE(2)));
    ASSERT_EQ(accel.size(), 2u) << "reading stops at the end marker";
    EXPECT_EQ(accel[1].fVirt, FVIRTKEY | FNOINVERT | FCONTROL);
    HICON icon = LoadIconW(t.instance(), MAKEINTRESOURCE(101));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(
        std::tuple(zv::icon_pixels(icon)->width, zv::icon_pixels(icon)->argb[0], zv::icon_largest_pixels(icon)->width),
        std::tuple(32, 0xFF405060u, 48));
    EXPECT_NE(FindResourceW(t.instance(), u"hi_res_aware", u"ceux"), nullptr);

    // A string claiming 500 units, an empty block; an icon group of the wrong type naming a good image, one claiming
    // 40 entries and holding one, and one whose only image is cut short.
    Bytes overrun, wrong_type, too_many;
    overrun.u16(2).u16('o').u16('k').u16(500).u16('x');
    wrong_type.u16(0).u16(2).u16(1).u8(2).u8(2).u16(0).u16(1).u16(8).u32(0).u16(9);
    too_many.u16(0).u16(1).u16(40).u8(32).u8(32).u16(0).u16(1).u16(32).u32(0).u16(9);
    std::vector<std::uint8_t> bad_image = icon_image32(32, 0xFF000000);
    bad_image.resize(bad_image.size() / 2);
    const auto bad = ResBuilder()
                         .add(Id{6}, Id{1}, overrun.b)
                         .add(Id{6}, Id{2}, {})
                         .add(Id{14}, Id{1}, wrong_type.b)
                         .add(Id{14}, Id{2}, too_many.b)
                         .add(Id{14}, Id{3}, icon_group({{32, 32}}))
                         .add(Id{3}, Id{1}, bad_image)
                         .add(Id{3}, Id{9}, icon_image8())
                         .bytes();
    zv::ResourceTable b(bad);
    // String 5 walks past the block's end; 16 is in the empty block.
    std::vector<int> lengths;
    for (UINT id : {0, 1, 5, 16}) lengths.push_back(LoadStringW(b.instance(), id, buf, 8));
    EXPECT_EQ(lengths, (std::vector<int>{2, 0, 0, 0}));
    EXPECT_EQ(LoadIconW(b.instance(), MAKEINTRESOURCE(1)), nullptr);
    HICON two = LoadIconW(b.instance(), MAKEINTRESOURCE(2));
    ASSERT_NE(two, nullptr) << "the entries that are there still count";
    EXPECT_EQ(zv::icon_pixels(two)->width, 2);
    EXPECT_EQ(LoadIconW(b.instance(), MAKEINTRESOURCE(3)), nullptr);

    // Cut short or overlong files keep whole entries only.
    const std::vector<std::uint8_t> small = sample_res(1);
    const zv::ResourceTable whole(small);
    std::vector<std::size_t> ends;  // where each entry's data ends in the file
    for (const zv::ResourceEntry& e : whole.entries())
        ends.push_back(static_cast<std::size_t>(e.data.data() - small.data()) + e.data.size());
    for (std::size_t cut = 0; cut <= small.size(); ++cut) {
        // A copy of exactly `cut` bytes, so reading past it is caught by the sanitizers.
        const std::vector<std::uint8_t> part(small.begin(), small.begin() + static_cast<std::ptrdiff_t>(cut));
        zv::ResourceTable t(part);
        std::size_t expect = 0;
        while (expect < ends.size() && ends[expect] <= cut) ++expect;
        ASSERT_EQ(t.entries().size(), expect) << "cut at " << cut;
        exercise(t);
    }

    // The accelerator entry's data size ~2 GB, its header size huge, and too small to hold its
    // fields: the rest is dropped.
    const std::size_t second = 32 + 32 + ((string_block({u"", u"Vemo", u"VEMO"}).size() + 3) & ~std::size_t{3});
    const std::pair<int, int> damage[] = {{3, 0x7F}, {7, 0xFF}, {4, 8}};
    for (auto [at, value] : damage) {
        auto damaged = res;
        damaged[second + at] = static_cast<std::uint8_t>(value);
        zv::ResourceTable t(damaged);
        EXPECT_EQ(t.entries().size(), 1u) << at;
        exercise(t);
    }
    // A name whose terminator lies outside its header.
    Bytes unterminated;
    unterminated.append(ResBuilder().bytes()).u32(0).u32(32);
    for (int i = 0; i < 12; ++i) unterminated.u16('X');
    EXPECT_TRUE(zv::ResourceTable(unterminated.b).entries().empty());

    // Random bytes, and the real file mutated, never crash.
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> junk(rng() % 600);
        for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
        // Give some rounds a plausible first header so parsing goes deeper.
        if (round % 2 && junk.size() > 8) {
            junk[4] = 32;
            junk[5] = junk[6] = junk[7] = 0;
        }
        exercise(zv::ResourceTable(junk));
    }
    // The real file with a few bytes changed in its resource data and headers.
    const std::vector<std::uint8_t> real(zv_resource_blob, zv_resource_blob + zv_resource_blob_size);
    for (int round = 0; round < 15; ++round) {
        std::vector<std::uint8_t> m = real;
        for (int k = 0; k < 8; ++k) m[rng() % m.size()] = static_cast<std::uint8_t>(rng());
        exercise(zv::ResourceTable(m));
    }
}

TEST(DibDecode, DepthsOrientationsPalettesAndRefusals)
{
    std::vector<std::uint32_t> pal16(16, 0);
    pal16[0xA] = 0xABCDEF;
    pal16[0x3] = 0x030303;
    const struct {
        std::vector<std::uint8_t> dib;
        Pixels pixels;
    } cases[] = {
        {zvtest::dib(2, 2, 24, {}, kRows24), {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}},   // bottom-up
        {zvtest::dib(2, -2, 24, {}, kRows24), {0xFF0000, 0xFFFFFF, 0x0000FF, 0x00FF00}},  // top-down
        // Indices 7 and 2 lie outside the 2-entry palette and show black.
        {zvtest::dib(4, 1, 8, {0x112233, 0x445566}, {1, 7, 0, 2}, 2), {0x445566, 0, 0x112233, 0}},
        {zvtest::dib(3, 1, 4, pal16, {0xA3, 0x30, 0, 0}), {0xABCDEF, 0x030303, 0x030303}},
        {zvtest::dib(3, 1, 1, {0x000000, 0xFFFFFF}, {0b10100000, 0, 0, 0}), {0xFFFFFF, 0, 0xFFFFFF}},
    };
    for (const auto& c : cases) {
        auto d = zv::decode_dib(c.dib);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->pixels, c.pixels);
    }

    // What it cannot read is refused.
    const std::vector<std::uint8_t> row = {0, 0, 0, 0};
    const auto ok = zvtest::dib(1, 1, 24, {}, row);
    ASSERT_TRUE(zv::decode_dib(ok));
    auto set = [](std::vector<std::uint8_t> d, std::size_t at, std::uint32_t v, int bytes = 4) {
        for (int i = 0; i < bytes; ++i) d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        return d;
    };
    EXPECT_FALSE(zv::decode_dib(set(ok, 0, 12))) << "old core header";
    EXPECT_FALSE(zv::decode_dib(set(ok, 0, 4000))) << "header longer than the data";
    EXPECT_FALSE(zv::decode_dib(set(ok, 4, 0))) << "zero width";
    EXPECT_FALSE(zv::decode_dib(set(ok, 4, 0x80000000u))) << "negative width";
    EXPECT_FALSE(zv::decode_dib(set(ok, 8, 0x80000000u))) << "height INT_MIN";
    EXPECT_FALSE(zv::decode_dib(set(set(ok, 4, 30000), 8, 30000))) << "too many pixels";
    EXPECT_FALSE(zv::decode_dib(set(ok, 8, 2))) << "rows past the end";
    EXPECT_FALSE(zv::decode_dib(set(ok, 12, 2, 2))) << "planes";
    EXPECT_FALSE(zv::decode_dib(set(ok, 14, 16, 2))) << "16-bit";
    EXPECT_FALSE(zv::decode_dib(set(ok, 16, 1))) << "RLE compression";
    EXPECT_FALSE(zv::decode_dib(zvtest::dib(1, 1, 8, {0, 0}, row, 300))) << "palette larger than the depth allows";
    EXPECT_FALSE(zv::decode_dib(zvtest::dib(1, 1, 8, {0, 0}, {}, 2))) << "palette but no pixels";
    EXPECT_FALSE(zv::decode_dib(std::span<const std::uint8_t>(ok).first(39)));
    EXPECT_FALSE(zv::decode_dib({}));

    // Icon images: the mask and the alpha channel.
    auto i8 = zv::decode_icon_image(icon_image8());
    ASSERT_TRUE(i8);
    ASSERT_EQ(i8->height, 2);
    // Top row: transparent, red; bottom row: red, blue.
    EXPECT_EQ(i8->pixels, (Pixels{0x00000000, 0xFFFF0000, 0xFFFF0000, 0xFF0000FF}));

    // 32-bit with an all-zero alpha channel: the mask decides (the second pixel transparent).
    Bytes rows;
    rows.u32(0x00FFFFFF).u32(0x00FFFFFF).u32(0x40);
    auto flat = zv::decode_icon_image(zvtest::dib(2, 2, 32, {}, rows.b));
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->pixels, (Pixels{0xFFFFFFFF, 0x00FFFFFF}));

    // Palettised images need their mask; an odd stored height is not an icon.
    auto no_mask = icon_image8();
    no_mask.resize(no_mask.size() - 8);
    EXPECT_FALSE(zv::decode_icon_image(no_mask));
    auto odd = icon_image8();
    odd[8] = 3;
    EXPECT_FALSE(zv::decode_icon_image(odd));
}

}  // namespace
