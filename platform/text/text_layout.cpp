#include "text/text_layout.h"

namespace zv {

std::u32string decode_text(LPCWSTR text, int count, Prefix prefix)
{
    std::u32string out;
    if (!text) return out;
    std::size_t n = 0;
    if (count < 0)
        while (text[n]) ++n;
    else
        n = static_cast<std::size_t>(count);
    out.reserve(n);
    bool after_amp = false;
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (prefix == Prefix::Process) {
            if (c == U'&' && !after_amp) {
                after_amp = true;
                continue;
            }
            after_amp = false;
        }
        out += c;
    }
    return out;
}

int run_width(FontInstance& font, std::u32string_view run)
{
    int w = 0;
    for (char32_t c : run) w += font.advance(c);
    return w;
}

namespace {

bool is_space(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000; }

void emit(const std::u32string& text, FontInstance& font, std::size_t b, std::size_t e, std::vector<TextLine>& out)
{
    while (e > b && is_space(text[e - 1])) --e;
    out.push_back({b, e, run_width(font, std::u32string_view(text).substr(b, e - b))});
}

void wrap_paragraph(const std::u32string& text, FontInstance& font, std::size_t b, std::size_t e, int max_width,
                    std::vector<TextLine>& out)
{
    std::size_t pos = b;
    while (true) {
        int width = 0;
        std::size_t last_break = std::u32string::npos;
        std::size_t i = pos;
        bool broke = false;
        while (i < e) {
            const int w = font.advance(text[i]);
            if (is_space(text[i])) {
                // Spaces never push a line over; the line may end after them.
                width += w;
                last_break = ++i;
                continue;
            }
            if (width + w > max_width && i > pos) {
                const std::size_t cut = last_break != std::u32string::npos ? last_break : i;
                emit(text, font, pos, cut, out);
                pos = cut;
                broke = true;
                break;
            }
            width += w;
            ++i;
        }
        if (!broke) {
            emit(text, font, pos, e, out);
            return;
        }
    }
}

}  // namespace

std::vector<TextLine> break_lines(const std::u32string& text, FontInstance& font, int max_width, bool single_line,
                                  Wrap wrap)
{
    std::vector<TextLine> out;
    if (single_line) {
        out.push_back({0, text.size(), run_width(font, text)});
        return out;
    }
    std::size_t b = 0;
    while (true) {
        std::size_t e = b;
        while (e < text.size() && text[e] != U'\r' && text[e] != U'\n') ++e;
        if (wrap == Wrap::Words)
            wrap_paragraph(text, font, b, e, max_width, out);
        else
            out.push_back({b, e, run_width(font, std::u32string_view(text).substr(b, e - b))});
        if (e >= text.size()) break;
        b = e + ((text[e] == U'\r' && e + 1 < text.size() && text[e + 1] == U'\n') ? 2 : 1);
        if (b >= text.size()) break;  // a final line break adds no empty line
    }
    return out;
}

}  // namespace zv
