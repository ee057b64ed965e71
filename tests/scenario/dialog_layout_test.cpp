// Laying a live dialog out by a template: the library browser by its own, by the screen's shape
// (moves land in one batch) and by written templates (field sizes, unnamed items, truncation), the
// now-playing panel and the about box by their own (pictures and icons given again, the replaced
// ones freed, none leaked).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

#include "app/zorvane.h"
#include "gdi/gdi_state.h"
#include "resources/dialog_layout.h"
#include "resources/resource_access.h"
#include "support/fixture_dir.h"
#include "support/message_log.h"
#include "support/program_harness.h"

namespace {

// Writes classic dialog templates byte by byte.
struct TemplateWriter {
    std::vector<BYTE> b;
    void word(unsigned v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
    void dword(unsigned v) { word(v & 0xFFFF), word(v >> 16); }
    void text(std::u16string_view s)
    {
        for (char16_t c : s) word(c);
        word(0);
    }
    void number(unsigned n) { word(0xFFFF), word(n); }
    void header(unsigned style, int count)
    {
        dword(style), dword(0), word(count);
        for (int i = 0; i < 4; ++i) word(0);
    }
    // x, y, w, h in dialog units; the class and title are written by the caller.
    void item(unsigned style, int x, int y, int w, int h, unsigned id)
    {
        while (b.size() % 4) b.push_back(0xAA);
        dword(style), dword(0), word(x), word(y), word(w), word(h), word(id);
    }
};

std::vector<LONG> client_rect_of(HWND dialog, int id)  // in the dialog's client coordinates
{
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    return {r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
}

std::size_t gdi_objects() { return zv::GdiState::current()->object_count(); }

const std::vector<int> kBrowserIds{IDC_LIBRARY_PATHS, IDC_LIBRARY_BACK, IDC_LIBRARY_SORT, IDC_LIBRARY_NAMES,
                                   IDC_LIBRARY_LIST};

std::vector<LONG> units_to_pixels(HWND dialog, LONG x, LONG y, LONG w, LONG h)
{
    RECT r{x, y, x + w, y + h};
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.right, r.bottom};
}

class DialogLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir_.path() / "music");
        std::ofstream(dir_.path() / "direc.zvn") << (dir_.path() / "music").string() << "/";
        p_ = std::make_unique<zv::test::ProgramHarness>(zv::test::ProgramHarness::Options(dir_.path()));
        p_->key('A', true);
        p_->on_ui([&] { browser_ = GetActiveWindow(); });
    }
    void ui(std::function<void()> f) { p_->on_ui(std::move(f)); }

    zv::test::FixtureDir dir_;
    zv::test::MessageLog log_;  // outlives the program's windows it watches
    std::unique_ptr<zv::test::ProgramHarness> p_;
    HWND browser_ = nullptr;
};

}  // namespace

TEST_F(DialogLayout, BrowserSizeMessageRestoresItsOwnTemplateInPlace)
{
    ui([&] {
        std::vector<std::vector<LONG>> before;
        for (int id : kBrowserIds) before.push_back(client_rect_of(browser_, id));
        SetDlgItemText(browser_, IDC_LIBRARY_BACK, u"changed");
        SetDlgItemText(browser_, IDC_LIBRARY_SORT, u"");
        for (int i = 0; i < 60; ++i) SendDlgItemMessage(browser_, IDC_LIBRARY_NAMES, LB_ADDSTRING, 0, (LPARAM)u"x");
        SendDlgItemMessage(browser_, IDC_LIBRARY_NAMES, LB_SETCURSEL, 40, 0);
        SendDlgItemMessage(browser_, IDC_LIBRARY_NAMES, LB_SETTOPINDEX, 0, 0);

        // A size message in portrait relays out even when nothing changed size.
        SendMessage(browser_, WM_SIZE, 0, MAKELPARAM(240, 320));
        for (std::size_t i = 0; i < kBrowserIds.size(); ++i)
            EXPECT_EQ(client_rect_of(browser_, kBrowserIds[i]), before[i]) << kBrowserIds[i];
        WCHAR text[32];
        SendDlgItemMessage(browser_, IDC_LIBRARY_BACK, WM_GETTEXT, 32, (LPARAM)text);
        EXPECT_EQ(std::u16string(text), u"Back To Player");
        SendDlgItemMessage(browser_, IDC_LIBRARY_SORT, WM_GETTEXT, 32, (LPARAM)text);
        EXPECT_EQ(std::u16string(text), u"Sort By Artist");
        EXPECT_EQ(SendDlgItemMessage(browser_, IDC_LIBRARY_NAMES, LB_GETCURSEL, 0, 0), 40);
        EXPECT_GT(SendDlgItemMessage(browser_, IDC_LIBRARY_NAMES, LB_GETTOPINDEX, 0, 0), 0) << "scrolled into view";

        // The now-playing template gives its background picture to the control numbered as it is,
        // here the Sort button, which takes no picture: nothing may be left behind.
        const std::size_t objects = gdi_objects();
        EXPECT_FALSE(ApplyDialogLayout(ModuleInstance, browser_, IDD_NOWPLAYING));
        EXPECT_EQ(gdi_objects(), objects);
        EXPECT_TRUE(ApplyDialogLayout(ModuleInstance, browser_, IDD_LIBRARY));
        // The about box names none of the browser's controls: nothing moves.
        EXPECT_FALSE(ApplyDialogLayout(ModuleInstance, browser_, IDD_ABOUT));
        EXPECT_FALSE(ApplyDialogLayout(ModuleInstance, browser_, 999));
        for (std::size_t i = 0; i < kBrowserIds.size(); ++i)
            EXPECT_EQ(client_rect_of(browser_, kBrowserIds[i]), before[i]);
    });
}

