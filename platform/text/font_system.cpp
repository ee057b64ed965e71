#include "text/font_system.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zv {

namespace {

std::string to_lower_ascii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string utf16_to_utf8(const std::u16string& in)
{
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t c = in[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Win32 weights: 0 means normal, and anything beyond the scale is clamped.
int effective_weight(LONG w)
{
    if (w <= 0) return 400;
    return std::clamp<int>(w, 100, 1000);
}

// Which face weight to ask fontconfig for; semi-bold is looked for as such first.
enum class WeightClass { Regular, SemiBold, Bold };
WeightClass weight_class(int w)
{
    if (w >= 650) return WeightClass::Bold;
    if (w >= 550) return WeightClass::SemiBold;
    return WeightClass::Regular;
}

// Default size when lfHeight is 0, as a character height in pixels.
constexpr long kDefaultPixelHeight = 12;
constexpr long kMaxPixelHeight = 1000;

}  // namespace

FontSystem::FontSystem()
{
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    config_ = FcInitLoadConfigAndFonts();
}

FontSystem::~FontSystem()
{
    instances_.clear();
    for (auto& [key, face] : faces_) FT_Done_Face(face);
    if (library_) FT_Done_FreeType(library_);
    if (config_) FcConfigDestroy(config_);
}

std::string FontSystem::family_for(const std::u16string& face_name)
{
    std::string name = utf16_to_utf8(face_name);
    const std::string lower = to_lower_ascii(name);
    // The dialog and system faces of Windows CE have no Linux namesakes; they look best as the same
    // sans the rest of the program draws with.
    if (lower == "ms shell dlg" || lower == "ms shell dlg 2" || lower == "system" || lower == "tahoma" ||
        lower == "ms sans serif")
        return "Liberation Sans";
    if (name.empty()) return "sans-serif";
    return name;
}

FT_Face FontSystem::open_face(const std::string& file, int index)
{
    auto key = std::make_pair(file, index);
    if (auto it = faces_.find(key); it != faces_.end()) return it->second;
    FT_Face face = nullptr;
    if (!library_ || FT_New_Face(library_, file.c_str(), index, &face) != 0) face = nullptr;
    if (face && !FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        face = nullptr;
    }
    if (face) FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    faces_.emplace(key, face);
    return face;
}

namespace {
struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

PatternPtr base_pattern(FcConfig* config, const char* family, int weight, bool italic, FcCharSet* charset)
{
    PatternPtr pat(FcPatternCreate());
    if (!pat) return nullptr;
    FcPatternAddString(pat.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pat.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pat.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat.get(), FC_SCALABLE, FcTrue);
    if (charset) FcPatternAddCharSet(pat.get(), FC_CHARSET, charset);
    FcConfigSubstitute(config, pat.get(), FcMatchPattern);
    FcDefaultSubstitute(pat.get());
    return pat;
}
}  // namespace

const FontSystem::Match* FontSystem::match(const std::string& family, int weight, bool italic)
{
    std::string key = to_lower_ascii(family) + '|' + std::to_string(weight) + (italic ? "|i" : "|r");
    if (auto it = matches_.find(key); it != matches_.end()) return it->second.face ? &it->second : nullptr;
    Match m;
    if (config_ && library_) {
        PatternPtr pat = base_pattern(config_, family.c_str(), weight, italic, nullptr);
        FcResult result;
        PatternPtr found(pat ? FcFontMatch(config_, pat.get(), &result) : nullptr);
        FcChar8* file = nullptr;
        int index = 0, fc_weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (found && FcPatternGetString(found.get(), FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(found.get(), FC_INDEX, 0, &index);
            FcPatternGetInteger(found.get(), FC_WEIGHT, 0, &fc_weight);
            FcPatternGetInteger(found.get(), FC_SLANT, 0, &slant);
            m.face = open_face(reinterpret_cast<const char*>(file), index);
            m.weight = FcWeightToOpenType(fc_weight);
            m.italic = slant != FC_SLANT_ROMAN;
        }
    }
    auto [it, inserted] = matches_.emplace(std::move(key), m);
    return it->second.face ? &it->second : nullptr;
}

const FontSystem::Match* FontSystem::fallback_for(char32_t c, int weight, bool italic)
{
    const std::uint64_t key = std::uint64_t{c} | (std::uint64_t(weight >= 550) << 32) | (std::uint64_t(italic) << 33);
    if (auto it = fallbacks_.find(key); it != fallbacks_.end()) return it->second.face ? &it->second : nullptr;
    Match m;
    if (config_ && library_) {
        FcCharSet* cs = FcCharSetCreate();
        FcCharSetAddChar(cs, c);
        PatternPtr pat = base_pattern(config_, "sans-serif", weight >= 550 ? 700 : 400, italic, cs);
        FcCharSetDestroy(cs);
        FcResult result;
        FcFontSet* set = pat ? FcFontSort(config_, pat.get(), FcTrue, nullptr, &result) : nullptr;
        for (int i = 0; set && i < set->nfont && !m.face; ++i) {
            FcCharSet* have = nullptr;
            FcChar8* file = nullptr;
            if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &have) != FcResultMatch || !FcCharSetHasChar(have, c))
                continue;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
            int index = 0, fc_weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
            FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &fc_weight);
            FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &slant);
            FT_Face face = open_face(reinterpret_cast<const char*>(file), index);
            if (face && FT_Get_Char_Index(face, c) != 0) {
                m.face = face;
                m.weight = FcWeightToOpenType(fc_weight);
                m.italic = slant != FC_SLANT_ROMAN;
            }
        }
        if (set) FcFontSetDestroy(set);
    }
    auto [it, inserted] = fallbacks_.emplace(key, m);
    return it->second.face ? &it->second : nullptr;
}

