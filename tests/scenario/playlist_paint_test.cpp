// The playlist as the user sees it: the selected item's gradient and shadowed text, the plain
// items' frame and text, the back buffer's slice when the list has been moved, long and
// non-Latin names, and the cost of a paint with a very long list.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "files/codepage.h"
#include "gdi/gdi_internal.h"
#include "playback/playback.h"
#include "playlist/playlist.h"
#include "support/fixture_dir.h"
#include "support/paint_recorder.h"
#include "support/program_harness.h"

namespace fs = std::filesystem;
using zv::test::FixtureDir;
using zv::test::install_paint_recorder;
using zv::test::paint_log;
using zv::test::PaintRecord;
using zv::test::ProgramHarness;

namespace {

constexpr std::uint32_t kFrame = 0xE6E6E6;
constexpr std::uint32_t kFill = 0xFAFAFA;
constexpr std::uint32_t kLightText = 0xF0FDFF;  // screen pixels are 0x00RRGGBB
constexpr std::uint32_t kShadow = 0x4B5A5A;

// Green and blue of the selected item's 40 rows, top to bottom (red is 0 throughout).
constexpr int kGradient[40][2] = {{156, 248}, {154, 247}, {152, 246}, {150, 245}, {148, 244}, {147, 244}, {145, 243},
                                  {143, 242}, {141, 241}, {140, 241}, {138, 240}, {136, 239}, {134, 238}, {132, 237},
                                  {131, 237}, {129, 236}, {127, 235}, {125, 234}, {124, 234}, {122, 233}, {120, 232},
                                  {118, 231}, {116, 230}, {115, 230}, {113, 229}, {111, 228}, {109, 227}, {108, 227},
                                  {106, 226}, {104, 225}, {102, 224}, {100, 223}, {99, 223},  {97, 222},  {95, 221},
                                  {93, 220},  {92, 220},  {90, 219},  {88, 218},  {86, 217}};

std::uint32_t gradient_row(int i) { return static_cast<std::uint32_t>(kGradient[i][0] << 8 | kGradient[i][1]); }

// Index of the playlist item showing `name` (the scan's order is the folder's), or -1.
int index_of(ProgramHarness& p, const std::u16string& name)
{
    for (int i = 0, n = p.item_count(PlaylistView); i < n; ++i)
        if (p.item_text(PlaylistView, i) == name) return i;
    return -1;
}

void select_track(ProgramHarness& p, int index)
{
    p.on_ui([index] {
        CurrentTrack = index;
        PlayCurrentTrack();
    });
}

// The screen rows [top, top + 40) as pixels, for comparing two items' pictures.
std::vector<std::uint32_t> item_pixels(const zv::Surface& s, int top)
{
    std::vector<std::uint32_t> out;
    for (int y = top; y < top + ITEM_HEIGHT; ++y)
        for (int x = 0; x < 240; ++x) out.push_back(s.pixel(x, y));
    return out;
}

}  // namespace

