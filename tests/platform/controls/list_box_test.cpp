// The list box and the push button: list messages and their refusals, taps, double taps, drags and
// the scroll bar, the button's pressed look and click, their pixels, and the library template.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gdi/gdi_internal.h"
#include "resources/resource.h"
#include "tests/platform/controls/control_fixture.h"

namespace {

using namespace zv::test;
using Type = zv::InputEvent::Type;

class ListBox : public ControlFixture {
protected:
    void SetUp() override
    {
        ControlFixture::SetUp();
        log.only({WM_COMMAND});
    }

    // A 150 x 100 list at (10, 10) holding "Item 00" .. "Item 29".
    HWND list(DWORD style, UINT id = 1010)
    {
        HWND h = CreateWindow(u"LISTBOX", u"", WS_CHILD | WS_VISIBLE | WS_BORDER | style, 10, 10, 150, 100, parent_,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), NULL, NULL);
        for (int i = 0; i < 30; ++i) {
            const char16_t text[] = {u'I', u't', u'e', u'm', u' ', char16_t(u'0' + i / 10), char16_t(u'0' + i % 10), 0};
            EXPECT_EQ(SendMessage(h, LB_ADDSTRING, 0, LPARAM(text)), i);
        }
        return h;
    }
    static LRESULT top(HWND h) { return SendMessage(h, LB_GETTOPINDEX, 0, 0); }
    static LRESULT sel(HWND h) { return SendMessage(h, LB_GETCURSEL, 0, 0); }
};

