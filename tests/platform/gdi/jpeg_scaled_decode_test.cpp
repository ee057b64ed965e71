// Bitmaps loaded from JPEG bytes stay compressed until drawn: a shrinking StretchBlt decodes at
// the smallest DCT scale that covers the destination, every other use decodes at its own size.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "gdi/deferred_jpeg.h"
#include "gdi/image_decoders.h"
#include "tests/platform/gdi/gdi_fixture.h"
#include "tools/fixtures.h"

namespace zv::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes& cover()
{
    static const Bytes bytes = fixtures::make_cover_jpeg(1000, 1000, 7);
    return bytes;
}

BITMAP header(HBITMAP b)
{
    BITMAP bm{};
    GetObject(b, sizeof bm, &bm);
    return bm;
}

// A compressed picture answers its size but shows no bits.
bool still_compressed(HBITMAP b) { return header(b).bmWidth > 0 && header(b).bmBits == nullptr; }

class JpegScaledDecode : public GdiFixture {
protected:
    // The whole picture squeezed into a fresh w x h canvas from x = -1, as the now-playing cover is.
    Surface shrink(HBITMAP picture, int w, int h)
    {
        make_canvas(w, h);
        HDC src = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(src, picture);
        EXPECT_TRUE(
            StretchBlt(dc_, -1, 0, w, h, src, 0, 0, header(picture).bmWidth, header(picture).bmHeight, SRCCOPY));
        SelectObject(src, old);
        DeleteDC(src);
        return *canvas_;
    }
};

TEST_F(JpegScaledDecode, ShrunkCoverIsCloseToFullDecodeThenAverageNeverDecodedFullAndDamagedDrawsBlack)
{
    const std::size_t objects = gdi_.object_count();
    HBITMAP lazy = create_bitmap_from_picture(cover());
    HBITMAP eager = create_bitmap_from_surface(decode_jpeg(cover()));
    ASSERT_TRUE(lazy && eager);
    EXPECT_EQ(header(lazy).bmWidth, 1000);
    EXPECT_EQ(header(lazy).bmHeight, 1000);

    const Surface got = shrink(lazy, 250, 232), want = shrink(eager, 250, 232);
    EXPECT_TRUE(still_compressed(lazy)) << "only the reduced decode ran";
    // Measured with libjpeg-turbo 2.1: mean 0.46 per channel, largest 3 (the 2/8 DCT decode
    // rounds differently from averaging 4 x 4 decoded pixels); the bounds leave room for others.
    int total = 0, worst = 0;
    for (std::size_t i = 0; i < got.pixels().size(); ++i)
        for (int shift : {0, 8, 16}) {
            const int d = std::abs(static_cast<int>((got.pixels()[i] >> shift) & 0xFF) -
                                   static_cast<int>((want.pixels()[i] >> shift) & 0xFF));
            total += d;
            worst = std::max(worst, d);
        }
    EXPECT_LE(total, 3 * 250 * 232) << "a mean difference of at most 1 per channel";
    EXPECT_LE(worst, 8);

    DeleteObject(lazy);
    DeleteObject(eager);
    EXPECT_EQ(gdi_.object_count(), objects);

    // Cut short, it is refused at load (no end marker); with the end marker put back after half
    // the data, the header is sound and the scan is not: it draws black at any size.
    const Bytes cut(cover().begin(), cover().begin() + static_cast<long>(cover().size() / 2));
    EXPECT_EQ(create_bitmap_from_picture(cut), nullptr);
    Bytes damaged = cut;
    damaged.insert(damaged.end(), {0xFF, 0xD9});
    HBITMAP b = create_bitmap_from_picture(damaged);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(still_compressed(b));
    EXPECT_EQ(shrink(b, 250, 232).pixels(), Surface(250, 232).pixels());
    EXPECT_EQ(bitmap_surface(b)->pixels(), Surface(1000, 1000).pixels()) << "and so at its own size";
    DeleteObject(b);
}

TEST_F(JpegScaledDecode, AnyOtherUseDecodesAtItsOwnSizeExactly)
{
    static RECT clip_box;
    const Bytes bytes = fixtures::make_cover_jpeg(96, 64, 3);
    const std::shared_ptr<Surface> full = decode_jpeg(bytes);
    ASSERT_TRUE(full);
    make_canvas(96, 64);
    struct Use {
        const char* name;
        void (*run)(HDC canvas, HDC picture);
    };
    const Use uses[] = {
        {"StretchBlt enlarging", [](HDC c, HDC p) { StretchBlt(c, 0, 0, 96, 64, p, 0, 0, 48, 32, SRCCOPY); }},
        {"BitBlt", [](HDC c, HDC p) { BitBlt(c, 0, 0, 96, 64, p, 0, 0, SRCCOPY); }},
        {"clip box of its DC", [](HDC, HDC p) { GetClipBox(p, &clip_box); }},
    };
    for (const Use& use : uses) {
        HBITMAP b = create_bitmap_from_picture(bytes);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, b);
        use.run(dc_, dc);
        EXPECT_FALSE(still_compressed(b)) << use.name;
        EXPECT_EQ(bitmap_surface(b)->pixels(), full->pixels()) << use.name;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(b);
    }
    EXPECT_EQ(canvas_->pixels(), full->pixels()) << "the copy at its own size";
    EXPECT_EQ(clip_box.right, 96);
    EXPECT_EQ(clip_box.bottom, 64);
}

TEST_F(JpegScaledDecode, ScaleIsTheSmallestThatCoversTheDestination)
{
    const auto square = read_jpeg_geometry(cover());
    const auto small = read_jpeg_geometry(fixtures::make_cover_jpeg(300, 300, 1));
    ASSERT_TRUE(square && small);
    struct Row {
        const JpegGeometry& g;
        RECT src;
        int w, h;
        unsigned eighths;
    };
    // clang-format off
    const Row rows[] = {
        {*square, {0, 0, 1000, 1000}, 250, 232, 2},
        {*square, {0, 0, 1000, 1000}, 126, 126, 2},  // 125 would not cover 126
        {*square, {0, 0, 1000, 1000}, 125, 40, 1},
        {*square, {0, 0, 1000, 1000}, 600, 100, 5},
        {*square, {0, 0, 500, 1000}, 125, 250, 2},   // half the picture
        {*square, {3, 0, 1000, 1000}, 100, 100, 8},  // an edge between pixels of every reduced decode
        {*square, {0, 0, 1000, 1000}, 1000, 1000, 8},
        {*small, {0, 0, 300, 300}, 299, 299, 8},
    };
    // clang-format on
    for (const Row& r : rows)
        EXPECT_EQ(stretch_eighths(r.g, r.src, r.w, r.h), r.eighths)
            << r.src.right - r.src.left << " -> " << r.w << " x " << r.h;
}

}  // namespace
}  // namespace zv::test
