// Handle lifetime, selection and stock objects.
#include "tests/platform/gdi/gdi_fixture.h"

namespace zv::test {
namespace {

using GdiObjects = GdiFixture;

TEST_F(GdiObjects, StockObjectsSelectionAndHandlesOfTheWrongKind)
{
    for (int i :
         {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, BLACK_PEN, NULL_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT}) {
        HGDIOBJ o = GetStockObject(i);
        ASSERT_NE(o, nullptr) << i;
        EXPECT_EQ(o, GetStockObject(i));
        EXPECT_TRUE(DeleteObject(o));
        EXPECT_NE(GetObjectType(o), 0u) << "stock object " << i << " was destroyed";
    }
    EXPECT_EQ(GetStockObject(9), nullptr);
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(GetStockObject(NULL_PEN)), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(GetObjectType(dc_), static_cast<DWORD>(OBJ_MEMDC));

    // Selecting returns the previous object; a fresh DC holds the stock ones.
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ first = SelectObject(dc_, red);
    EXPECT_EQ(first, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc_, first), red);
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_BRUSH), first);
    EXPECT_TRUE(DeleteObject(red));
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    EXPECT_EQ(SelectObject(dc_, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT)), GetStockObject(SYSTEM_FONT));
    SelectObject(dc_, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(pen));

    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(dc_, other), nullptr);
    EXPECT_FALSE(DeleteObject(other));
    EXPECT_EQ(FillRect(dc_, nullptr, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    RECT r{0, 0, 2, 2};
    EXPECT_EQ(FillRect(dc_, &r, reinterpret_cast<HBRUSH>(other)), 0);
    EXPECT_EQ(FillRect(dc_, &r, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_PEN))), 0);
    EXPECT_EQ(SelectObject(dc_, reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x12345})), nullptr);
    EXPECT_FALSE(DeleteObject(nullptr));
    DeleteDC(other);
    // A window DC has no bitmap to swap.
    HDC window_dc = create_surface_dc(std::make_shared<Surface>(4, 4), POINT{0, 0}, RECT{0, 0, 4, 4});
    HBITMAP b = CreateCompatibleBitmap(window_dc, 2, 2);
    EXPECT_EQ(SelectObject(window_dc, b), nullptr);
    DeleteObject(b);
    DeleteDC(window_dc);
}

TEST_F(GdiObjects, SelectedObjectsOutliveTheirDeletionUntilReleased)
{
    // A deleted brush still draws while selected and goes when released.
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(dc_, blue);
    EXPECT_TRUE(DeleteObject(blue));
    SelectObject(dc_, GetStockObject(NULL_PEN));
    Rectangle(dc_, 0, 0, 5, 5);
    EXPECT_EQ(px(1, 1), 0x0000FFu);
    SelectObject(dc_, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetObjectType(blue), 0u);
    EXPECT_EQ(SelectObject(dc_, blue), nullptr);

    // A selected bitmap is in one DC at a time and cannot be deleted.
    EXPECT_FALSE(DeleteObject(bitmap_));
    HDC other = CreateCompatibleDC(dc_);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(SelectObject(other, bitmap_), nullptr);
    HBITMAP spare = CreateCompatibleBitmap(dc_, 4, 4);
    HGDIOBJ old = SelectObject(dc_, spare);
    EXPECT_EQ(old, bitmap_);
    EXPECT_NE(SelectObject(other, bitmap_), nullptr);
    DeleteDC(other);
    EXPECT_TRUE(DeleteObject(bitmap_));
    bitmap_ = spare;
    // The stale handle no longer resolves anywhere.
    BITMAP bm{};
    EXPECT_EQ(GetObject(old, sizeof bm, &bm), 0);
    EXPECT_EQ(SelectObject(dc_, old), nullptr);
    EXPECT_FALSE(DeleteObject(old));
    EXPECT_EQ(bitmap_surface(static_cast<HBITMAP>(old)), nullptr);

    // DeleteDC releases its objects.
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 8, 8);
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
    SelectObject(dc, bmp);
    SelectObject(dc, pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(GetObjectType(pen), 0u);
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(SetTextColor(dc, 0), static_cast<COLORREF>(CLR_INVALID));
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
    EXPECT_FALSE(SetViewportOrgEx(dc, 1, 1, nullptr));
}

TEST_F(GdiObjects, BitmapsStartBlackAndDescribeThemselves)
{
    HBITMAP b = CreateCompatibleBitmap(dc_, 250, 232);
    BITMAP bm{};
    ASSERT_EQ(GetObject(b, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ((std::vector<LONG>{bm.bmWidth, bm.bmHeight, bm.bmWidthBytes}), (std::vector<LONG>{250, 232, 1000}));
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_NE(bm.bmBits, nullptr);
    EXPECT_EQ(GetObject(b, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    for (std::uint32_t p : bitmap_surface(b)->pixels()) ASSERT_EQ(p, 0u);
    DeleteObject(b);
    EXPECT_EQ(CreateCompatibleBitmap(dc_, -5, 10), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(dc_, 100000, 100000), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 5, 5), nullptr);

    const std::uint32_t pixels[4] = {0xFF112233, 0x00445566, 0x778899, 0xAABBCC};
    HBITMAP d = create_bitmap_from_pixels(2, 2, pixels);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(bitmap_surface(d)->pixel(0, 0), 0x112233u) << "the unused byte is cleared";
    EXPECT_EQ(bitmap_surface(d)->pixel(1, 1), 0xAABBCCu);
    EXPECT_EQ(create_bitmap_from_pixels(3, 3, pixels), nullptr) << "too few pixels";
    DeleteObject(d);
}

TEST(GdiState, RegistersWhileAliveAndCallsWithoutOneFailHarmlessly)
{
    ASSERT_EQ(GdiState::current(), nullptr);
    EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
    EXPECT_EQ(CreateSolidBrush(0), nullptr);
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), nullptr);
    EXPECT_FALSE(DeleteObject(nullptr));
    RECT r{0, 0, 1, 1};
    EXPECT_EQ(DrawText(nullptr, u"x", 1, &r, 0), 0);
    EXPECT_EQ(create_surface_dc(std::make_shared<Surface>(1, 1), POINT{0, 0}, r), nullptr);
    {
        GdiState outer;
        EXPECT_EQ(GdiState::current(), &outer);
        {
            GdiState inner;
            EXPECT_EQ(GdiState::current(), &inner);
        }
        EXPECT_EQ(GdiState::current(), &outer);
    }
    EXPECT_EQ(GdiState::current(), nullptr);
}

}  // namespace
}  // namespace zv::test
