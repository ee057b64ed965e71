// Generated .res files, whole and damaged: a damaged file gives fewer resources, never a crash.
#include <gtest/gtest.h>

#include <random>
#include <string>
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

std::vector<std::uint8_t> accel_table()
{
    Bytes b;
    b.u16(0x0B).u16('A').u16(40002).u16(0);
    b.u16(0x8B).u16('Q').u16(40000).u16(0);
    b.u16(0x01).u16('Z').u16(1).u16(0);  // after the end marker: not part of the table
    return b.b;
}

// A 2 x 2 8-bit icon image (colours, then mask: top-left transparent).
std::vector<std::uint8_t> icon_image8()
{
    Bytes rows;
    rows.u8(1).u8(2).u16(0);     // bottom row, padded to 4
    rows.u8(0).u8(1).u16(0);     // top row
    rows.u32(0x00000000);        // mask, bottom row
    rows.u8(0x80).u8(0).u16(0);  // mask, top row: pixel 0 transparent
    std::vector<std::uint8_t> d = zvtest::dib(2, 4, 8, {0x000000, 0xFF0000, 0x0000FF}, rows.b, 3);
    return d;
}

std::vector<std::uint8_t> icon_group(const std::vector<std::pair<int, int>>& size_bpp_id_base)
{
    Bytes b;
    b.u16(0).u16(1).u16(static_cast<unsigned>(size_bpp_id_base.size()));
    unsigned id = 1;
    for (auto [size, bpp] : size_bpp_id_base) {
        b.u8(static_cast<unsigned>(size))
            .u8(static_cast<unsigned>(size))
            .u8(0)
            .u8(0)
            .u16(1)
            .u16(static_cast<unsigned>(bpp));
        b.u32(100).u16(id++);
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

// `scale` 16 gives icon images of 16, 32 and 48 pixels; 1 keeps the file small for the
// byte-by-byte truncation sweep.
std::vector<std::uint8_t> sample_res(int scale = 16)
{
    Bytes bmp_rows;  // 2 x 2, 24-bit, bottom-up: blue green / red white
    bmp_rows.u8(0).u8(0).u8(255).u8(255).u8(255).u8(255).u16(0);
    bmp_rows.u8(255).u8(0).u8(0).u8(0).u8(255).u8(0).u16(0);
    return ResBuilder()
        .add(Id{6}, Id{1}, string_block({u"", u"Vemo", u"VEMO"}))
        .add(Id{9}, Id{2}, accel_table())
        .add(Id{2}, Id{129}, zvtest::dib(2, 2, 24, {}, bmp_rows.b))
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

TEST(GeneratedResFile, WholeFileAnswersEverything)
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
    EXPECT_EQ(zv::icon_pixels(icon)->width, 32);
    EXPECT_EQ(zv::icon_pixels(icon)->argb[0], 0xFF405060u);
    EXPECT_EQ(zv::icon_largest_pixels(icon)->width, 48);
    EXPECT_NE(FindResourceW(t.instance(), u"hi_res_aware", u"ceux"), nullptr);
}

TEST(GeneratedResFile, EveryTruncationKeepsWholeEntriesOnly)
{
    const std::vector<std::uint8_t> res = sample_res(1);
    const zv::ResourceTable whole(res);
    std::vector<std::size_t> ends;  // where each entry's data ends in the file
    for (const zv::ResourceEntry& e : whole.entries())
        ends.push_back(static_cast<std::size_t>(e.data.data() - res.data()) + e.data.size());

    for (std::size_t cut = 0; cut <= res.size(); ++cut) {
        // A copy of exactly `cut` bytes, so reading past it is caught by the sanitizers.
        const std::vector<std::uint8_t> part(res.begin(), res.begin() + static_cast<std::ptrdiff_t>(cut));
        zv::ResourceTable t(part);
        std::size_t expect = 0;
        while (expect < ends.size() && ends[expect] <= cut) ++expect;
        ASSERT_EQ(t.entries().size(), expect) << "cut at " << cut;
        exercise(t);
    }
}

TEST(GeneratedResFile, LengthsPastTheEndDropTheRest)
{
    std::vector<std::uint8_t> res = sample_res();
    const std::size_t second = 32 + 32 + ((string_block({u"", u"Vemo", u"VEMO"}).size() + 3) & ~std::size_t{3});
    ASSERT_LT(second + 8, res.size());

    auto data_size_huge = res;
    data_size_huge[second + 3] = 0x7F;  // the accelerator entry's data size, now ~2 GB
    zv::ResourceTable a(data_size_huge);
    EXPECT_EQ(a.entries().size(), 1u);
    exercise(a);

    auto header_huge = res;
    header_huge[second + 7] = 0xFF;
    zv::ResourceTable b(header_huge);
    EXPECT_EQ(b.entries().size(), 1u);

    auto header_tiny = res;
    header_tiny[second + 4] = 8;  // header too small to hold its fields
    zv::ResourceTable c(header_tiny);
    EXPECT_EQ(c.entries().size(), 1u);

    // A name whose terminator lies outside its header.
    std::vector<std::uint8_t> unterminated = ResBuilder().bytes();
    Bytes h;
    h.u32(0).u32(32);
    for (int i = 0; i < 12; ++i) h.u16('X');
    unterminated.insert(unterminated.end(), h.b.begin(), h.b.end());
    zv::ResourceTable d(unterminated);
    EXPECT_TRUE(d.entries().empty());
}

TEST(GeneratedResFile, BadStringBlocksReadAsMissing)
{
    Bytes overrun;
    overrun.u16(2).u16('o').u16('k').u16(500).u16('x');  // string 1 claims 500 units
    const auto res = ResBuilder().add(Id{6}, Id{1}, overrun.b).add(Id{6}, Id{2}, {}).bytes();
    zv::ResourceTable t(res);
    WCHAR buf[8];
    EXPECT_EQ(LoadStringW(t.instance(), 0, buf, 8), 2);
    EXPECT_EQ(LoadStringW(t.instance(), 1, buf, 8), 0);
    EXPECT_EQ(LoadStringW(t.instance(), 5, buf, 8), 0) << "walk past the block's end";
    EXPECT_EQ(LoadStringW(t.instance(), 16, buf, 8), 0) << "empty block";
}

TEST(GeneratedResFile, BadIconGroupsAndImages)
{
    Bytes wrong_type;
    wrong_type.u16(0).u16(2).u16(1);
    Bytes too_many;  // claims 40 entries, holds one
    too_many.u16(0).u16(1).u16(40).u8(32).u8(32).u8(0).u8(0).u16(1).u16(32).u32(0).u16(9);
    std::vector<std::uint8_t> bad_image = icon_image32(32, 0xFF000000);
    bad_image.resize(bad_image.size() / 2);
    const auto res = ResBuilder()
                         .add(Id{14}, Id{1}, wrong_type.b)
                         .add(Id{14}, Id{2}, too_many.b)
                         .add(Id{14}, Id{3}, icon_group({{32, 32}}))
                         .add(Id{3}, Id{1}, bad_image)
                         .add(Id{3}, Id{9}, icon_image8())
                         .bytes();
    zv::ResourceTable t(res);
    EXPECT_EQ(LoadIconW(t.instance(), MAKEINTRESOURCE(1)), nullptr);
    HICON two = LoadIconW(t.instance(), MAKEINTRESOURCE(2));
    ASSERT_NE(two, nullptr) << "the entries that are there still count";
    EXPECT_EQ(zv::icon_pixels(two)->width, 2);
    EXPECT_EQ(LoadIconW(t.instance(), MAKEINTRESOURCE(3)), nullptr) << "its only image is cut short";
}

TEST(GeneratedResFile, RandomBytesAndMutatedRealBlob)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> junk(rng() % 600);
        for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
        // Give some rounds a plausible first header so parsing goes deeper.
        if (round % 2 && junk.size() > 8) {
            junk[4] = 32;
            junk[5] = junk[6] = junk[7] = 0;
        }
        zv::ResourceTable t(junk);
        exercise(t);
    }
    // The real file with a few bytes changed in its resource data and headers.
    const std::vector<std::uint8_t> real(zv_resource_blob, zv_resource_blob + zv_resource_blob_size);
    for (int round = 0; round < 15; ++round) {
        std::vector<std::uint8_t> m = real;
        for (int k = 0; k < 8; ++k) m[rng() % m.size()] = static_cast<std::uint8_t>(rng());
        zv::ResourceTable t(m);
        exercise(t);
    }
}

