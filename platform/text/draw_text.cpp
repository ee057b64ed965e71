// DrawTextW with the Win32 layout rules the program relies on.
#include <algorithm>

#include "gdi/gdi_internal.h"
#include "gdi/paint.h"
#include "text/dc_font.h"
#include "text/glyph_painter.h"
#include "text/text_layout.h"

namespace {

// Shortens a single line with "..." until it fits.
void end_ellipsis(std::u32string& text, std::vector<zv::TextLine>& lines, zv::FontInstance& font, int max_width)
{
    if (lines.size() != 1 || lines[0].width <= max_width) return;
    const int dots = zv::run_width(font, U"...");
    std::size_t keep = lines[0].end - lines[0].begin;
    int width = lines[0].width;
    while (keep > 0 && width + dots > max_width) width -= font.advance(text[lines[0].begin + --keep]);
    text = text.substr(lines[0].begin, keep) + U"...";
    lines[0] = {0, text.size(), width + dots};
}

}  // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    zv::GdiState* st = zv::GdiState::current();
    zv::DeviceContext* dc = st ? st->dc(hdc) : nullptr;
    if (!dc || !text || !rect) return 0;
    zv::FontInstance* font = zv::dc_font(*st, *dc);
    if (!font) return 0;
    const int lh = font->metrics().height;
    const bool single = (format & DT_SINGLELINE) != 0;

    std::u32string str = zv::decode_text(text, count, (format & DT_NOPREFIX) ? zv::Prefix::Keep : zv::Prefix::Process);
    if (count == 0 || (count < 0 && !text[0])) {
        if (format & DT_CALCRECT) {
            rect->right = rect->left;
            rect->bottom = single ? zv::clamp_coord(std::int64_t{rect->top} + lh) : rect->top;
        }
        return single ? lh : 0;
    }

    const int max_width = static_cast<int>(std::max<std::int64_t>(0, std::int64_t{rect->right} - rect->left));
    std::vector<zv::TextLine> lines =
        zv::break_lines(str, *font, max_width, single, (format & DT_WORDBREAK) ? zv::Wrap::Words : zv::Wrap::None);
    if ((format & DT_END_ELLIPSIS) && single) end_ellipsis(str, lines, *font, max_width);
    const std::int64_t total = static_cast<std::int64_t>(lines.size()) * lh;

    // Vertical placement applies to a single line only, as in Win32.
    std::int64_t y = rect->top;
    if (single && (format & DT_VCENTER))
        y = rect->top + (std::int64_t{rect->bottom} - rect->top - lh) / 2;
    else if (single && (format & DT_BOTTOM))
        y = std::int64_t{rect->bottom} - lh;

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const auto& l : lines) widest = std::max(widest, l.width);
        rect->right = zv::clamp_coord(std::int64_t{rect->left} + widest);
        rect->bottom = zv::clamp_coord(std::int64_t{rect->top} + total);
        return static_cast<int>(std::min<std::int64_t>(total, 1 << 29));
    }

    zv::Surface* s = dc->surface();
    if (s) {
        RECT clip = dc->device_clip();
        if (!(format & DT_NOCLIP)) clip = zv::rect_intersect(clip, dc->to_device(*rect));
        const std::uint32_t fg = zv::colorref_to_xrgb(dc->text_color);
        const std::uint32_t bg = zv::colorref_to_xrgb(dc->bk_color);
        const std::int64_t ox = dc->dx(), oy = dc->dy();
        std::int64_t line_top = y;
        for (const auto& l : lines) {
            std::int64_t x = rect->left;
            if (format & DT_CENTER)
                x = rect->left + (std::int64_t{rect->right} - rect->left - l.width) / 2;
            else if (format & DT_RIGHT)
                x = std::int64_t{rect->right} - l.width;
            const LONG dx = zv::clamp_coord(x + ox), dy = zv::clamp_coord(line_top + oy);
            if (dy >= clip.bottom) break;
            if (dy + lh > clip.top) {
                if (dc->bk_mode == OPAQUE) zv::fill_device(*s, clip, RECT{dx, dy, dx + l.width, dy + lh}, bg);
                zv::paint_run(*s, clip, dx, dy + font->metrics().ascent,
                              std::u32string_view(str).substr(l.begin, l.end - l.begin), *font, fg);
            }
            line_top += lh;
        }
    }
    return static_cast<int>(std::min<std::int64_t>(y - rect->top + total, 1 << 29));
}
