#include "text/font_instance.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdlib>
#include <cstring>

#include "text/font_system.h"

namespace zv {

FontInstance::FontInstance(FontSystem& system, FaceStyle primary, long char_size_26_6, const FontMetrics& metrics)
    : system_(system), primary_(primary), char_size_(char_size_26_6), metrics_(metrics)
{
    if (metrics_.ave_char_width <= 0) metrics_.ave_char_width = advance(U'x');
}

const Glyph& FontInstance::glyph(char32_t c)
{
    if (c < ascii_.size() && ascii_[c]) return *ascii_[c];
    if (auto it = cache_.find(c); it != cache_.end()) return it->second;

    Glyph g;
    if (c >= 0x20 && c != 0x7F) {  // control characters take no room and show nothing
        FT_UInt index = FT_Get_Char_Index(primary_.face, c);
        if (index != 0) {
            g = render(primary_, index);
        } else if (const FontSystem::Match* m = system_.fallback_for(c, metrics_.weight, metrics_.italic)) {
            FaceStyle style{m->face, FontSystem::embolden_for(metrics_.weight, m->weight, char_size_),
                            metrics_.italic && !m->italic};
            g = render(style, FT_Get_Char_Index(m->face, c));
        } else {
            g = render(primary_, 0);
        }
    }
    const Glyph& stored = cache_.emplace(c, std::move(g)).first->second;
    if (c < ascii_.size()) ascii_[c] = &stored;
    return stored;
}

Glyph FontInstance::render(const FaceStyle& style, unsigned glyph_index)
{
    Glyph g;
    FT_Face face = style.face;
    if (!system_.activate(face, char_size_)) return g;
    if (FT_Load_Glyph(face, glyph_index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) return g;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (style.oblique) {
            const FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
        if (style.embolden > 0) FT_Outline_EmboldenXY(&slot->outline, style.embolden, 0);
    }
    g.advance = static_cast<int>((slot->advance.x + style.embolden + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0) return g;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.height = static_cast<int>(bm.rows);
    g.coverage.resize(static_cast<std::size_t>(g.width) * g.height);
    const int pitch = std::abs(bm.pitch);
    for (int y = 0; y < g.height; ++y) {
        const unsigned char* src = bm.pitch >= 0 ? bm.buffer + y * pitch : bm.buffer + (g.height - 1 - y) * pitch;
        std::memcpy(&g.coverage[static_cast<std::size_t>(y) * g.width], src, static_cast<std::size_t>(g.width));
    }
    return g;
}

}  // namespace zv