// ---- DIB decoding ----

TEST(DibDecode, TwentyFourBitBottomUpAndTopDown)
{
    Bytes rows;                                               // stored first: bottom row of a bottom-up image
    rows.u8(0).u8(0).u8(255).u8(255).u8(255).u8(255).u16(0);  // red, white
    rows.u8(255).u8(0).u8(0).u8(0).u8(255).u8(0).u16(0);      // blue, green
    auto up = zv::decode_dib(zvtest::dib(2, 2, 24, {}, rows.b));
    ASSERT_TRUE(up);
    EXPECT_EQ(up->pixels, (std::vector<std::uint32_t>{0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}));
    auto down = zv::decode_dib(zvtest::dib(2, -2, 24, {}, rows.b));
    ASSERT_TRUE(down);
    EXPECT_EQ(down->pixels, (std::vector<std::uint32_t>{0xFF0000, 0xFFFFFF, 0x0000FF, 0x00FF00}));
}

TEST(DibDecode, PalettisedDepths)
{
    // 8-bit with a 2-entry palette: index 7 lies outside it and shows black.
    Bytes r8;
    r8.u8(1).u8(7).u8(0).u8(0);
    auto d8 = zv::decode_dib(zvtest::dib(3, 1, 8, {0x112233, 0x445566}, r8.b, 2));
    ASSERT_TRUE(d8);
    EXPECT_EQ(d8->pixels, (std::vector<std::uint32_t>{0x445566, 0, 0x112233}));

    std::vector<std::uint32_t> pal16(16, 0);
    pal16[0xA] = 0xABCDEF;
    pal16[0x3] = 0x030303;
    Bytes r4;
    r4.u8(0xA3).u8(0x30).u16(0);
    auto d4 = zv::decode_dib(zvtest::dib(3, 1, 4, pal16, r4.b));
    ASSERT_TRUE(d4);
    EXPECT_EQ(d4->pixels, (std::vector<std::uint32_t>{0xABCDEF, 0x030303, 0x030303}));

    Bytes r1;
    r1.u8(0b10100000).u8(0).u16(0);
    auto d1 = zv::decode_dib(zvtest::dib(3, 1, 1, {0x000000, 0xFFFFFF}, r1.b));
    ASSERT_TRUE(d1);
    EXPECT_EQ(d1->pixels, (std::vector<std::uint32_t>{0xFFFFFF, 0, 0xFFFFFF}));
}