TEST_F(ListBox, MessagesAnswerAndRefuseAsWin32)
{
    HWND h = list(LBS_NOTIFY | WS_VSCROLL);
    const int page = 98 / static_cast<int>(SendMessage(h, LB_GETITEMHEIGHT, 0, 0));
    char16_t buffer[32] = u"untouched";
    EXPECT_EQ(SendMessage(h, LB_ADDSTRING, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessage(h, LB_GETCOUNT, 0, 0), 30);
    EXPECT_EQ(SendMessage(h, LB_GETTEXTLEN, 12, 0), 7);
    EXPECT_EQ(SendMessage(h, LB_GETTEXT, 12, LPARAM(buffer)), 7);
    EXPECT_EQ(std::u16string(buffer), u"Item 12");
    const std::tuple<UINT, int, LPARAM> refused[] = {{LB_GETTEXT, 30, LPARAM(buffer)},
                                                     {LB_GETTEXT, 0, 0},
                                                     {LB_GETTEXTLEN, -1, 0},
                                                     {LB_SETTOPINDEX, 30, 0},
                                                     {LB_DELETESTRING, 30, 0}};
    for (const auto& [msg, index, lp] : refused)
        EXPECT_EQ(SendMessage(h, msg, WPARAM(index), lp), LB_ERR) << msg << " " << index;
    EXPECT_EQ(std::u16string(buffer), u"Item 12");
    EXPECT_EQ(top(h), 0) << "a refused LB_SETTOPINDEX changes nothing";

    // The selection scrolls into view; a bad index or -1 clears it.
    const struct {
        int index;
        LRESULT answer, selected, top;
    } picks[] = {{25, 25, 25, 26 - page}, {3, 3, 3, 3}, {30, LB_ERR, LB_ERR, 3}, {0, 0, 0, 0}, {-1, LB_ERR, LB_ERR, 0}};
    for (const auto& p : picks) {
        EXPECT_EQ(SendMessage(h, LB_SETCURSEL, WPARAM(p.index), 0), p.answer) << p.index;
        EXPECT_EQ((std::pair{sel(h), top(h)}), (std::pair{p.selected, p.top})) << p.index;
    }
    EXPECT_EQ(SendMessage(h, LB_SETTOPINDEX, 5, 0), LB_OKAY);
    EXPECT_EQ(top(h), 5);
    SendMessage(h, LB_SETTOPINDEX, 29, 0);
    EXPECT_EQ(top(h), 30 - page) << "never past the last page";
    EXPECT_SEQUENCE(log, parent_, {});  // messages notify nobody

    SendMessage(h, LB_SETCURSEL, 4, 0);
    EXPECT_EQ(SendMessage(h, LB_DELETESTRING, 0, 0), 29);
    EXPECT_EQ(sel(h), 3);
    LOGFONTW lf{};
    lf.lfHeight = -30;
    HFONT big = CreateFontIndirectW(&lf);
    const LRESULT small = SendMessage(h, LB_GETITEMHEIGHT, 0, 0);
    SendMessage(h, WM_SETFONT, WPARAM(big), TRUE);
    EXPECT_GT(SendMessage(h, LB_GETITEMHEIGHT, 0, 0), small + 10) << "items follow the font";
    SendMessage(h, LB_RESETCONTENT, 0, 0);
    tap(40, 20);  // nothing there to select
    EXPECT_EQ((std::vector<LRESULT>{SendMessage(h, LB_GETCOUNT, 0, 0), sel(h), top(h)}),
              (std::vector<LRESULT>{0, LB_ERR, 0}));
    DestroyWindow(h);
    DeleteObject(big);
    EXPECT_EQ(SendMessage(h, LB_GETCOUNT, 0, 0), 0) << "a destroyed list answers nothing";
}

TEST_F(ListBox, EveryTapSaysSelChangeDoubleTapsDoubleAndDragsScroll)
{
    HWND h = list(LBS_NOTIFY | WS_VSCROLL);
    const int ih = static_cast<int>(SendMessage(h, LB_GETITEMHEIGHT, 0, 0)), page = 98 / ih;
    auto row_y = [&](int row) { return 11 + row * ih + ih / 2; };  // frame at y = 10
    log.watch(h);
    log.name(h, "list");
    log.only({WM_COMMAND, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_SETFOCUS, WM_CAPTURECHANGED});
    // Focus first, the press captured, and the release lets go before the parent hears.
    tap(40, row_y(2));
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_LBUTTONDOWN, posted, 0, 0, h},
                     {WM_SETFOCUS, sent, 0, 0, h},
                     command(1010, h, LBN_SETFOCUS),
                     {WM_LBUTTONUP, posted, 0, 0, h},
                     {WM_CAPTURECHANGED, sent | lparam, 0, 0, h},
                     command(1010, h, LBN_SELCHANGE)});
    log.only({WM_COMMAND});
    // Within 500 ms and 4 px a second tap doubles; a third starts over, as does a late one; each
    // says LBN_SELCHANGE though the selection stays.
    const struct {
        UINT wait_ms;
        int row, dy;
        WORD code;
        LRESULT selected;
    } taps[] = {{0, 2, 2, LBN_DBLCLK, 2},    {0, 2, 0, LBN_SELCHANGE, 2}, {500, 2, 0, LBN_SELCHANGE, 2},
                {0, 4, 0, LBN_SELCHANGE, 4}, {0, 4, 5, LBN_SELCHANGE, 4}, {0, 5, 0, LBN_SELCHANGE, 5}};
    for (const auto& t : taps) {
        if (t.wait_ms) advance(t.wait_ms);
        const int y = row_y(t.row) + t.dy;
        stylus(Type::StylusDown, 42, y);
        stylus(Type::StylusMove, 46, y - 4);  // a wobble within 4 px keeps it a tap
        stylus(Type::StylusUp, 46, y - 4);
        EXPECT_EQ(sel(h), t.selected) << t.row;
        EXPECT_SEQUENCE(log, parent_, {command(1010, h, t.code)});
    }
    // A drag follows the stylus by whole items and selects nothing; captured, it ends beyond the
    // list and is clamped.
    stylus(Type::StylusDown, 40, row_y(5));
    stylus(Type::StylusMove, 40, row_y(5) - 3 * ih - 2);
    EXPECT_EQ(top(h), 3);
    stylus(Type::StylusMove, 40, 300);
    stylus(Type::StylusUp, 40, 300);
    EXPECT_EQ((std::pair{top(h), sel(h)}), (std::pair{LRESULT{0}, LRESULT{5}}));
    // The bar: the track below the thumb pages, the thumb drags to the end.
    tap(154, 100);
    EXPECT_EQ(top(h), page);
    stylus(Type::StylusDown, 154, 40);
    stylus(Type::StylusMove, 154, 200);
    stylus(Type::StylusUp, 154, 200);
    EXPECT_EQ(top(h), 30 - page);
    // Neither said anything; keys say LBN_SELCHANGE, even down at the end.
    SendMessage(h, LB_SETCURSEL, 29, 0);
    for (int vk : {VK_DOWN, VK_UP, VK_RETURN}) key(Type::KeyDown, vk);
    EXPECT_EQ(sel(h), 28);
    EXPECT_SEQUENCE(log, parent_, {command(1010, h, LBN_SELCHANGE), command(1010, h, LBN_SELCHANGE)});

    // A stroke whose capture another window takes ends there: its release says nothing.
    stylus(Type::StylusDown, 40, row_y(1));
    SetCapture(parent_);
    SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(40, row_y(1)));
    ReleaseCapture();
    HWND quiet = list(0, 1006);
    SetWindowPos(quiet, nullptr, 10, 150, 150, 100, SWP_NOZORDER);
    tap(40, 150 + 1 + ih / 2);
    tap(40, 150 + 1 + ih / 2);
    EXPECT_EQ(sel(quiet), 0);
    EXPECT_SEQUENCE(log, parent_, {command(1010, h, LBN_KILLFOCUS)});  // and nothing from the quiet list
}