TEST_F(DialogLayout, WrittenTemplatesWalkEveryFieldShapeAndTruncationFailsSafely)
{
    ui([&] {
        // Menu as a number (4 bytes), an empty class (2), a caption and a font with an empty face
        // name; a numbered-class button with no creation data, the named-class list view with 2
        // bytes of it (the next item then needs no filler), and a combo box item, whose control is
        // asked for its selection and given it again.
        TemplateWriter t;
        t.header(DS_SETFONT, 3);
        t.number(5), t.text(u""), t.text(u"Cap"), t.word(8), t.text(u"");
        t.item(0x50010000, 10, 20, 30, 40, IDC_LIBRARY_BACK), t.number(0x80), t.text(u"Go"), t.word(0);
        t.item(0x50000000, 3, 5, 7, 9, IDC_LIBRARY_LIST), t.text(u"SysListView32"), t.text(u""), t.word(4);
        t.word(0xBEEF);
        t.item(0x50000000, 0, 0, 5, 5, IDC_LIBRARY_NAMES), t.number(0x85), t.text(u""), t.word(0);
        log_.watch(GetDlgItem(browser_, IDC_LIBRARY_NAMES));
        log_.only({CB_GETCURSEL, CB_SETCURSEL});
        log_.react = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            return message == CB_GETCURSEL ? std::optional<LRESULT>(3) : std::nullopt;
        };
        EXPECT_TRUE(ApplyDialogLayoutBytes(ModuleInstance, browser_, t.b.data(), static_cast<DWORD>(t.b.size())));
        EXPECT_SEQUENCE(log_, nullptr, {{CB_GETCURSEL}, {CB_SETCURSEL, zv::test::sent | zv::test::wparam, 3}});
        EXPECT_EQ(client_rect_of(browser_, IDC_LIBRARY_BACK), units_to_pixels(browser_, 10, 20, 30, 40));
        EXPECT_EQ(client_rect_of(browser_, IDC_LIBRARY_LIST), units_to_pixels(browser_, 3, 5, 7, 9));
        WCHAR text[32];
        SendDlgItemMessage(browser_, IDC_LIBRARY_BACK, WM_GETTEXT, 32, (LPARAM)text);
        EXPECT_EQ(std::u16string(text), u"Go");

        // Cut short anywhere, the walk (and the one that only moves) fails without reading past
        // the end (the address sanitizer sees every byte outside the exact-size copy); whole, it
        // succeeds.
        for (std::size_t n = 0; n <= t.b.size(); ++n) {
            std::vector<BYTE> cut(t.b.begin(), t.b.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_EQ(ApplyDialogLayoutBytes(ModuleInstance, browser_, cut.data(), static_cast<DWORD>(n)),
                      n == t.b.size())
                << n;
            EXPECT_EQ(MoveDialogControlsBytes(browser_, cut.data(), static_cast<DWORD>(n)), n == t.b.size()) << n;
        }

        TemplateWriter empty;
        empty.header(0, 0), empty.number(1), empty.number(2), empty.number(3);
        EXPECT_TRUE(
            ApplyDialogLayoutBytes(ModuleInstance, browser_, empty.b.data(), static_cast<DWORD>(empty.b.size())));
    });
}