TEST(DibDecode, RejectsWhatItCannotRead)
{
    Bytes row;
    row.u32(0);
    const auto ok = zvtest::dib(1, 1, 24, {}, row.b);
    ASSERT_TRUE(zv::decode_dib(ok));

    auto set32 = [](std::vector<std::uint8_t> d, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        return d;
    };
    auto set16 = [](std::vector<std::uint8_t> d, std::size_t at, unsigned v) {
        d[at] = static_cast<std::uint8_t>(v);
        d[at + 1] = static_cast<std::uint8_t>(v >> 8);
        return d;
    };
    EXPECT_FALSE(zv::decode_dib(set32(ok, 0, 12))) << "old core header";
    EXPECT_FALSE(zv::decode_dib(set32(ok, 0, 4000))) << "header longer than the data";
    EXPECT_FALSE(zv::decode_dib(set32(ok, 4, 0))) << "zero width";
    EXPECT_FALSE(zv::decode_dib(set32(ok, 4, 0x80000000u))) << "negative width";
    EXPECT_FALSE(zv::decode_dib(set32(ok, 8, 0x80000000u))) << "height INT_MIN";
    EXPECT_FALSE(zv::decode_dib(set32(set32(ok, 4, 30000), 8, 30000))) << "too many pixels";
    EXPECT_FALSE(zv::decode_dib(set32(ok, 8, 2))) << "rows past the end";
    EXPECT_FALSE(zv::decode_dib(set16(ok, 12, 2))) << "planes";
    EXPECT_FALSE(zv::decode_dib(set16(ok, 14, 16))) << "16-bit";
    EXPECT_FALSE(zv::decode_dib(set32(ok, 16, 1))) << "RLE compression";
    EXPECT_FALSE(zv::decode_dib(zvtest::dib(1, 1, 8, {0, 0}, row.b, 300))) << "palette larger than the depth allows";
    EXPECT_FALSE(zv::decode_dib(zvtest::dib(1, 1, 8, {0, 0}, {}, 2))) << "palette but no pixels";
    EXPECT_FALSE(zv::decode_dib(std::span<const std::uint8_t>(ok).first(39)));
    EXPECT_FALSE(zv::decode_dib({}));
}

TEST(IconImageDecode, MaskAndAlpha)
{
    auto i8 = zv::decode_icon_image(icon_image8());
    ASSERT_TRUE(i8);
    ASSERT_EQ(i8->height, 2);
    // Top row: transparent, red; bottom row: red, blue.
    EXPECT_EQ(i8->pixels, (std::vector<std::uint32_t>{0x00000000, 0xFFFF0000, 0xFFFF0000, 0xFF0000FF}));

    // 32-bit with an all-zero alpha channel: the mask decides.
    Bytes rows;
    rows.u32(0x00FFFFFF).u32(0x00FFFFFF);  // 2 x 1 colours
    rows.u8(0x40).u8(0).u16(0);            // mask: second pixel transparent
    auto flat = zv::decode_icon_image(zvtest::dib(2, 2, 32, {}, rows.b));
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->pixels, (std::vector<std::uint32_t>{0xFFFFFFFF, 0x00FFFFFF}));

    // Palettised images need their mask; an odd stored height is not an icon.
    auto no_mask = icon_image8();
    no_mask.resize(no_mask.size() - 8);
    EXPECT_FALSE(zv::decode_icon_image(no_mask));
    auto odd = icon_image8();
    odd[8] = 3;
    EXPECT_FALSE(zv::decode_icon_image(odd));
}

}  // namespace