TEST_F(ListBox, ButtonsClickOnReleaseInsideAndPaintingLeaksNothing)
{
    HWND h = list(LBS_NOTIFY);
    SendMessage(h, LB_SETCURSEL, 1, 0);
    HWND button = CreateWindow(u"BUTTON", u"Back To Player", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 200, 88, 26,
                               parent_, reinterpret_cast<HMENU>(1009), NULL, NULL);
    pump();
    const int ih = static_cast<int>(SendMessage(h, LB_GETITEMHEIGHT, 0, 0));
    auto count = [](const zv::Surface& s, RECT r, auto pred) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += pred(s.pixel(x, y)) ? 1 : 0;
        return n;
    };
    const zv::Surface shot = backend().screen();
    EXPECT_EQ((std::vector<std::uint32_t>{shot.pixel(10, 10), shot.pixel(158, 12), shot.pixel(11, 12 + ih)}),
              (std::vector<std::uint32_t>{0, 0xFFFFFF, 0x000080}))
        << "frame, white, the selection";
    EXPECT_GT(count(shot, {11, 11, 159, 11 + ih}, [](std::uint32_t p) { return p < 0x404040; }), 10) << "text";
    EXPECT_GT(count(shot, {11, 11 + ih, 159, 11 + 2 * ih}, [](std::uint32_t p) { return p == 0xFFFFFF; }), 10);
    EXPECT_EQ((std::pair{shot.pixel(20, 200), shot.pixel(21, 201)}), (std::pair{0u, 0xC0C0C0u})) << "a frame of one";
    EXPECT_GT(count(shot, {21, 201, 107, 225}, [](std::uint32_t p) { return p < 0x404040; }), 20) << "its title";

    // Pressed while held and over it; a release elsewhere clicks nothing.
    const struct {
        Type type;
        int x, y;
        std::uint32_t face;
    } strokes[] = {{Type::StylusDown, 60, 210, 0x404040}, {Type::StylusMove, 60, 250, 0xC0C0C0},
                   {Type::StylusMove, 61, 211, 0x404040}, {Type::StylusMove, 60, 250, 0xC0C0C0},
                   {Type::StylusUp, 60, 250, 0xC0C0C0},   {Type::StylusDown, 60, 210, 0x404040},
                   {Type::StylusUp, 60, 212, 0xC0C0C0}};
    for (const auto& s : strokes) {
        stylus(s.type, s.x, s.y);
        EXPECT_EQ(backend().screen().pixel(22, 202), s.face) << s.y;
        EXPECT_EQ(GetCapture() == button, s.type != Type::StylusUp) << "held while the stylus is down";
        EXPECT_EQ(count(backend().screen(), {21, 201, 107, 225}, [](std::uint32_t p) { return p == 0xFFFFFF; }) > 20,
                  s.face == 0x404040)
            << "white title while pressed";
    }
    SendMessage(button, BM_CLICK, 0, 0);
    EXPECT_SEQUENCE(log, parent_, {command(1009, button, BN_CLICKED), command(1009, button, BN_CLICKED)});
    EnableWindow(button, FALSE);
    tap(60, 210);
    SendMessage(button, BM_CLICK, 0, 0);
    EXPECT_SEQUENCE(log, parent_, {}) << "a disabled button says nothing";
    SetDlgItemText(parent_, 1009, u"Sort By Artist");
    char16_t text[32]{};
    EXPECT_EQ(SendMessage(button, WM_GETTEXT, 32, LPARAM(text)), 14);

    const std::size_t before = zv::GdiState::current()->object_count();
    for (int i = 0; i < 200; ++i) {
        SendMessage(h, LB_SETCURSEL, WPARAM(i % 30), 0);
        InvalidateRect(button, nullptr, TRUE);
        pump();
    }
    EXPECT_EQ(zv::GdiState::current()->object_count(), before);
}

INT_PTR CALLBACK library_proc(HWND h, UINT msg, WPARAM, LPARAM)
{
    if (msg != WM_INITDIALOG) return FALSE;
    HWND names = GetDlgItem(h, IDC_LIBRARY_NAMES);
    EXPECT_EQ(SendMessage(names, WM_GETFONT, 0, 0), SendMessage(h, WM_GETFONT, 0, 0)) << "the dialog's font";
    EXPECT_EQ(SendMessage(names, LB_ADDSTRING, 0, LPARAM(u"Track")), 0);
    EXPECT_EQ(SendDlgItemMessage(h, IDC_LIBRARY_PATHS, LB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(SetDlgItemText(h, IDC_LIBRARY_SORT, u"Sort By Title"));
    return EndDialog(h, 5);
}

TEST_F(ListBox, TheLibraryTemplateBuildsItsControls)
{
    HRSRC r = FindResource(nullptr, MAKEINTRESOURCE(IDD_LIBRARY), RT_DIALOG);
    auto tmpl = static_cast<LPCDLGTEMPLATE>(LockResource(LoadResource(nullptr, r)));
    EXPECT_EQ(DialogBoxIndirectParam(platform_->module(), tmpl, parent_, library_proc, 0), 5);
}

}  // namespace