bool FontSystem::activate(FT_Face face, long size)
{
    auto it = active_size_.find(face);
    if (it != active_size_.end() && it->second == size) return true;
    if (FT_Set_Char_Size(face, 0, size, 72, 72) != 0) return false;
    active_size_[face] = size;
    return true;
}

long FontSystem::embolden_for(int wanted_weight, int face_weight, long char_size)
{
    // Growth proportional to the em, as FreeType's own emboldening; a semi-bold request gets
    // the regular face made heavier, a bold one on a face without a bold cut somewhat more.
    if (wanted_weight - face_weight < 150) return 0;
    return wanted_weight >= 650 ? char_size / 16 : char_size / 24;
}

std::shared_ptr<FontInstance> FontSystem::instance_for(const LOGFONTW& lf)
{
    std::u16string face_name;
    for (int i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; ++i) face_name += lf.lfFaceName[i];
    const int weight = effective_weight(lf.lfWeight);
    const bool italic = lf.lfItalic != 0;
    const std::string family = family_for(face_name);
    std::string key = to_lower_ascii(family) + '|' + std::to_string(lf.lfHeight) + '|' + std::to_string(weight) +
                      (italic ? "|i" : "|r");
    if (auto it = instances_.find(key); it != instances_.end()) return it->second;

    // Semi-bold: a real semi-bold face if there is one, else the regular face emboldened.
    const Match* m = nullptr;
    switch (weight_class(weight)) {
        case WeightClass::Regular: m = match(family, weight, italic); break;
        case WeightClass::SemiBold:
            m = match(family, 600, italic);
            if (m && (m->weight < 550 || m->weight >= 650)) m = match(family, 400, italic);
            break;
        case WeightClass::Bold: m = match(family, weight, italic); break;
    }
    if (!m) {
        instances_.emplace(std::move(key), nullptr);
        return nullptr;
    }
    FT_Face face = m->face;

    // Win32 heights: negative is the em height, positive the cell (win ascent + descent).
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const double upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    double win_asc = face->ascender, win_desc = -face->descender;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        win_asc = os2->usWinAscent;
        win_desc = os2->usWinDescent;
    }
    const double cell_units = std::max(1.0, win_asc + win_desc);
    const std::int64_t h = lf.lfHeight;
    double ppem;
    if (h < 0)
        ppem = static_cast<double>(std::min<std::int64_t>(-h, kMaxPixelHeight));
    else if (h > 0)
        ppem = static_cast<double>(std::min<std::int64_t>(h, kMaxPixelHeight)) * upem / cell_units;
    else
        ppem = kDefaultPixelHeight;
    ppem = std::max(ppem, 1.0);
    const long char_size = std::max(1L, std::lround(ppem * 64));
    const double scale = ppem / upem;

    FontMetrics fm;
    fm.ascent = static_cast<int>(std::lround(win_asc * scale));
    fm.descent = static_cast<int>(std::lround(win_desc * scale));
    if (h > 0 && h <= kMaxPixelHeight) fm.descent = static_cast<int>(h) - fm.ascent;
    fm.height = fm.ascent + fm.descent;
    fm.internal_leading = std::max(0, fm.height - static_cast<int>(std::lround(ppem)));
    // face->height is the hhea line spacing; what it adds beyond the cell is external leading.
    fm.external_leading = std::max(0, static_cast<int>(std::lround((face->height - cell_units) * scale)));
    fm.max_char_width = static_cast<int>(std::lround(face->max_advance_width * scale));
    fm.weight = weight;
    fm.italic = italic;

    FaceStyle style;
    style.face = face;
    style.embolden = embolden_for(weight, m->weight, char_size);
    style.oblique = italic && !m->italic;
    // Win32's average width comes from the OS/2 table; without one the instance measures 'x'.
    if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0)
        fm.ave_char_width = static_cast<int>(std::lround(os2->xAvgCharWidth * scale));
    auto inst = std::make_shared<FontInstance>(*this, style, char_size, fm);
    instances_.emplace(std::move(key), inst);
    return inst;
}

}  // namespace zv
