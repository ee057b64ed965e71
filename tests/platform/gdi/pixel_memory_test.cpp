// Kept pixel buffers: a freed large buffer serves the next one of its size, and no more are kept
// than the cache holds.
#include <gtest/gtest.h>

#include <vector>

#include "gdi/pixel_memory.h"
#include "gdi/surface.h"

namespace zv::test {
namespace {

constexpr std::size_t kCover = 1000 * 1000 * 4;

TEST(PixelMemory, FreedCoverBufferServesTheNextCoverOfItsSizeAndTheCacheIsBounded)
{
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