TEST_F(DialogLayout, PanelsGetTheirPicturesAndIconsAgainAndTheReplacedOnesAreFreed)
{
    HWND panel = nullptr;
    RECT back{};
    ui([&] { GetWindowRect(GetDlgItem(browser_, IDC_LIBRARY_BACK), &back); });
    p_->tap((back.left + back.right) / 2, (back.top + back.bottom) / 2);
    ui([&] { panel = GetActiveWindow(); });
    ASSERT_NE(panel, browser_);
    ui([&] {
        // The panel's own template names two unnamed pictures. Each relayout gives every picture
        // again and frees the one it replaced, however often it runs.
        const HGDIOBJ shown = (HGDIOBJ)SendDlgItemMessage(panel, IDC_BACKGROUND, STM_GETIMAGE, IMAGE_BITMAP, 0);
        const std::size_t objects = gdi_objects();
        for (int i = 0; i < 3; ++i) EXPECT_FALSE(ApplyDialogLayout(ModuleInstance, panel, IDD_NOWPLAYING));
        EXPECT_EQ(gdi_objects(), objects);
        const HGDIOBJ now = (HGDIOBJ)SendDlgItemMessage(panel, IDC_BACKGROUND, STM_GETIMAGE, IMAGE_BITMAP, 0);
        EXPECT_TRUE(now && now != shown && !DeleteObject(shown)) << "a new picture, the old one freed";

        // The about box's icon, and its text.
        const HRSRC about = FindResource(ModuleInstance, MAKEINTRESOURCE(IDD_ABOUT), RT_DIALOG);
        const auto checks = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message != WM_INITDIALOG) return FALSE;
            const HICON icon = (HICON)SendDlgItemMessage(dialog, IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0);
            SetDlgItemText(dialog, IDC_ABOUT_LINE1, u"");
            EXPECT_TRUE(ApplyDialogLayout(ModuleInstance, dialog, IDD_ABOUT));
            const HICON again = (HICON)SendDlgItemMessage(dialog, IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0);
            EXPECT_TRUE(icon && zv::icon_pixels(again) && again != icon && !DestroyIcon(icon))
                << "a new live icon, the old one destroyed";
            WCHAR text[32];
            SendDlgItemMessage(dialog, IDC_ABOUT_LINE1, WM_GETTEXT, 32, (LPARAM)text);
            EXPECT_EQ(std::u16string(text), u"Zorvane 1.0");
            return EndDialog(dialog, IDOK);
        };
        DialogBoxIndirectParam(ModuleInstance, (LPCDLGTEMPLATEW)LockResource(LoadResource(ModuleInstance, about)),
                               panel, checks, 0);

        TemplateWriter t;
        t.header(0, 1), t.text(u""), t.text(u""), t.text(u"");
        t.item(0x50000000, 0, 0, 10, 10, 0xFFFF), t.number(0x82), t.text(u""), t.word(0);
        EXPECT_TRUE(ApplyDialogLayoutBytes(ModuleInstance, panel, t.b.data(), static_cast<DWORD>(t.b.size())));
        t.b[8] = 2;
        t.item(0x50000000, 20, 30, 10, 10, 0xFFFF), t.number(0x82), t.text(u""), t.word(0);
        EXPECT_FALSE(ApplyDialogLayoutBytes(ModuleInstance, panel, t.b.data(), static_cast<DWORD>(t.b.size())));
        EXPECT_EQ(client_rect_of(panel, 0xFFFF), units_to_pixels(panel, 20, 30, 10, 10));
    });
}

// The landscape screen takes the browser's landscape template and portrait its own again. Every
// control is told of its move only when all are placed, after the content step, and keeps its
// place among its siblings.
TEST_F(DialogLayout, TheScreenShapePicksTheTemplateAndTheMovesLandInOneBatch)
{
    std::vector<HWND> controls;
    ui([&] {
        EXPECT_EQ(ScreenOrientation(), 1);
        log_.react = [](HWND, UINT message, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
            EXPECT_TRUE(message != WM_WINDOWPOSCHANGED || (((WINDOWPOS*)lp)->flags & SWP_NOZORDER));
            return std::nullopt;
        };
        for (int id : kBrowserIds) controls.push_back(GetDlgItem(browser_, id)), log_.watch(controls.back());
        log_.only({WM_WINDOWPOSCHANGED, WM_SETTEXT, LB_GETCURSEL});
    });
    p_->key(VK_F7);
    ui([&] {
        EXPECT_EQ(ScreenOrientation(), -1);
        EXPECT_EQ(client_rect_of(browser_, IDC_LIBRARY_BACK), units_to_pixels(browser_, 144, 4, 66, 16));
        EXPECT_EQ(client_rect_of(browser_, IDC_LIBRARY_NAMES), units_to_pixels(browser_, 1, 1, 140, 145));
        std::vector<zv::test::Msg> expected{{LB_GETCURSEL, zv::test::sent, 0, 0, controls[0]},
                                            {WM_SETTEXT, zv::test::sent, 0, 0, controls[1]},
                                            {WM_SETTEXT, zv::test::sent, 0, 0, controls[2]},
                                            {LB_GETCURSEL, zv::test::sent, 0, 0, controls[3]}};
        // The hidden path list has one rectangle in both layouts: it does not move and hears nothing.
        for (std::size_t i = 1; i < controls.size(); ++i)
            expected.push_back({WM_WINDOWPOSCHANGED, zv::test::sent, 0, 0, controls[i]});
        EXPECT_SEQUENCE(log_, nullptr, expected);
    });
    p_->key(VK_F7);
    ui([&] {
        EXPECT_EQ(ScreenOrientation(), 1);
        EXPECT_EQ(client_rect_of(browser_, IDC_LIBRARY_BACK), units_to_pixels(browser_, 52, 182, 58, 16));
    });
}
