// Fills, rectangles, viewport origins, clip boxes and DC attributes.
#include "aygshell.h"
#include "tests/platform/gdi/gdi_fixture.h"

namespace zv::test {
namespace {

using Drawing = GdiFixture;

TEST_F(Drawing, FillsAndRectanglesFollowTheViewportAndClip)
{
    HBRUSH b = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
    RECT r{2, 3, 5, 7};
    EXPECT_NE(FillRect(dc_, &r, b), 0);
    EXPECT_EQ(px(2, 3), 0x102030u);
    EXPECT_EQ(px(4, 6), 0x102030u);
    EXPECT_EQ(px(5, 6), 0u);
    EXPECT_EQ(px(4, 7), 0u);
    EXPECT_EQ(ink(0), 3 * 4);

    canvas_->fill(0);
    SetViewportOrgEx(dc_, 10, -3, nullptr);
    EXPECT_NE(FillRect(dc_, &r, b), 0);
    EXPECT_EQ(px(12, 0), 0x102030u);
    EXPECT_EQ(ink(0), 3 * 4);

    // Fills are clipped to the bitmap, whatever the extents.
    SetViewportOrgEx(dc_, 0, 0, nullptr);
    RECT huge{-1000000, -1000000, 1000000, 1000000};
    FillRect(dc_, &huge, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(ink(0), 32 * 24);
    RECT extreme{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    SetViewportOrgEx(dc_, INT32_MAX, INT32_MAX, nullptr);
    FillRect(dc_, &extreme, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(ink(0xFFFFFF), 32 * 24);
    RECT inverted{10, 10, 5, 5};
    canvas_->fill(0);
    SetViewportOrgEx(dc_, 0, 0, nullptr);
    FillRect(dc_, &inverted, b);
    EXPECT_EQ(ink(0), 0);
    DeleteObject(b);

    // Rectangle outlines with the pen and fills with the brush, as the playlist's frame: grey
    // pen, light brush.
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xE6, 0xE6, 0xE6));
    HBRUSH brush = CreateSolidBrush(RGB(0xFA, 0xFA, 0xFA));
    SelectObject(dc_, pen);
    SelectObject(dc_, brush);
    EXPECT_TRUE(Rectangle(dc_, -1, 2, 10, 8));
    EXPECT_EQ(px(0, 2), 0xE6E6E6u);  // top edge
    EXPECT_EQ(px(9, 2), 0xE6E6E6u);
    EXPECT_EQ(px(0, 7), 0xE6E6E6u);  // bottom edge is bottom - 1
    EXPECT_EQ(px(9, 5), 0xE6E6E6u);  // right edge is right - 1
    EXPECT_EQ(px(0, 5), 0xFAFAFAu);  // left edge at x = -1 is off the bitmap
    EXPECT_EQ(px(8, 6), 0xFAFAFAu);
    EXPECT_EQ(px(10, 5), 0u);
    EXPECT_EQ(px(5, 8), 0u);

    canvas_->fill(0);
    SelectObject(dc_, GetStockObject(NULL_BRUSH));
    Rectangle(dc_, 0, 0, 6, 6);
    EXPECT_EQ(px(3, 3), 0u) << "a null brush leaves the inside alone";
    EXPECT_EQ(px(5, 3), 0xE6E6E6u);

    canvas_->fill(0);
    SelectObject(dc_, GetStockObject(NULL_PEN));
    SelectObject(dc_, brush);
    Rectangle(dc_, 0, 0, 6, 6);
    EXPECT_EQ(ink(0), 5 * 5) << "without a pen the fill is one pixel smaller";

    SelectObject(dc_, GetStockObject(BLACK_PEN));
    SelectObject(dc_, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST_F(Drawing, ClipBoxIsInLogicalCoordinatesAndSurfaceDcsDrawInsideTheirClip)
{
    RECT r{};
    EXPECT_EQ(GetClipBox(dc_, &r), SIMPLEREGION);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 32);
    EXPECT_EQ(r.bottom, 24);
    POINT prev{};
    SetViewportOrgEx(dc_, 0, -400, &prev);
    EXPECT_EQ(prev.y, 0);
    EXPECT_EQ(GetClipBox(dc_, &r), SIMPLEREGION);
    EXPECT_EQ(r.top, 400);
    EXPECT_EQ(r.bottom, 424);
    POINT org{};
    EXPECT_TRUE(GetViewportOrgEx(dc_, &org));
    EXPECT_EQ(org.y, -400);

    // A DC onto a window surface: its own origin and clip, then the viewport on top.
    auto surface = std::make_shared<Surface>(100, 100);
    HDC wdc = create_surface_dc(surface, POINT{20, 30}, RECT{20, 30, 60, 50});
    EXPECT_EQ(GetClipBox(wdc, &r), SIMPLEREGION);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 40);
    EXPECT_EQ(r.bottom, 20);
    SetViewportOrgEx(wdc, 5, 5, nullptr);
    GetClipBox(wdc, &r);
    EXPECT_EQ(r.left, -5);
    EXPECT_EQ(r.bottom, 15);
    HDC empty = create_surface_dc(surface, POINT{0, 0}, RECT{200, 200, 300, 300});
    EXPECT_EQ(GetClipBox(empty, &r), NULLREGION);
    DeleteDC(empty);
    DeleteDC(wdc);

    // It draws at its origin inside its clip.
    surface = std::make_shared<Surface>(50, 50);
    wdc = create_surface_dc(surface, POINT{10, 10}, RECT{10, 10, 30, 20});
    RECT all{-100, -100, 100, 100};
    FillRect(wdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    int n = 0;
    for (std::uint32_t p : surface->pixels()) n += p != 0;
    EXPECT_EQ(n, 20 * 10);
    EXPECT_EQ(surface->pixel(10, 10), 0xFFFFFFu);
    EXPECT_EQ(surface->pixel(29, 19), 0xFFFFFFu);
    EXPECT_EQ(surface->pixel(30, 19), 0u);

    surface->fill(0);
    RECT cell{0, 0, 2, 2};
    FillRect(wdc, &cell, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(surface->pixel(10, 10), 0xFFFFFFu);
    EXPECT_EQ(surface->pixel(9, 9), 0u);
    EXPECT_EQ(GetDeviceCaps(wdc, BITSPIXEL), 32);

    // The surface can shrink under a live DC (a resized window) without drawing out of bounds.
    surface->resize(12, 12);
    FillRect(wdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(surface->pixel(11, 11), 0xFFFFFFu);
    DeleteDC(wdc);
}

TEST_F(Drawing, DcAttributesHaveWin32DefaultsAndPixelsSurviveAPngRoundTrip)
{
    EXPECT_EQ(GetBkMode(dc_), OPAQUE);
    EXPECT_EQ(GetTextColor(dc_), 0u);
    EXPECT_EQ(GetBkColor(dc_), 0xFFFFFFu);
    EXPECT_EQ(SetTextColor(dc_, 0x00FFFDF0), 0u);
    EXPECT_EQ(GetTextColor(dc_), 0x00FFFDF0u);
    EXPECT_EQ(SetBkMode(dc_, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc_, 7), 0);
    EXPECT_EQ(GetBkMode(dc_), TRANSPARENT);
    EXPECT_EQ(SetBkColor(dc_, 0x123456), 0xFFFFFFu);
    EXPECT_EQ(GetBkColor(dc_), 0x123456u);

    // What is drawn survives a PNG round trip.
    canvas_->set_pixel(0, 0, 0x123456);
    canvas_->set_pixel(31, 23, 0xABCDEF);
    const std::string path = ::testing::TempDir() + "/zv_gdi_roundtrip.png";
    ASSERT_TRUE(write_png(*canvas_, path));
    EXPECT_FALSE(write_png(Surface{}, path));
    EXPECT_FALSE(write_png(*canvas_, "/nonexistent-dir/x.png"));
    std::u16string wide(path.begin(), path.end());
    HBITMAP back = SHLoadImageFile(wide.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(bitmap_surface(back)->pixels(), canvas_->pixels());
    DeleteObject(back);
}

}  // namespace
}  // namespace zv::test
