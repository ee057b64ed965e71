// Turning a DrawText string into lines: prefix handling, hard breaks and word wrapping.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "text/font_instance.h"
#include "windef.h"

namespace zv {

struct TextLine {
    std::size_t begin = 0;  // code point range in the decoded text
    std::size_t end = 0;
    int width = 0;  // pixels
};

enum class Prefix { Process, Keep };

// UTF-16 to code points (unpaired surrogates become U+FFFD). count < 0 reads to the terminator.
// With Prefix::Process, "&&" shows one '&' and a single '&' marks a mnemonic and is not shown.
std::u32string decode_text(LPCWSTR text, int count, Prefix prefix);

int run_width(FontInstance& font, std::u32string_view run);

enum class Wrap { None, Words };

// With `single_line` every character stays on one line; otherwise CR, LF and CR LF end lines,
// and Wrap::Words breaks lines wider than `max_width` after spaces, or inside a word that alone
// is too wide. Spaces at a wrap point are dropped.
std::vector<TextLine> break_lines(const std::u32string& text, FontInstance& font, int max_width, bool single_line,
                                  Wrap wrap);

}  // namespace zv