TEST(PlaylistPaint, PlainRowsAndTheLitRowAndTheOwnerDrawMeasureAndColourRequests)
{
    FixtureDir dir;
    zv::test::write_library(
        dir.path(), {"HIll one.mp3", "Simon & Garfunkel.mp3", "Simon  Garfunkel.mp3", "Mmm two.mp3", "Other.mp3"});
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    // Plain rows: grey lines, near-white fill and dark text twelve pixels in.
    const zv::Surface s = p.screen();
    std::vector<int> rightmost(5, 0);
    for (int item = 0; item < 5; ++item) {
        const int top = item * ITEM_HEIGHT;
        SCOPED_TRACE(item);
        // The top and bottom lines run the whole width.
        for (int x = 0; x < 240; ++x) {
            ASSERT_EQ(s.pixel(x, top), kFrame) << x;
            ASSERT_EQ(s.pixel(x, top + 39), kFrame) << x;
        }
        int leftmost = 240, dark = 0;
        for (int y = top + 1; y < top + 39; ++y)
            for (int x = 0; x < 240; ++x) {
                std::uint32_t v = s.pixel(x, y);
                if (v == kFill) continue;
                leftmost = std::min(leftmost, x);
                rightmost[item] = std::max(rightmost[item], x);
                if (v == 0x1F1F1F) ++dark;
            }
        EXPECT_GE(leftmost, 12);
        EXPECT_LE(leftmost, 13);
        EXPECT_GT(dark, 5);
    }
    zv::test::expect_list_screen(s, 0, 5, -1);
    // A name's "&" is drawn, not taken as a mnemonic marker: that name runs further right than
    // the one with a second space in its place.
    const int amp = index_of(p, u"Simon & Garfunkel.mp3"), spaces = index_of(p, u"Simon  Garfunkel.mp3");
    ASSERT_GE(amp, 0);
    ASSERT_GE(spaces, 0);
    EXPECT_GT(rightmost[amp], rightmost[spaces] + 2);
    // Nothing of the list below its last item: the main window's black.
    for (int y = 5 * ITEM_HEIGHT; y < 320; y += 7)
        for (int x = 0; x < 240; x += 13) ASSERT_EQ(s.pixel(x, y), 0u) << x << "," << y;

    // The lit row: the gradient with light text over its shadow.
    const int index = index_of(p, u"HIll one.mp3");
    ASSERT_GE(index, 0);
    select_track(p, index);
    const zv::Surface lit = p.screen();
    const int top = index * ITEM_HEIGHT;

    // The 40 rows run from (0, 156, 248) down to (0, 86, 217), left of the text and at the
    // right edge.
    for (int i = 0; i < ITEM_HEIGHT; ++i)
        for (int x : {0, 6, 11, 239}) ASSERT_EQ(lit.pixel(x, top + i), gradient_row(i)) << "row " << i << " x " << x;

    // Every fully dark shadow pixel sits one pixel right of and one row below a fully light
    // text pixel: the shadow is the same text moved by (1, 1).
    int light = 0, shadow = 0, leftmost = 240;
    for (int y = top; y < top + ITEM_HEIGHT; ++y)
        for (int x = 0; x < 240; ++x) {
            std::uint32_t v = lit.pixel(x, y);
            if (v != gradient_row(y - top)) leftmost = std::min(leftmost, x);
            if (v == kLightText) ++light;
            if (v == kShadow) {
                ++shadow;
                EXPECT_EQ(lit.pixel(x - 1, y - 1), kLightText) << "shadow at " << x << "," << y;
            }
        }
    EXPECT_GT(light, 10);
    EXPECT_GT(shadow, 3);
    // The light text starts 12 pixels in ("H" has at most a pixel of side bearing).
    EXPECT_GE(leftmost, 12);
    EXPECT_LE(leftmost, 13);

    // The owner-draw, measure and edit-colour requests as the main window answers them.
    p.on_ui([] {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bm = CreateCompatibleBitmap(dc, 240, 40);
        HGDIOBJ old = SelectObject(dc, bm);
        std::shared_ptr<zv::Surface> pixels = zv::bitmap_surface(bm);
        RECT all{0, 0, 240, 40};
        HBRUSH marker = CreateSolidBrush(RGB(1, 2, 3));
        FillRect(dc, &all, marker);
        DeleteObject(marker);
        auto untouched = [&] {
            int changed = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 240; ++x) changed += pixels->pixel(x, y) != 0x010203u;
            return changed == 0;
        };

        // Another control type: nothing drawn, whatever its state, and still result 1.
        for (UINT type : {UINT{ODT_BUTTON}, UINT{ODT_LISTBOX}, UINT{101}, UINT{103}}) {
            DRAWITEMSTRUCT d{};
            d.CtlType = type;
            d.itemID = 0;
            d.itemState = ODS_SELECTED;
            d.hDC = dc;
            d.rcItem = all;
            EXPECT_EQ(SendMessage(MainWindow, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&d)), 1) << type;
            EXPECT_TRUE(untouched()) << type;
        }
        // The list control's type is drawn into the same context.
        DRAWITEMSTRUCT d{};
        d.CtlType = ODT_LISTVIEW;
        d.hDC = dc;
        d.rcItem = all;
        EXPECT_EQ(SendMessage(MainWindow, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&d)), 1);
        EXPECT_FALSE(untouched());
        EXPECT_EQ(pixels->pixel(5, 0), kFrame);
        EXPECT_EQ(pixels->pixel(5, 20), kFill);

        // Measure-item answers 40 to any control.
        for (UINT type : {UINT{ODT_LISTVIEW}, UINT{ODT_LISTBOX}, UINT{ODT_MENU}}) {
            MEASUREITEMSTRUCT mi{};
            mi.CtlType = type;
            mi.CtlID = 77;
            mi.itemHeight = 3;
            EXPECT_EQ(SendMessage(MainWindow, WM_MEASUREITEM, 77, reinterpret_cast<LPARAM>(&mi)), 1);
            EXPECT_EQ(mi.itemHeight, 40u);
        }

        // The edit-colour request: white text, the black edit brush.
        SetTextColor(dc, RGB(9, 9, 9));
        EXPECT_EQ(SendMessage(MainWindow, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0),
                  reinterpret_cast<LRESULT>(EditBrush));
        EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255));

        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    });
}

