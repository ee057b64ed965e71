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

// acc_rb[i] += (src[i] & 0x00FF00FF) * w; acc_g[i] += ((src[i] >> 8) & 0xFF) * w, each channel in
// its own 16-bit lane. With w <= 256 and the weights of one pixel summing to 256, no lane overflows,
// so 16-bit multiplies do.
using LaneVec = std::uint16_t __attribute__((vector_size(16)));

inline void accumulate_weighted(std::uint32_t* acc_rb, std::uint32_t* acc_g, const std::uint32_t* src,
                                std::size_t n, std::uint32_t w)
{
    const PixelVec mrb = {0x00FF00FFu, 0x00FF00FFu, 0x00FF00FFu, 0x00FF00FFu};
    const PixelVec m8 = {0xFFu, 0xFFu, 0xFFu, 0xFFu};
    const auto w16 = static_cast<std::uint16_t>(w);
    const LaneVec wv = {w16, w16, w16, w16, w16, w16, w16, w16};
    std::size_t i = 0;
    for (; i + kPixelVecLanes <= n; i += kPixelVecLanes) {
        PixelVec s;
        LaneVec a, b, rb, g;
        std::memcpy(&s, src + i, sizeof s);
        const PixelVec srb = s & mrb, sg = (s >> 8) & m8;
        std::memcpy(&rb, &srb, sizeof rb);
        std::memcpy(&g, &sg, sizeof g);
        std::memcpy(&a, acc_rb + i, sizeof a);
        std::memcpy(&b, acc_g + i, sizeof b);
        a += rb * wv;
        b += g * wv;
        std::memcpy(acc_rb + i, &a, sizeof a);
        std::memcpy(acc_g + i, &b, sizeof b);
    }
    for (; i < n; ++i) {
        acc_rb[i] += (src[i] & 0x00FF00FFu) * w;
        acc_g[i] += ((src[i] >> 8) & 0xFFu) * w;
    }
}

// Inverse of the accumulation: rounds each 16-bit lane back to 8 bits.
inline std::uint32_t pack_weighted(std::uint32_t rb, std::uint32_t g)
{
    return (((rb + 0x00800080u) >> 8) & 0x00FF00FFu) | ((g + 0x80u) & 0xFF00u);
}

}  // namespace zv
