// A font at one size and weight, with its metrics and a cache of rendered glyphs. Shared by every
// HFONT that asks for the same face, height and weight, so creating a font per drawing is cheap.
#pragma once
#include <array>
#include <memory>
#include <unordered_map>

#include "text/glyph.h"

typedef struct FT_FaceRec_* FT_Face;

namespace zv {

class FontSystem;

struct FontMetrics {
    int height = 0;  // ascent + descent: the cell height
    int ascent = 0;
    int descent = 0;
    int internal_leading = 0;
    int external_leading = 0;
    int ave_char_width = 0;
    int max_char_width = 0;
    int weight = 400;
    bool italic = false;
};

// How one face is drawn at this instance's size.
struct FaceStyle {
    FT_Face face = nullptr;
    long embolden = 0;     // outline growth in 26.6 pixels, 0 for none
    bool oblique = false;  // slanted by shear when no italic face exists
};

class FontInstance {
public:
    FontInstance(FontSystem& system, FaceStyle primary, long char_size_26_6, const FontMetrics& metrics);

    const FontMetrics& metrics() const { return metrics_; }
    // The glyph for `c`: from the primary face, else from a fallback face that has it, else the
    // primary face's missing-glyph box.
    const Glyph& glyph(char32_t c);
    int advance(char32_t c) { return glyph(c).advance; }

private:
    Glyph render(const FaceStyle& style, unsigned glyph_index);

    FontSystem& system_;
    FaceStyle primary_;
    long char_size_;
    FontMetrics metrics_;
    std::array<const Glyph*, 128> ascii_{};  // fast path into cache_
    std::unordered_map<char32_t, Glyph> cache_;
};

}  // namespace zv
