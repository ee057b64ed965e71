// LoadBitmap through to a GDI bitmap.
#include <gtest/gtest.h>

#include "gdi/gdi_internal.h"
#include "resources/resource_blob.h"
#include "resources/resource_table.h"
#include "windows.h"

namespace {

TEST(LoadBitmapResource, SkinBitmapsBecomeGdiBitmaps)
{
    zv::GdiState gdi;
    zv::ResourceTable table{std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size)};

    HBITMAP bg = LoadBitmap(table.instance(), MAKEINTRESOURCE(129));
    ASSERT_NE(bg, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bg, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 240);
    EXPECT_EQ(info.bmHeight, 320);
    auto s = zv::bitmap_surface(bg);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->pixel(0, 0), 0x999999u);
    EXPECT_EQ(s->pixel(239, 20), 0u);

    HBITMAP pressed = LoadBitmapW(table.instance(), MAKEINTRESOURCE(176));
    ASSERT_NE(pressed, nullptr);
    EXPECT_EQ(zv::bitmap_surface(pressed)->pixel(10, 36), 0x0075E7u);
    // Each load is a new bitmap the caller owns.
    HBITMAP again = LoadBitmapW(table.instance(), MAKEINTRESOURCE(176));
    EXPECT_NE(again, pressed);
    EXPECT_TRUE(DeleteObject(again));
    EXPECT_TRUE(DeleteObject(pressed));
    EXPECT_TRUE(DeleteObject(bg));

    EXPECT_EQ(LoadBitmapW(table.instance(), MAKEINTRESOURCE(131)), nullptr) << "a dialog, not a bitmap";
    EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCE(129)), nullptr);
    EXPECT_EQ(LoadBitmapW(table.instance(), MAKEINTRESOURCE(101)), nullptr);
}

}  // namespace