TEST(PlaylistPaint, MovedUpByFourHundredPaintsControlRowsFourHundredToSevenTwenty)
{
    FixtureDir dir;
    zv::test::write_library(dir.path(), zv::test::numbered(30));
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    select_track(p, 12);
    install_paint_recorder(p);
    p.on_ui([] { ScrollPlaylist(MainWindow, -400); });
    ASSERT_EQ(ScrollOffset, -400);

    paint_log().paints.clear();
    p.on_ui([] { InvalidateRect(MainWindow, nullptr, TRUE); });
    POINT origin{1, 1};
    p.on_ui([&] { GetViewportOrgEx(BackBufferDC, &origin); });
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, -400);
    // One paint, drawing the items of control rows 400 to 720 and no others.
    ASSERT_EQ(paint_log().paints.size(), 1u);
    EXPECT_EQ(paint_log().paints[0].items, (std::vector<UINT>{10, 11, 12, 13, 14, 15, 16, 17}));

    // Item 12 (control rows 480..520) is the gradient at screen rows 80..120; the others are
    // plain, and item 17 ends on the last screen row.
    const zv::Surface s = p.screen();
    for (int i = 0; i < ITEM_HEIGHT; ++i) ASSERT_EQ(s.pixel(3, 80 + i), gradient_row(i)) << i;
    zv::test::expect_list_screen(s, -400, 30, 12);
}

// Dragged or moved anywhere, a list of 100 000 items paints only those on screen.
TEST(PlaylistPaint, HundredThousandItemsCostNoMoreThanTheVisibleOnes)
{
    FixtureDir dir;
    zv::test::ScratchFolder music(dir);
    ASSERT_FALSE(music.path().empty());
    music.add_empty_tracks(100000);
    zv::test::write_settings(dir.path(), music.path());
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    ASSERT_EQ(TrackCount, 100000);
    EXPECT_EQ(ListHeight, 4000000);
    install_paint_recorder(p);

    p.press(120, 310);
    int frames = 0;
    for (int round = 0; round < 3; ++round)
        for (int y = 300; y >= 10; y -= 17) {
            paint_log().paints.clear();
            p.move(120, round % 2 ? 320 - y : y);
            for (const PaintRecord& r : paint_log().paints) {
                ++frames;
                ASSERT_LE(r.items.size(), 9u);
                for (UINT item : r.items) {
                    // Only items crossing the screen's rows at that paint's offset.
                    ASSERT_GE(static_cast<int>(item) * ITEM_HEIGHT + ITEM_HEIGHT, -r.scroll_offset) << item;
                    ASSERT_LT(static_cast<int>(item) * ITEM_HEIGHT, -r.scroll_offset + 320) << item;
                }
            }
        }
    p.release(120, 310);
    EXPECT_GT(frames, 20);
    EXPECT_LT(ScrollOffset, -100);
    zv::test::expect_list_screen(p.screen(), ScrollOffset, 100000, -1);

    for (int offset : {0, -820, -2000020, -3999710}) {
        SCOPED_TRACE(offset);
        p.on_ui([offset] { ScrollPlaylist(MainWindow, offset - ScrollOffset); });
        ASSERT_EQ(ScrollOffset, offset);
        paint_log().paints.clear();
        paint_log().draws.clear();
        p.on_ui([] { InvalidateRect(PlaylistView, nullptr, FALSE); });
        ASSERT_EQ(paint_log().paints.size(), 1u);
        EXPECT_LE(paint_log().draws.size(), 9u);
        // Exactly the items crossing screen rows 0..320.
        const int first = -offset / ITEM_HEIGHT;
        const int last = std::min(99999, (-offset + 319) / ITEM_HEIGHT);
        std::vector<UINT> expected;
        for (int i = first; i <= last; ++i) expected.push_back(static_cast<UINT>(i));
        EXPECT_EQ(paint_log().draws, expected);
    }
    // The bottom bound holds the last item's bottom edge at y = 290.
    EXPECT_EQ(ScrollOffset, 290 - 4000000);
    zv::test::expect_list_screen(p.screen(), ScrollOffset, 100000, -1);
    EXPECT_EQ(p.pixel(100, 300), 0u);
}

