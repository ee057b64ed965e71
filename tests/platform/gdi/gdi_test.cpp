// Fills, rectangles, viewport origins, clip boxes and DC attributes; handle lifetime, selection
// and stock objects; kept pixel buffers.
#include <algorithm>

#include "aygshell.h"
#include "gdi/pixel_memory.h"
#include "tests/platform/gdi/gdi_fixture.h"

namespace zv::test {
namespace {

using Drawing = GdiFixture;
using Pixels = std::vector<std::uint32_t>;

TEST_F(Drawing, FillsRectanglesClipBoxesAndAttributes)
{
    HBRUSH b = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
    RECT r{2, 3, 5, 7};
    EXPECT_NE(FillRect(dc_, &r, b), 0);
    EXPECT_EQ(at({{2, 3}, {4, 6}, {5, 6}, {4, 7}}), (Pixels{0x102030, 0x102030, 0, 0})) << "right and bottom excluded";
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
    // pen, light brush. The bottom and right edges are at bottom - 1 and right - 1; the left
    // edge at x = -1 is off the bitmap.
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xE6, 0xE6, 0xE6));
    HBRUSH brush = CreateSolidBrush(RGB(0xFA, 0xFA, 0xFA));
    SelectObject(dc_, pen);
    SelectObject(dc_, brush);
    EXPECT_TRUE(Rectangle(dc_, -1, 2, 10, 8));
    EXPECT_EQ(at({{0, 2}, {9, 2}, {0, 7}, {9, 5}, {0, 5}, {8, 6}, {10, 5}, {5, 8}}),
              (Pixels{0xE6E6E6, 0xE6E6E6, 0xE6E6E6, 0xE6E6E6, 0xFAFAFA, 0xFAFAFA, 0, 0}));
    canvas_->fill(0);
    SelectObject(dc_, GetStockObject(NULL_BRUSH));
    Rectangle(dc_, 0, 0, 6, 6);
    EXPECT_EQ(at({{3, 3}, {5, 3}}), (Pixels{0, 0xE6E6E6})) << "a null brush leaves the inside alone";
    canvas_->fill(0);
    SelectObject(dc_, GetStockObject(NULL_PEN));
    SelectObject(dc_, brush);
    Rectangle(dc_, 6, 6, 0, 0);
    EXPECT_EQ(ink(0), 5 * 5) << "without a pen the fill is one pixel smaller; corners in either order";
    SelectObject(dc_, GetStockObject(BLACK_PEN));
    SelectObject(dc_, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);

    // The clip box is in logical coordinates; surface DCs draw inside their clip.
    RECT clip{};
    EXPECT_EQ(GetClipBox(dc_, &clip), SIMPLEREGION);
    EXPECT_EQ(edges(clip), (std::vector<LONG>{0, 0, 32, 24}));
    POINT prev{}, org{};
    SetViewportOrgEx(dc_, 0, -400, &prev);
    EXPECT_EQ(prev.y, 0);
    EXPECT_EQ(GetClipBox(dc_, &clip), SIMPLEREGION);
    EXPECT_EQ(edges(clip), (std::vector<LONG>{0, 400, 32, 424}));
    EXPECT_TRUE(GetViewportOrgEx(dc_, &org));
    EXPECT_EQ(org.y, -400);

    // A DC onto a window surface: its own origin and clip, then the viewport on top.
    auto surface = std::make_shared<Surface>(100, 100);
    HDC wdc = create_surface_dc(surface, POINT{20, 30}, RECT{20, 30, 60, 50});
    EXPECT_EQ(GetClipBox(wdc, &clip), SIMPLEREGION);
    EXPECT_EQ(edges(clip), (std::vector<LONG>{0, 0, 40, 20}));
    SetViewportOrgEx(wdc, 5, 5, nullptr);
    GetClipBox(wdc, &clip);
    EXPECT_EQ(edges(clip), (std::vector<LONG>{-5, -5, 35, 15}));
    HDC empty = create_surface_dc(surface, POINT{0, 0}, RECT{200, 200, 300, 300});
    EXPECT_EQ(GetClipBox(empty, &clip), NULLREGION);
    DeleteDC(empty);
    DeleteDC(wdc);

