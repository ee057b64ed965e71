// Font creation, text extents and metrics.
#include "gdi/gdi_internal.h"
#include "text/dc_font.h"
#include "text/text_layout.h"

HFONT CreateFontIndirectW(const LOGFONTW* font)
{
    zv::GdiState* st = zv::GdiState::current();
    if (!st || !font) return nullptr;
    zv::FontObject f;
    f.logfont = *font;
    return zv::to_handle<HFONT>(st->add(std::move(f)));
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size)
{
    zv::GdiState* st = zv::GdiState::current();
    zv::DeviceContext* dc = st ? st->dc(hdc) : nullptr;
    if (!dc || !size || count < 0 || (!text && count > 0)) return FALSE;
    zv::FontInstance* font = zv::dc_font(*st, *dc);
    if (!font) return FALSE;
    const std::u32string str = zv::decode_text(text, count, zv::Prefix::Keep);
    size->cx = zv::run_width(*font, str);
    size->cy = font->metrics().height;
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm)
{
    zv::GdiState* st = zv::GdiState::current();
    zv::DeviceContext* dc = st ? st->dc(hdc) : nullptr;
    if (!dc || !tm) return FALSE;
    zv::FontInstance* font = zv::dc_font(*st, *dc);
    if (!font) return FALSE;
    const zv::FontMetrics& m = font->metrics();
    const LOGFONTW& lf = dc->font->as<zv::FontObject>()->logfont;
    *tm = TEXTMETRICW{};
    tm->tmHeight = m.height;
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internal_leading;
    tm->tmExternalLeading = m.external_leading;
    tm->tmAveCharWidth = m.ave_char_width;
    tm->tmMaxCharWidth = m.max_char_width;
    tm->tmWeight = m.weight;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = m.italic ? 1 : 0;
    tm->tmUnderlined = lf.lfUnderline;
    tm->tmStruckOut = lf.lfStrikeOut;
    // Variable pitch (bit 0 set, as Win32 has it), outline, TrueType, Swiss.
    tm->tmPitchAndFamily = 0x01 | 0x02 | 0x04 | FF_SWISS;
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}