TEST(PlaylistPaint, LongNamesWrapUnclippedAndStopAtSixtyThreeCharacters)
{
    // Sixty-three characters: the first 62, then a visible last one.
    const std::string first62 = "The Long And Winding Road Taken Twice Over Both Hills And Vale";
    ASSERT_EQ(first62.size(), 62u);
    const std::string full63 = first62 + "Z";
    // Words as wide as half a row: one per line, so the text needs more lines than a row has.
    const std::string tall = "WWWWWWWWWWWWW WWWWWWWWWWWWW WWWWWWWWWWWWW WWWWWWWWWWWWW WWW.mp3";
    FixtureDir dir;
    zv::test::write_library(dir.path(),
                            {"set.mp3/" + full63 + "QQQQ.mp3", "set.mp3/" + full63, "set.mp3/" + first62, tall});
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    auto w = [](const std::string& s) { return zv::widen(s); };
    const int longer = index_of(p, w(full63 + "QQQQ.mp3"));
    const int exact = index_of(p, w(full63));
    const int shorter = index_of(p, w(first62));
    const int wrapped = index_of(p, w(tall));
    ASSERT_GE(longer, 0);
    ASSERT_GE(exact, 0);
    ASSERT_GE(shorter, 0);
    ASSERT_GE(wrapped, 0);

    const zv::Surface s = p.screen();
    // A longer name shows exactly its first 63 characters; dropping the 63rd shows.
    EXPECT_EQ(item_pixels(s, longer * ITEM_HEIGHT), item_pixels(s, exact * ITEM_HEIGHT));
    EXPECT_NE(item_pixels(s, shorter * ITEM_HEIGHT), item_pixels(s, exact * ITEM_HEIGHT));
    // The name wider than the row wraps: its text occupies several separate bands of rows.
    int bands = 0;
    bool in_band = false;
    for (int y = exact * ITEM_HEIGHT + 1; y < exact * ITEM_HEIGHT + 39; ++y) {
        bool ink = false;
        for (int x = 12; x < 240 && !ink; ++x) ink = s.pixel(x, y) != kFill;
        if (ink && !in_band) ++bands;
        in_band = ink;
    }
    EXPECT_GE(bands, 2);

    // Drawn into a taller context, the tall name runs past its 40-pixel item: nothing clips it.
    int below = 0;
    p.on_ui([&] {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bm = CreateCompatibleBitmap(dc, 240, 160);
        HGDIOBJ old = SelectObject(dc, bm);
        std::shared_ptr<zv::Surface> pixels = zv::bitmap_surface(bm);
        RECT all{0, 0, 240, 160};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        DRAWITEMSTRUCT d{};
        d.CtlType = ODT_LISTVIEW;
        d.itemID = static_cast<UINT>(wrapped);
        d.hDC = dc;
        d.rcItem = RECT{0, 20, 240, 60};
        SendMessage(MainWindow, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&d));
        for (int y = 60; y < 160; ++y)
            for (int x = 0; x < 240; ++x) below += pixels->pixel(x, y) != 0u;
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    });
    EXPECT_GT(below, 20);
}

TEST(PlaylistPaint, CyrillicGreekAndChineseNamesShowTheirGlyphs)
{
    // Pairs of names of the same length in one script: boxes for missing glyphs would look
    // alike, real glyphs differ. The unassigned code point has no glyph in any font.
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"ЖЖЖЖ.mp3", "ЛЛЛЛ.mp3"}, {"ΩΩΩΩ.mp3", "ΣΣΣΣ.mp3"}, {"音楽音楽.mp3", "中文中文.mp3"}};
    const std::string missing = "\xCD\xB8\xCD\xB8\xCD\xB8\xCD\xB8.mp3";  // U+0378 four times
    std::vector<std::string> names{missing};
    for (auto& [a, b] : pairs) {
        names.push_back(a);
        names.push_back(b);
    }
    FixtureDir dir;
    zv::test::write_library(dir.path(), names);
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    auto w = [](const std::string& s) { return zv::widen(s); };
    const zv::Surface s = p.screen();
    const int box = index_of(p, w(missing));
    ASSERT_GE(box, 0);
    // The first four characters' area of an item: rows inside the frame, x from 12 on.
    auto glyphs = [&](int index) {
        std::vector<std::uint32_t> out;
        for (int y = index * ITEM_HEIGHT + 1; y < index * ITEM_HEIGHT + 39; ++y)
            for (int x = 12; x < 240; ++x) out.push_back(s.pixel(x, y));
        return out;
    };
    for (auto& [a, b] : pairs) {
        SCOPED_TRACE(a);
        const int ia = index_of(p, w(a)), ib = index_of(p, w(b));
        ASSERT_GE(ia, 0);
        ASSERT_GE(ib, 0);
        std::vector<std::uint32_t> ga = glyphs(ia), gb = glyphs(ib);
        int ink = 0;
        for (std::uint32_t v : ga) ink += v != kFill;
        EXPECT_GT(ink, 40);
        EXPECT_NE(ga, gb);
        EXPECT_NE(ga, glyphs(box));
        EXPECT_NE(gb, glyphs(box));
    }
}
