// Font selection (fontconfig) and loading (FreeType): LOGFONTW -> shared FontInstance.
// Faces, matches and instances are cached for the life of the GDI state.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "text/font_instance.h"
#include "wingdi.h"

typedef struct FT_LibraryRec_* FT_Library;
typedef struct _FcConfig FcConfig;

namespace zv {

class FontSystem {
public:
    FontSystem();
    ~FontSystem();
    FontSystem(const FontSystem&) = delete;
    FontSystem& operator=(const FontSystem&) = delete;

    // Null when no usable font is installed.
    std::shared_ptr<FontInstance> instance_for(const LOGFONTW& lf);

    struct Match {
        FT_Face face = nullptr;
        int weight = 400;  // OpenType scale
        bool italic = false;
    };

    // A face with a glyph for `c` when the primary one lacks it; null when no installed face has it.
    const Match* fallback_for(char32_t c, int weight, bool italic);

    // Synthetic emboldening (26.6 outline growth) that makes a face of `face_weight` look like
    // `wanted_weight`; 0 when the face is heavy enough.
    static long embolden_for(int wanted_weight, int face_weight, long char_size);

    // Makes `size` (26.6 pixels per em) the face's current size.
    bool activate(FT_Face face, long size);

    // The face name fontconfig is asked for, after the Windows shell aliases.
    static std::string family_for(const std::u16string& face_name);

private:
    const Match* match(const std::string& family, int weight, bool italic);
    FT_Face open_face(const std::string& file, int index);

    FT_Library library_ = nullptr;
    FcConfig* config_ = nullptr;
    std::map<std::pair<std::string, int>, FT_Face> faces_;
    std::unordered_map<FT_Face, long> active_size_;
    std::unordered_map<std::string, Match> matches_;
    std::unordered_map<std::string, std::shared_ptr<FontInstance>> instances_;
    std::unordered_map<std::uint64_t, Match> fallbacks_;
};

}  // namespace zv