    // It draws at its origin inside its clip.
    surface = std::make_shared<Surface>(50, 50);
    wdc = create_surface_dc(surface, POINT{10, 10}, RECT{10, 10, 30, 20});
    RECT all{-100, -100, 100, 100};
    FillRect(wdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(std::count(surface->pixels().begin(), surface->pixels().end(), 0xFFFFFFu), 20 * 10);
    EXPECT_EQ(at(*surface, {{10, 10}, {29, 19}, {30, 19}}), (Pixels{0xFFFFFF, 0xFFFFFF, 0}));
    surface->fill(0);
    RECT cell{0, 0, 2, 2};
    FillRect(wdc, &cell, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(at(*surface, {{10, 10}, {9, 9}}), (Pixels{0xFFFFFF, 0}));
    EXPECT_EQ(GetDeviceCaps(wdc, BITSPIXEL), 32);
    // The surface can shrink under a live DC (a resized window) without drawing out of bounds.
    surface->resize(12, 12);
    FillRect(wdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(surface->pixel(11, 11), 0xFFFFFFu);
    DeleteDC(wdc);

    // DC attributes have Win32 defaults.
    // Each setter answers the previous value; a mode that is neither is refused.
    EXPECT_EQ((std::vector<DWORD>{static_cast<DWORD>(GetBkMode(dc_)), GetTextColor(dc_), GetBkColor(dc_)}),
              (std::vector<DWORD>{OPAQUE, 0, 0xFFFFFF}));
    EXPECT_EQ((std::vector<DWORD>{SetTextColor(dc_, 0x00FFFDF0), static_cast<DWORD>(SetBkMode(dc_, TRANSPARENT)),
                                  static_cast<DWORD>(SetBkMode(dc_, 7)), static_cast<DWORD>(SetBkMode(dc_, 0)),
                                  SetBkColor(dc_, 0x123456)}),
              (std::vector<DWORD>{0, OPAQUE, 0, 0, 0xFFFFFF}));
    EXPECT_EQ((std::vector<DWORD>{static_cast<DWORD>(GetBkMode(dc_)), GetTextColor(dc_), GetBkColor(dc_)}),
              (std::vector<DWORD>{TRANSPARENT, 0x00FFFDF0, 0x123456}));

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

using GdiObjects = GdiFixture;

TEST_F(GdiObjects, StockObjectsSelectionWrongKindsLifetimesAndBitmaps)
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
    EXPECT_EQ(GetStockObject(DEFAULT_GUI_FONT + 1), nullptr) << "one past the last";
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ((std::vector<DWORD>{GetObjectType(GetStockObject(BLACK_BRUSH)), GetObjectType(GetStockObject(NULL_PEN)),
                                  GetObjectType(dc_)}),
              (std::vector<DWORD>{OBJ_BRUSH, OBJ_PEN, OBJ_MEMDC}));

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

    // Selected objects outlive their deletion until released.
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
    HDC holder = CreateCompatibleDC(dc_);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(SelectObject(holder, bitmap_), nullptr);
    HBITMAP spare = CreateCompatibleBitmap(dc_, 4, 4);
    HGDIOBJ old = SelectObject(dc_, spare);
    EXPECT_EQ(old, bitmap_);
    EXPECT_NE(SelectObject(holder, bitmap_), nullptr);
    DeleteDC(holder);
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
    HPEN thick = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
    SelectObject(dc, bmp);
    SelectObject(dc, thick);
    EXPECT_TRUE(DeleteObject(thick));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(GetObjectType(thick), 0u);
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(SetTextColor(dc, 0), static_cast<COLORREF>(CLR_INVALID));
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
    EXPECT_FALSE(SetViewportOrgEx(dc, 1, 1, nullptr));

    // Bitmaps start black and describe themselves.
    HBITMAP big = CreateCompatibleBitmap(dc_, 250, 232);
    BITMAP info{};
    ASSERT_EQ(GetObject(big, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ((std::vector<LONG>{info.bmWidth, info.bmHeight, info.bmWidthBytes, info.bmPlanes, info.bmBitsPixel}),
              (std::vector<LONG>{250, 232, 1000, 1, 32}));
    EXPECT_NE(info.bmBits, nullptr);
    EXPECT_EQ(GetObject(big, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    for (std::uint32_t p : bitmap_surface(big)->pixels()) ASSERT_EQ(p, 0u);
    DeleteObject(big);
    EXPECT_EQ(CreateCompatibleBitmap(dc_, -5, 10), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(dc_, 100000, 100000), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 5, 5), nullptr);

    const std::uint32_t pixels[4] = {0xFF112233, 0x00445566, 0x778899, 0xAABBCC};
    HBITMAP d = create_bitmap_from_pixels(2, 2, pixels);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(at(*bitmap_surface(d), {{0, 0}, {1, 1}}), (Pixels{0x112233, 0xAABBCC})) << "the unused byte is cleared";
    EXPECT_EQ(create_bitmap_from_pixels(3, 3, pixels), nullptr) << "too few pixels";
    DeleteObject(d);
}

TEST(GdiState, RegistersWhileAliveCallsWithoutOneFailAndPixelBuffersAreKept)
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

    // Kept pixel buffers: a freed cover buffer serves the next of its size; the cache is bounded.
    constexpr std::size_t kCover = 1000 * 1000 * 4;
    void* first = pixel_memory::allocate(kCover);
    pixel_memory::release(first, kCover);
    void* again = pixel_memory::allocate(kCover);
    EXPECT_EQ(again, first);
    // A different size gets its own memory, and the kept block waits for its own size.
    void* other = pixel_memory::allocate(kCover + 4096);
    EXPECT_NE(other, first);
    pixel_memory::release(other, kCover + 4096);
    pixel_memory::release(again, kCover);
    EXPECT_EQ(pixel_memory::allocate(kCover), first);
    pixel_memory::release(first, kCover);

    // Small and huge buffers are not kept, and the cache is bounded.
    const std::size_t before = pixel_memory::kept_count();
    pixel_memory::release(pixel_memory::allocate(240 * 320 * 4), 240 * 320 * 4);
    pixel_memory::release(pixel_memory::allocate(std::size_t{64} << 20), std::size_t{64} << 20);
    EXPECT_EQ(pixel_memory::kept_count(), before);

    std::vector<std::pair<void*, std::size_t>> blocks;
    for (std::size_t i = 0; i < 5; ++i)
        blocks.emplace_back(pixel_memory::allocate(kCover + i * 4096), kCover + i * 4096);
    for (auto& [p, n] : blocks) pixel_memory::release(p, n);
    EXPECT_LE(pixel_memory::kept_count(), 2u);
    // The most recently freed are the ones kept.
    EXPECT_EQ(pixel_memory::allocate(blocks.back().second), blocks.back().first);
    pixel_memory::release(blocks.back().first, blocks.back().second);

    // Surfaces of one size reuse their pixels.
    const std::uint32_t* pixels;
    {
        Surface a = Surface::uninitialized(1000, 1000);
        pixels = a.pixels().data();
    }
    Surface b(1000, 1000, 0x123456);
    EXPECT_EQ(b.pixels().data(), pixels);
    // Reused memory is filled as asked, never showing the old picture.
    EXPECT_EQ(b.pixel(0, 0), 0x123456u);
    EXPECT_EQ(b.pixel(999, 999), 0x123456u);
}

}  // namespace
}  // namespace zv::test
