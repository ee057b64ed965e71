// BitBlt and StretchBlt: origins, clipping, overlap, filtering.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "tests/platform/gdi/gdi_fixture.h"

namespace zv::test {
namespace {

using Pixels = std::vector<std::uint32_t>;

class Blit : public GdiFixture {
protected:
    // A second memory DC over a bitmap filled by `paint(x, y)`, replacing the previous one.
    HDC source(int w, int h, std::uint32_t (*paint)(int, int))
    {
        drop_source();
        src_dc_ = CreateCompatibleDC(dc_);
        src_bmp_ = CreateCompatibleBitmap(dc_, w, h);
        SelectObject(src_dc_, src_bmp_);
        auto s = bitmap_surface(src_bmp_);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) s->set_pixel(x, y, paint(x, y));
        return src_dc_;
    }
    void drop_source()
    {
        if (src_dc_) DeleteDC(src_dc_);
        if (src_bmp_) DeleteObject(src_bmp_);
        src_dc_ = nullptr;
        src_bmp_ = nullptr;
    }
    void TearDown() override
    {
        drop_source();
        GdiFixture::TearDown();
    }
    HDC src_dc_ = nullptr;
    HBITMAP src_bmp_ = nullptr;
};

std::uint32_t coords(int x, int y) { return static_cast<std::uint32_t>((x << 8) | y); }
std::uint32_t flat(int, int) { return 0x336699; }

// Each channel of destination pixel (dx, dy) as the exact area average of the source rectangle
// it covers, for a shrink of sw x sh onto dw x dh.
double area_average(const Surface& s, int sw, int sh, int dw, int dh, int dx, int dy, int shift)
{
    const double fx = static_cast<double>(sw) / dw, fy = static_cast<double>(sh) / dh;
    const double x0 = dx * fx, x1 = x0 + fx, y0 = dy * fy, y1 = y0 + fy;
    double sum = 0;
    for (int y = static_cast<int>(y0); y < sh && y < y1; ++y)
        for (int x = static_cast<int>(x0); x < sw && x < x1; ++x) {
            const double cover = (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) *
                                 (std::min<double>(y + 1, y1) - std::max<double>(y, y0));
            sum += cover * ((s.pixel(x, y) >> shift) & 0xFF);
        }
    return sum / (fx * fy);
}

TEST_F(Blit, BitBltAndStretchBlt)
{
    HDC src = source(16, 16, coords);
    SetViewportOrgEx(src, 0, -4, nullptr);  // logical row 4 is row 0 of the bitmap
    SetViewportOrgEx(dc_, 2, 0, nullptr);
    EXPECT_TRUE(BitBlt(dc_, 0, 0, 3, 2, src, 1, 5, SRCCOPY));
    EXPECT_EQ(at({{2, 0}, {4, 1}}), (Pixels{coords(1, 1), coords(3, 2)}));
    EXPECT_EQ(ink(0), 6);
    EXPECT_FALSE(BitBlt(dc_, 0, 0, 3, 2, src, 1, 5, 0x00EE0086)) << "only SRCCOPY";
    EXPECT_FALSE(BitBlt(dc_, 0, 0, 3, 2, nullptr, 1, 5, SRCCOPY));

    src = source(4, 4, flat);
    SetViewportOrgEx(dc_, 0, 0, nullptr);
    canvas_->fill(0xFFFFFF);
    EXPECT_TRUE(BitBlt(dc_, 0, 0, 10, 10, src, -2, -1, SRCCOPY));
    EXPECT_EQ(at({{1, 1}, {2, 1}, {5, 4}, {6, 4}}), (Pixels{0xFFFFFF, 0x336699, 0x336699, 0xFFFFFF}));
    EXPECT_EQ(ink(0xFFFFFF), 16);
    // And never writes past the destination.
    EXPECT_TRUE(BitBlt(dc_, 30, 22, 10, 10, src, 0, 0, SRCCOPY));
    EXPECT_EQ(ink(0xFFFFFF), 16 + 4);

    // Within one surface, overlapping either way.
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) canvas_->set_pixel(x, y, coords(x, y));
    EXPECT_TRUE(BitBlt(dc_, 1, 2, 20, 20, dc_, 0, 0, SRCCOPY));
    EXPECT_EQ(at({{1, 2}, {20, 21}}), (Pixels{coords(0, 0), coords(19, 19)}));
    EXPECT_TRUE(BitBlt(dc_, 0, 0, 20, 20, dc_, 1, 2, SRCCOPY));
    EXPECT_EQ(at({{0, 0}, {19, 19}}), (Pixels{coords(0, 0), coords(19, 19)}));

