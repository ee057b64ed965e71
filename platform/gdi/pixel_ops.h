// Row loops that the compiler does not vectorise on its own at our optimisation level, written
// with GCC/Clang vector extensions (plain SSE2/NEON width, so no special target flags).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zv {

using PixelVec = std::uint32_t __attribute__((vector_size(16)));
inline constexpr std::size_t kPixelVecLanes = 4;

inline void fill_pixels(std::uint32_t* dst, std::size_t n, std::uint32_t v)
{
    const PixelVec pv = {v, v, v, v};
    std::size_t i = 0;
    for (; i + kPixelVecLanes <= n; i += kPixelVecLanes) std::memcpy(dst + i, &pv, sizeof pv);
    for (; i < n; ++i) dst[i] = v;
}

// Keeps the low 24 bits of every pixel (a decoder's filler byte goes).
inline void clear_filler_bytes(std::uint32_t* p, std::size_t n)
{
    const PixelVec m = {0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu};
    std::size_t i = 0;
    for (; i + kPixelVecLanes <= n; i += kPixelVecLanes) {
        PixelVec v;
        std::memcpy(&v, p + i, sizeof v);
        v &= m;
        std::memcpy(p + i, &v, sizeof v);
    }
    for (; i < n; ++i) p[i] &= 0x00FFFFFFu;
}

}  // namespace zv
