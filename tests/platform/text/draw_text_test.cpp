// Fonts and DrawText: colours, background modes, wrapping, alignment, clipping, fallback.
#include <gmock/gmock.h>

#include <cstring>
#include <tuple>

#include "tests/platform/gdi/gdi_fixture.h"

namespace zv::test {
namespace {

using ::testing::AllOf;
using ::testing::Ge;
using ::testing::Gt;
using ::testing::Le;
using ::testing::Lt;

LOGFONTW logfont(LONG height, LONG weight, const char16_t* face = u"Arial")
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    lf.lfOutPrecision = OUT_RASTER_PRECIS;
    lf.lfQuality = CLEARTYPE_QUALITY;
    for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
    return lf;
}

class Text : public GdiFixture {
protected:
    void SetUp() override
    {
        make_canvas(240, 120, kWhite);
        use_font(12, 600);
    }
    void TearDown() override
    {
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
        if (font_) DeleteObject(font_);
        GdiFixture::TearDown();
    }
    void use_font(LONG height, LONG weight, const char16_t* face = u"Arial")
    {
        LOGFONTW lf = logfont(height, weight, face);
        HFONT f = CreateFontIndirect(&lf);
        ASSERT_NE(f, nullptr);
        SelectObject(dc_, f);
        if (font_) DeleteObject(font_);
        font_ = f;
    }
    int draw(const char16_t* s, RECT r, UINT format) { return DrawText(dc_, s, -1, &r, format); }
    // The ink of `s` drawn alone on a white canvas.
    RECT drawn(const char16_t* s, RECT r, UINT format)
    {
        canvas_->fill(kWhite);
        draw(s, r, format);
        return ink_box(kWhite);
    }
    // The rectangle DT_CALCRECT gives `s`, from a box `width` wide.
    RECT calc(const char16_t* s, UINT format, int count = -1, LONG width = 500)
    {
        RECT r{0, 0, width, 0};
        DrawText(dc_, s, count, &r, format | DT_CALCRECT);
        return r;
    }
    static constexpr std::uint32_t kWhite = 0xFFFFFF;
    HFONT font_ = nullptr;
};

TEST_F(Text, ColourBackgroundModesWrappingAlignmentClippingAndMeasuring)
{
    SetTextColor(dc_, RGB(255, 0, 0));
    SetBkMode(dc_, TRANSPARENT);
    const int h = draw(u"Hello World", RECT{10, 10, 200, 40}, DT_SINGLELINE | DT_VCENTER);
    EXPECT_EQ(h, (30 - 12) / 2 + 12) << "offset from the top to the bottom of the centred line";
    const RECT box = ink_box(kWhite);
    EXPECT_GE(box.left, 10);
    EXPECT_GE(box.top, 10);
    EXPECT_LE(box.bottom, 40);
    EXPECT_LT(box.left, 14);
    int red = 0;
    for (std::uint32_t p : canvas_->pixels()) {
        red += p == 0xFF0000u;
        ASSERT_EQ((p >> 16) & 0xFF, 0xFFu) << "only blends of red over white";
    }
    EXPECT_GT(red, 10);

    // Opaque, the cell is filled in the background colour and ends with the text.
    canvas_->fill(kWhite);
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, RGB(0, 0, 255));
    SetTextColor(dc_, 0);
    draw(u"Abc", RECT{0, 0, 100, 30}, DT_SINGLELINE);
    SIZE ext{};
    ASSERT_TRUE(GetTextExtentPoint32(dc_, u"Abc", 3, &ext));
    SIZE spaced{}, tab{};
    ASSERT_TRUE(GetTextExtentPoint32(dc_, u"A bc", 4, &spaced) && GetTextExtentPoint32(dc_, u"A\tbc", 4, &tab));
    EXPECT_GT(spaced.cx, ext.cx) << "a space takes room";
    EXPECT_EQ(tab.cx, ext.cx) << "a control character takes none";
    EXPECT_EQ(px(0, ext.cy - 1), 0x0000FFu);
    EXPECT_EQ(px(ext.cx, 0), kWhite);
    EXPECT_EQ(px(0, ext.cy), kWhite);
    SetBkMode(dc_, TRANSPARENT);
    drawn(u"Abc", RECT{0, 0, 100, 30}, DT_SINGLELINE);
    for (std::uint32_t p : canvas_->pixels()) ASSERT_EQ(p & 0xFF, (p >> 16) & 0xFF) << "no blue anywhere";

