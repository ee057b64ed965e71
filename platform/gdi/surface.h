// A 32-bit XRGB pixel buffer (0x00RRGGBB, top-down rows): the target of all drawing.
#pragma once
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "gdi/pixel_memory.h"
#include "windef.h"

namespace zv {

// Leaves new elements uninitialised, so a buffer about to be overwritten whole (a decoded
// picture) is not cleared first, and takes its memory from the pixel memory's kept buffers.
template <class T>
struct PixelAllocator {
    using value_type = T;
    PixelAllocator() = default;
    template <class U>
    PixelAllocator(const PixelAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(pixel_memory::allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { pixel_memory::release(p, n * sizeof(T)); }
    template <class U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const PixelAllocator<U>&) const noexcept
    {
        return true;
    }
};

using PixelBuffer = std::vector<std::uint32_t, PixelAllocator<std::uint32_t>>;

class Surface {
public:
    Surface() = default;
    // Negative sizes are treated as empty.
    Surface(int width, int height, std::uint32_t fill = 0) { resize(width, height, fill); }

    // A surface whose every pixel the caller is about to write.
    static Surface uninitialized(int width, int height)
    {
        Surface s;
        s.width_ = width < 0 ? 0 : width;
        s.height_ = height < 0 ? 0 : height;
        s.pixels_.resize(static_cast<std::size_t>(s.width_) * static_cast<std::size_t>(s.height_));
        return s;
    }

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    RECT bounds() const { return RECT{0, 0, width_, height_}; }

    PixelBuffer& pixels() { return pixels_; }
    const PixelBuffer& pixels() const { return pixels_; }

    // Row access; y must be within [0, height).
    std::uint32_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    const std::uint32_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }

    // Bounds-checked read: 0 outside the surface.
    std::uint32_t pixel(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
        return row(y)[x];
    }
    void set_pixel(int x, int y, std::uint32_t v)
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        row(y)[x] = v;
    }

    // Keeps the overlapping top-left part of the old picture; new area gets `fill`.
    void resize(int width, int height, std::uint32_t fill = 0)
    {
        width = width < 0 ? 0 : width;
        height = height < 0 ? 0 : height;
        if (width == width_ && height == height_) return;
        PixelBuffer next(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
        const int cw = width < width_ ? width : width_;
        const int ch = height < height_ ? height : height_;
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) next[static_cast<std::size_t>(y) * width + x] = row(y)[x];
        pixels_ = std::move(next);
        width_ = width;
        height_ = height;
    }

    void fill(std::uint32_t v) { std::fill(pixels_.begin(), pixels_.end(), v); }

private:
    int width_ = 0;
    int height_ = 0;
    PixelBuffer pixels_;
};

// COLORREF is 0x00BBGGRR; surface pixels are 0x00RRGGBB.
constexpr std::uint32_t colorref_to_xrgb(COLORREF c)
{
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

}  // namespace zv
