// A GDI state with one memory DC drawing into a small bitmap, for pixel tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "gdi/gdi_internal.h"
#include "windows.h"

namespace zv::test {

class GdiFixture : public ::testing::Test {
protected:
    void SetUp() override { make_canvas(32, 24); }
    void TearDown() override
    {
        if (dc_) DeleteDC(dc_);
        if (bitmap_) DeleteObject(bitmap_);
    }

    void make_canvas(int w, int h, std::uint32_t fill = 0)
    {
        TearDown();
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateCompatibleBitmap(dc_, w, h);
        SelectObject(dc_, bitmap_);
        canvas_ = bitmap_surface(bitmap_);
        canvas_->fill(fill);
    }

    std::uint32_t px(int x, int y) const { return canvas_->pixel(x, y); }
    // The pixels of `s` at `points`, to check against a list in one comparison.
    static std::vector<std::uint32_t> at(const Surface& s, std::initializer_list<POINT> points)
    {
        std::vector<std::uint32_t> v;
        for (POINT p : points) v.push_back(s.pixel(p.x, p.y));
        return v;
    }
    std::vector<std::uint32_t> at(std::initializer_list<POINT> points) const { return at(*canvas_, points); }
    static std::vector<LONG> edges(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

    // Pixels in `r` (surface coordinates) that differ from `background`.
    int ink(RECT r, std::uint32_t background) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += canvas_->pixel(x, y) != background;
        return n;
    }
    int ink(std::uint32_t background) const { return ink(canvas_->bounds(), background); }

    // Bounding box of pixels differing from `background`; empty when there are none.
    RECT ink_box(std::uint32_t background) const
    {
        RECT b{canvas_->width(), canvas_->height(), 0, 0};
        for (int y = 0; y < canvas_->height(); ++y)
            for (int x = 0; x < canvas_->width(); ++x)
                if (canvas_->pixel(x, y) != background) {
                    b.left = std::min<LONG>(b.left, x);
                    b.top = std::min<LONG>(b.top, y);
                    b.right = std::max<LONG>(b.right, x + 1);
                    b.bottom = std::max<LONG>(b.bottom, y + 1);
                }
        return b;
    }

    GdiState gdi_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    std::shared_ptr<Surface> canvas_;
};

}  // namespace zv::test