    // Wrapping, alignment, clipping and measuring.
    canvas_->fill(kWhite);
    const char16_t* s = u"The quick brown fox jumps over the lazy dog again and again";
    const int single = calc(s, DT_SINGLELINE, -1, 1000).bottom;
    RECT wrapped{0, 0, 80, 0};
    const int tall = DrawText(dc_, s, -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(tall, wrapped.bottom);
    EXPECT_GE(tall, 3 * single);
    EXPECT_LE(wrapped.right, 80);
    EXPECT_EQ(ink(kWhite), 0) << "DT_CALCRECT draws nothing";
    // Drawn, the ink covers as many line bands, inside the width.
    EXPECT_EQ(draw(s, RECT{0, 0, 80, 200}, DT_WORDBREAK), tall);
    RECT area = ink_box(kWhite);
    EXPECT_LE(area.right, 80);
    EXPECT_GT(area.bottom, tall - single);
    EXPECT_EQ(calc(u"aaaa\tbbbb", DT_WORDBREAK, -1, 40).right, calc(u"aaaa bbbb", DT_WORDBREAK, -1, 40).right)
        << "a tab breaks a line as a space does";
    // A word longer than the line is broken inside.
    const RECT word = calc(u"Supercalifragilistic", DT_WORDBREAK, -1, 30);
    EXPECT_LE(word.right, 30);
    EXPECT_GE(word.bottom, 3 * single);

    // The playlist's format: VCENTER | WORDBREAK | NOCLIP draws from the top.
    area = drawn(u"Track name", RECT{12, 40, 240, 80}, 0x114);
    EXPECT_THAT(area.top, AllOf(Ge(40), Lt(44)));
    area = drawn(u"Track name", RECT{12, 40, 240, 80}, DT_VCENTER | DT_SINGLELINE);
    EXPECT_NEAR((area.top + area.bottom) / 2.0, 60.0, 3.0);
    area = drawn(u"Track name", RECT{12, 40, 240, 80}, DT_BOTTOM | DT_SINGLELINE);
    EXPECT_THAT(area.bottom, AllOf(Le(80), Gt(74)));
    area = drawn(u"Middle", RECT{0, 0, 240, 30}, DT_CENTER | DT_SINGLELINE);
    EXPECT_NEAR(area.left, 240 - area.right, 3);
    area = drawn(u"Right", RECT{0, 0, 200, 30}, DT_RIGHT | DT_SINGLELINE);
    EXPECT_THAT(area.right, AllOf(Le(200), Ge(197)));

    // Clipped to the rectangle unless DT_NOCLIP.
    area = drawn(u"WWWWWWWWWWWWWWWWWWWW", RECT{10, 10, 40, 15}, DT_SINGLELINE);
    EXPECT_GE(area.left, 10);
    EXPECT_LE(area.right, 40);
    EXPECT_LE(area.bottom, 15);
    area = drawn(u"WWWWWWWWWWWWWWWWWWWW", RECT{10, 10, 40, 15}, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(area.right, 60);
    EXPECT_GT(area.bottom, 15);

    // Measuring: prefixes, counts, line breaks and the ellipsis.
    const LONG plain = calc(u"ab", DT_SINGLELINE).right;
    EXPECT_EQ(calc(u"&ab", DT_SINGLELINE).right, plain);
    EXPECT_GT(calc(u"&ab", DT_SINGLELINE | DT_NOPREFIX).right, plain);
    EXPECT_EQ(calc(u"a&b", DT_SINGLELINE | DT_NOPREFIX).right, calc(u"a&&b", DT_SINGLELINE).right);

    EXPECT_LT(calc(u"abcdef", DT_SINGLELINE, 3).right, calc(u"abcdef", DT_SINGLELINE).right);
    RECT r{0, 0, 100, 100};
    EXPECT_EQ(DrawText(dc_, u"", -1, &r, DT_CALCRECT), 0);
    EXPECT_EQ(r.bottom, 0);
    EXPECT_EQ(DrawText(dc_, nullptr, 3, &r, 0), 0);
    EXPECT_EQ(DrawText(dc_, u"x", 1, nullptr, 0), 0);
    // Line breaks start new lines unless single-line.
    EXPECT_EQ(calc(u"a\r\nb", 0).bottom, 2 * calc(u"a\r\nb", DT_SINGLELINE).bottom);
    EXPECT_EQ(calc(u"a\r\n", 0).bottom, calc(u"a", 0).bottom) << "a final line break adds no line";

    const RECT cut = calc(u"A rather long track name.mp3", DT_SINGLELINE | DT_END_ELLIPSIS, -1, 60);
    EXPECT_THAT(cut.right, AllOf(Le(60), Gt(30)));
    const LONG whole = calc(u"Just fits.mp3", DT_SINGLELINE).right;
    EXPECT_EQ(calc(u"Just fits.mp3", DT_SINGLELINE | DT_END_ELLIPSIS, -1, whole).right, whole)
        << "a name that fits is kept";
}

TEST_F(Text, FontsFollowWin32ConventionsAndOtherScriptsAreDrawn)
{
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetrics(dc_, &tm));
    // A positive height is the cell height.
    EXPECT_EQ(std::tuple(tm.tmHeight, tm.tmAscent + tm.tmDescent, tm.tmWeight), std::tuple(12, 12, 600));

    use_font(-12, 400);
    ASSERT_TRUE(GetTextMetrics(dc_, &tm));
    EXPECT_THAT(tm.tmHeight, AllOf(Ge(13), Le(15))) << "negative height is the character height";
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 12);

