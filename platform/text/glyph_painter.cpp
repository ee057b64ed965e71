#include "text/glyph_painter.h"

#include <algorithm>

#include "gdi/rect_math.h"

namespace zv {

namespace {
inline std::uint32_t blend(std::uint32_t dst, std::uint32_t src, unsigned a)
{
    const unsigned a256 = a + (a >> 7);  // 0..256, exact at both ends
    const unsigned na = 256 - a256;
    const std::uint32_t rb = (((src & 0xFF00FFu) * a256 + (dst & 0xFF00FFu) * na) >> 8) & 0xFF00FFu;
    const std::uint32_t g = (((src & 0x00FF00u) * a256 + (dst & 0x00FF00u) * na) >> 8) & 0x00FF00u;
    return rb | g;
}
}  // namespace

void paint_run(Surface& s, const RECT& clip_in, int x, int baseline, std::u32string_view run, FontInstance& font,
               std::uint32_t xrgb)
{
    const RECT clip = rect_intersect(clip_in, s.bounds());
    if (rect_empty(clip)) return;
    long pen = x;
    for (char32_t c : run) {
        const Glyph& g = font.glyph(c);
        const long gx = pen + g.left;
        const long gy = static_cast<long>(baseline) - g.top;
        pen += g.advance;
        if (g.width == 0) continue;
        const long x0 = std::max<long>(gx, clip.left), x1 = std::min<long>(gx + g.width, clip.right);
        const long y0 = std::max<long>(gy, clip.top), y1 = std::min<long>(gy + g.height, clip.bottom);
        if (x0 >= x1 || y0 >= y1) {
            if (gx >= clip.right) break;  // the rest of the run is further right still
            continue;
        }
        for (long y = y0; y < y1; ++y) {
            const std::uint8_t* cov = &g.coverage[static_cast<std::size_t>(y - gy) * g.width + (x0 - gx)];
            std::uint32_t* out = s.row(static_cast<int>(y)) + x0;
            for (long i = 0; i < x1 - x0; ++i) {
                const unsigned a = cov[i];
                if (a == 255)
                    out[i] = xrgb;
                else if (a != 0)
                    out[i] = blend(out[i], xrgb, a);
            }
        }
    }
}

}  // namespace zv