    // A back buffer's slice reaches the screen.
    // A list taller than the buffer is painted at viewport (0, -400); only rows 400.. land.
    make_canvas(24, 32);
    SetViewportOrgEx(dc_, 0, -400, nullptr);
    HBRUSH b = CreateSolidBrush(RGB(0, 0, 0xFF));
    RECT item{0, 400, 24, 440};
    RECT above{0, 360, 24, 400};
    FillRect(dc_, &above, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FillRect(dc_, &item, b);
    EXPECT_EQ(ink(RECT{0, 0, 24, 32}, 0xFF), 0);

    auto screen = std::make_shared<Surface>(24, 32);
    HDC screen_dc = create_surface_dc(screen, POINT{0, 0}, RECT{0, 0, 24, 32});
    SetViewportOrgEx(screen_dc, 0, -400, nullptr);
    EXPECT_TRUE(BitBlt(screen_dc, 0, 400, 24, 32, dc_, 0, 400, SRCCOPY));
    EXPECT_EQ(at(*screen, {{0, 0}, {23, 31}}), (Pixels{0xFF, 0xFF}));
    DeleteDC(screen_dc);
    DeleteObject(b);

    // StretchBlt averages what it shrinks, keeps edges and order, and clips. A 1-pixel
    // checkerboard halves to flat grey, not to one of its colours.
    make_canvas(32, 24);
    src = source(8, 8, [](int x, int y) -> std::uint32_t { return ((x + y) & 1) ? 0xFFFFFF : 0; });
    EXPECT_TRUE(StretchBlt(dc_, 0, 0, 4, 4, src, 0, 0, 8, 8, SRCCOPY));
    HDC empty = CreateCompatibleDC(dc_);  // no bitmap selected: nothing to draw from or into
    EXPECT_TRUE(StretchBlt(empty, 0, 0, 4, 4, src, 0, 0, 8, 8, SRCCOPY));
    EXPECT_TRUE(StretchBlt(dc_, 20, 0, 4, 4, empty, 0, 0, 8, 8, SRCCOPY));
    DeleteDC(empty);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const std::uint32_t p = px(x, y);
            EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 1);
            EXPECT_EQ((p >> 16) & 0xFF, p & 0xFF);
        }

    // Whole and fractional factors, odd widths (the vector loops' tails), one source column.
    const std::array<int, 4> cases[] = {{1000, 1000, 250, 232}, {37, 23, 5, 7}, {641, 97, 333, 40},
                                        {5, 3, 3, 2},           {1, 50, 1, 9},  {90, 90, 89, 13}};
    for (const auto [sw, sh, dw, dh] : cases) {
        SCOPED_TRACE(testing::Message() << sw << "x" << sh << " -> " << dw << "x" << dh);
        make_canvas(dw, dh);
        src = source(sw, sh, [](int x, int y) -> std::uint32_t {
            std::uint32_t h = static_cast<std::uint32_t>(x) * 2654435761u ^ static_cast<std::uint32_t>(y) * 40503u;
            h ^= h >> 13;
            return (h * 0x9E3779B1u) & 0x00FFFFFFu;
        });
        ASSERT_TRUE(StretchBlt(dc_, 0, 0, dw, dh, src, 0, 0, sw, sh, SRCCOPY));
        const auto s = bitmap_surface(src_bmp_);
        int worst = 0;
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x) {
                const std::uint32_t got = px(x, y);
                EXPECT_EQ(got >> 24, 0u);
                for (int shift : {0, 8, 16}) {
                    const double want = area_average(*s, sw, sh, dw, dh, x, y, shift);
                    worst = std::max(worst, static_cast<int>(std::abs(((got >> shift) & 0xFF) - want) + 0.5));
                }
            }
        // Weights are quantised to 1/256 on each axis.
        EXPECT_LE(worst, 3);
    }

    // The album art call keeps flat colours exact: one column to the left, so the last column
    // stays as created.
    make_canvas(250, 232);
    src = source(1000, 1000, flat);
    EXPECT_TRUE(StretchBlt(dc_, -1, 0, 250, 232, src, 0, 0, 1000, 1000, SRCCOPY));
    EXPECT_EQ(at({{0, 0}, {248, 231}, {249, 0}, {249, 231}}), (Pixels{0x336699, 0x336699, 0, 0}));
    EXPECT_EQ(ink(RECT{0, 0, 249, 232}, 0x336699), 0);

    // Tens of source rows or columns per destination pixel: the quantised weights must still add
    // up to one, or a flat picture comes out tinted or wrapped round.
    make_canvas(3, 232);
    src = source(4, 16384, [](int, int) -> std::uint32_t { return 0xFFFFFF; });
    ASSERT_TRUE(StretchBlt(dc_, 0, 0, 3, 232, src, 0, 0, 4, 16384, SRCCOPY));
    EXPECT_EQ(ink(RECT{0, 0, 3, 232}, 0xFFFFFF), 0);
    make_canvas(250, 2);
    src = source(16000, 3, [](int x, int) -> std::uint32_t { return static_cast<std::uint32_t>(x * 255 / 15999); });
    ASSERT_TRUE(StretchBlt(dc_, 0, 0, 250, 2, src, 0, 0, 16000, 3, SRCCOPY));
    for (int x = 1; x < 250; ++x) EXPECT_GE(px(x, 0) & 0xFF, px(x - 1, 0) & 0xFF) << x;
    EXPECT_LE(px(0, 0) & 0xFF, 1u);
    EXPECT_GE(px(249, 0) & 0xFF, 254u);

    // Growing keeps edges and order, and clips.
    make_canvas(32, 24);
    src = source(2, 2, [](int x, int y) -> std::uint32_t {
        return x == 0 ? (y == 0 ? 0xFF0000 : 0x00FF00) : (y == 0 ? 0x0000FF : 0xFFFFFF);
    });
    EXPECT_TRUE(StretchBlt(dc_, 0, 0, 8, 8, src, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(at({{0, 0}, {7, 0}, {0, 7}, {7, 7}}), (Pixels{0xFF0000, 0x0000FF, 0x00FF00, 0xFFFFFF}));
    // Mirrored when one width is negative.
    canvas_->fill(0);
    EXPECT_TRUE(StretchBlt(dc_, 8, 0, -8, 8, src, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(at({{0, 0}, {7, 0}}), (Pixels{0x0000FF, 0xFF0000}));
    // Each axis flips on its own signs: a negative source width mirrors only across, one negative
    // height only upside down, and negative heights on both sides cancel out.
    EXPECT_TRUE(StretchBlt(dc_, 0, 0, 8, 8, src, 2, 0, -2, 2, SRCCOPY));
    EXPECT_EQ(at({{0, 0}, {0, 7}}), (Pixels{0x0000FF, 0xFFFFFF}));
    EXPECT_TRUE(StretchBlt(dc_, 0, 8, 8, -8, src, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(at({{0, 0}, {0, 7}}), (Pixels{0x00FF00, 0xFF0000}));
    canvas_->fill(0);
    EXPECT_TRUE(StretchBlt(dc_, 0, 2, 2, -2, src, 0, 2, 2, -2, SRCCOPY));
    EXPECT_EQ(at({{0, 0}, {0, 1}}), (Pixels{0xFF0000, 0x00FF00}));

    src = source(4, 4, flat);
    canvas_->fill(0xFFFFFF);
    SetViewportOrgEx(dc_, -10, -10, nullptr);
    EXPECT_TRUE(StretchBlt(dc_, 0, 0, 50, 50, src, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(ink(0x336699), 0) << "destination fully covered";
    // A source rectangle outside the bitmap reads nothing.
    canvas_->fill(0xFFFFFF);
    EXPECT_TRUE(StretchBlt(dc_, 0, 0, 40, 40, src, 100, 100, 4, 4, SRCCOPY));
    EXPECT_EQ(ink(0xFFFFFF), 0);
    EXPECT_TRUE(StretchBlt(dc_, 0, 0, 0, 40, src, 0, 0, 4, 4, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dc_, 0, 0, 10, 10, src, 0, 0, 4, 4, 0));
    // Absurd extents neither crash nor hang.
    EXPECT_TRUE(StretchBlt(dc_, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, src, 0, 0, INT32_MAX, 4, SRCCOPY));
}

}  // namespace
}  // namespace zv::test