    // Dialog units come from the dialog font.
    use_font(-11, 400, u"MS Shell Dlg");
    ASSERT_TRUE(GetTextMetrics(dc_, &tm));
    EXPECT_THAT(tm.tmAveCharWidth, AllOf(Ge(4), Le(7)));
    EXPECT_THAT(tm.tmHeight, AllOf(Ge(12), Le(14)));
    SIZE a{}, b{}, ab{}, ii{}, ww{};
    GetTextExtentPoint32(dc_, u"a", 1, &a);
    GetTextExtentPoint32(dc_, u"b", 1, &b);
    GetTextExtentPoint32(dc_, u"ab", 2, &ab);
    EXPECT_EQ(ab.cx, a.cx + b.cx);
    EXPECT_EQ(ab.cy, tm.tmHeight);
    GetTextExtentPoint32(dc_, u"ii", 2, &ii);
    GetTextExtentPoint32(dc_, u"WW", 2, &ww);
    EXPECT_LT(ii.cx, ww.cx);

    // The stock fonts work as selected into a fresh DC.
    HDC fresh = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(GetTextMetrics(fresh, &tm));
    EXPECT_THAT(tm.tmHeight, AllOf(Ge(13), Le(17)));
    DeleteDC(fresh);

    // Heavier weights ink more.
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, 0);
    auto coverage = [&](LONG weight) {
        use_font(12, weight);
        drawn(u"Semibold playlist entry", RECT{0, 0, 240, 20}, DT_SINGLELINE);
        long total = 0;
        for (std::uint32_t p : canvas_->pixels()) total += 255 - static_cast<long>(p & 0xFF);
        return total;
    };
    const long regular = coverage(400);
    EXPECT_GT(coverage(600), regular * 11 / 10);
    EXPECT_GT(coverage(700), regular * 11 / 10);

    // Fonts with the same description are separate objects, and a deleted one is refused.
    LOGFONTW lf = logfont(12, 400);
    HFONT f = CreateFontIndirect(&lf);
    HFONT g = CreateFontIndirect(&lf);
    EXPECT_NE(f, g);
    EXPECT_TRUE(DeleteObject(f));
    EXPECT_EQ(SelectObject(dc_, f), nullptr);
    EXPECT_NE(SelectObject(dc_, g), nullptr);
    LOGFONTW back{};
    EXPECT_EQ(GetObject(g, sizeof back, &back), static_cast<int>(sizeof back));
    EXPECT_EQ(std::memcmp(&back, &lf, sizeof lf), 0);
    SelectObject(dc_, font_);
    DeleteObject(g);
    EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);

    // Other scripts are drawn, not boxed.
    use_font(-16, 400);
    SetBkMode(dc_, TRANSPARENT);
    // Ink pattern of one character drawn alone at the origin.
    auto glyph = [&](char16_t c1, char16_t c2 = 0) {
        const char16_t s[3] = {c1, c2, 0};
        drawn(s, RECT{0, 0, 240, 120}, DT_SINGLELINE | DT_NOPREFIX);
        return std::vector<std::uint32_t>(canvas_->pixels().begin(), canvas_->pixels().end());
    };
    const auto missing = glyph(0xDBFF, 0xDFFD);  // U+10FFFD: in no font
    ASSERT_NE(ink(kWhite), 0) << "the missing-glyph box has ink";
    for (char16_t c : {u'Ж', u'Я', u'Ω', u'λ', u'漢', u'字', u'音', u'楽', u'é', u'ő'}) {
        const auto g = glyph(c);
        EXPECT_GT(ink(kWhite), 0) << static_cast<int>(c);
        EXPECT_NE(g, missing) << "U+" << std::hex << static_cast<int>(c) << " drawn as a box";
    }
    // Fallback glyphs of different characters differ from each other too.
    EXPECT_NE(glyph(u'漢'), glyph(u'字'));
}

}  // namespace
}  // namespace zv::test
