// Dialog templates read only within their resource and laid out on the handheld's grid, and modal
// dialogs. The test thread is the UI thread: what acts inside a modal loop is posted beforehand.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <functional>

#include "core/user_state.h"
#include "dialogs/dialog_template.h"
#include "dialogs/dialog_units.h"
#include "platform/resources/res_builder.h"
#include "resources/resource_blob.h"
#include "resources/resource_table.h"
#include "support/platform_fixture.h"

namespace {

using namespace zv::test;

// At 10, 20 and 100 x 100 units; each item {style, x, y, id} is 40 x 16 of class `cls`, titled
// with ordinal 7, with 2 bytes of creation data.
std::vector<std::uint8_t> dialog_template(DWORD style, WORD points, const std::u16string& face,
                                          const std::vector<std::array<int, 4>>& items,
                                          const std::u16string& cls = u"TestItem")
{
    zvtest::Bytes b;
    b.u32(style | DS_SETFONT).u32(0).u16(static_cast<unsigned>(items.size())).u16(10).u16(20).u16(100).u16(100);
    b.u16(0).u16(0).str16(u"Title").u16(points).str16(face);
    for (const auto& [item_style, x, y, id] : items) {
        b.align4().u32(static_cast<std::uint32_t>(item_style)).u32(0).u16(x).u16(y).u16(40).u16(16).u16(id);
        b.str16(cls).u16(0xFFFF).u16(7).u16(2).u16(0xCDAB);
    }
    return b.b;
}

std::span<const std::uint8_t> template_bytes(int id)
{
    HRSRC r = FindResource(nullptr, MAKEINTRESOURCE(id), RT_DIALOG);
    return zv::resource_bytes_from(r ? LockResource(LoadResource(nullptr, r)) : nullptr);
}

TEST(DialogTemplate, EmbeddedPanelsLandOnTheHandheldGrid)
{
    zv::ResourceTable table{std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size)};
    const int spots[][4] = {{142, 1013, 11, 283}, {142, 1012, 102, 283}, {142, 1014, 180, 283}, {142, 1016, 0, 39},
                            {142, 1026, 2, 11},   {146, 1029, 24, 60},   {146, 1028, 174, 60},  {146, 1032, 33, 20},
                            {146, 1030, 107, 20}, {146, 1017, 179, 20},  {146, 1037, 111, 57}};
    for (const auto& s : spots) {
        auto t = zv::parse_dialog_template(template_bytes(s[0]));
        ASSERT_TRUE(t) << s[0];
        ASSERT_EQ(zv::dialog_base_units(*t, nullptr), zv::kHandheldUnits);
        auto item = std::ranges::find(t->items, s[1], &zv::DialogItemTemplate::id);
        ASSERT_NE(item, t->items.end()) << s[1];
        const RECT r = zv::item_rect(*item, zv::kHandheldUnits);
        // From converted edges, so neighbours share them and nothing drifts.
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right}),
                  (std::vector<LONG>{s[2], s[3], MulDiv(item->x + item->cx, 6, 4)}))
            << s[1];
    }
    const int muldiv[][4] = {{7, 6, 4, 11}, {-7, 6, 4, -11},     {-5, 1, -2, 3},
                             {1, 1, 0, -1}, {INT_MAX, 2, 1, -1}, {INT_MAX, INT_MAX, INT_MAX, INT_MAX}};
    for (const auto& m : muldiv) EXPECT_EQ(MulDiv(m[0], m[1], m[2]), m[3]) << m[0] << " " << m[1] << " " << m[2];
}

TEST(DialogTemplate, IsReadOnlyWithinItsResource)
{
    const std::vector<std::uint8_t> full = dialog_template(WS_POPUP, 8, u"MS Shell Dlg", {{0, -5, 6, 0xFFFF}});
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        const auto res =
            zvtest::ResBuilder().add(5u, 1u, {full.begin(), full.begin() + static_cast<long>(cut)}).bytes();
        // The buffer ends where the template does: a read past it is a read past the allocation.
        const std::vector<std::uint8_t> exact(res.begin(), res.end() - static_cast<long>((4 - cut % 4) % 4));
        zv::ResourceTable table(exact);
        auto t = zv::parse_dialog_template(zv::resource_bytes_from(table.entries().back().data.data()));
        ASSERT_EQ(t.has_value(), cut == full.size()) << cut;
        if (!t) continue;
        ASSERT_TRUE(t->items.size() == 1 && t->items[0].creation_data.size() == 4);
        const zv::DialogItemTemplate& item = t->items[0];
        EXPECT_EQ((std::vector<int>{item.x, item.id, item.title.ordinal, item.creation_data[0], item.creation_data[3]}),
                  (std::vector<int>{-5, 0xFFFF, 7, 2, 0xCD}));
    }
    EXPECT_TRUE(zv::resource_bytes_from(full.data()).empty()) << "bytes that are no resource's";
    std::vector<std::uint8_t> ex = dialog_template(WS_POPUP, 8, u"MS Shell Dlg", {});
    ex[0] = 1, ex[1] = 0, ex[2] = ex[3] = 0xFF;  // the extended form's version and signature
    EXPECT_FALSE(zv::parse_dialog_template(ex)) << "the extended form is not read";
}

std::vector<HWND> g_dialogs;                         // in the order they were initialised
std::function<INT_PTR(HWND, UINT, WPARAM)> g_react;  // a test's own answers, tried first
MessageLog* g_log = nullptr;

// Watches each dialog from its font on, the first message a dialog procedure hears.
INT_PTR CALLBACK recording_proc(HWND h, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_SETFONT) g_log->watch(h);
    if (msg == WM_INITDIALOG) g_dialogs.push_back(h);
    if (INT_PTR r = g_react ? g_react(h, msg, wp) : 0) return r;
    if (msg == WM_COMMAND) return EndDialog(h, LOWORD(wp));
    return msg == WM_INITDIALOG;
}

void CALLBACK watchdog(HWND, UINT, UINT_PTR, DWORD)
{
    ADD_FAILURE() << "a dialog loop went idle";
    PostQuitMessage(99);
}

class DialogBox : public PlatformFixture {
protected:
    void SetUp() override
    {
        g_dialogs.clear(), g_react = nullptr, g_log = &log;
        const std::vector<std::array<int, 4>> items = {
            {WS_VISIBLE, 4, 8, 100}, {WS_VISIBLE | WS_TABSTOP, 4, 30, 101}, {WS_VISIBLE, 4, 50, IDCANCEL}};
        res_ = zvtest::ResBuilder()
                   .add(5u, 1u, dialog_template(WS_POPUP | WS_VISIBLE, 8, u"MS Shell Dlg", items))
                   .add(5u, 2u, dialog_template(WS_POPUP, 8, u"MS Shell Dlg", items, u"NoSuchClass"))
                   .add(5u, 3u, dialog_template(WS_POPUP | WS_CAPTION, 10, u"Arial", {items[0]}))
                   .bytes();
        // The fixture's platform, over these templates.
        zv::PlatformOptions o;
        o.audio_device = false;
        o.resources = res_;
        platform_ = std::make_unique<zv::Platform>(o);
        ASSERT_TRUE(log.register_class() && log.register_class(u"TestItem"));
        main_ = window(0, 0, 240, 320);
        log.name(main_, "owner");
        UpdateWindow(main_);  // no paint left pending to wake a loop by chance
        // Time passes only when a loop has nothing left to do; the watchdog then ends every loop.
        SetTimer(nullptr, 0, 60000, watchdog);
        backend().advance(120000);
    }

    INT_PTR run(int id, HWND owner, LPARAM param = 0, DLGPROC proc = recording_proc)
    {
        auto* t = reinterpret_cast<const DLGTEMPLATE*>(template_bytes(id).data());
        return DialogBoxIndirectParam(platform_->module(), t, owner, proc, param);
    }
    void later(std::function<void()> fn) { platform_->user().queue().post_closure(std::move(fn)); }
    void key(int vk) { backend().push_input({.type = zv::InputEvent::Type::KeyDown, .vk = vk}); }  // for the loop

    std::vector<std::uint8_t> res_;
    HWND main_ = nullptr;
};

TEST_F(DialogBox, ModalLifeAsASequenceThenEndedByEnterOrEscape)
{
    log.only({WM_ENABLE, WM_INITDIALOG, WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_COMMAND, WM_DESTROY,
              WM_NCDESTROY});
    log.clear();
    HWND dialog = nullptr, item[3]{};
    later([&] {
        dialog = g_dialogs.at(0);
        for (int i = 0; i < 3; ++i) item[i] = GetDlgItem(dialog, i < 2 ? 100 + i : IDCANCEL);
        key(VK_RETURN);
    });
    EXPECT_EQ(run(1, main_, 1234), IDOK);
    // Item 101 is the first tab stop, focused as init answered TRUE. Where the platform parts from Win32: the dialog
    // is activated only once shown, so its first tab stop has the focus first; on the way out the dialog hears of its
    // hiding (Win32 hides it without WM_SHOWWINDOW) but not of its deactivation.
    EXPECT_SEQUENCE(log, nullptr,
                    {{WM_KILLFOCUS, sent, 0, 0, main_},
                     {WM_ENABLE, sent | wparam, FALSE, 0, main_},
                     {WM_SHOWWINDOW, sent | wparam, TRUE, 0, item[0]},
                     {WM_SHOWWINDOW, sent | wparam, TRUE, 0, item[1]},
                     {WM_SHOWWINDOW, sent | wparam, TRUE, 0, item[2]},
                     {WM_INITDIALOG, sent | wparam | lparam, WPARAM(item[1]), 1234, dialog},
                     {WM_SETFOCUS, sent, 0, 0, item[1]},
                     {WM_SHOWWINDOW, sent | wparam, TRUE, 0, dialog},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_INACTIVE, LPARAM(dialog), main_},
                     {WM_ACTIVATE, sent | wparam | lparam, WA_ACTIVE, LPARAM(main_), dialog},
                     {WM_COMMAND, sent | wparam, IDOK, 0, dialog},
                     {WM_ENABLE, sent | wparam, TRUE, 0, main_},
                     {WM_KILLFOCUS, sent | wparam, WPARAM(dialog), 0, item[1]},
                     {WM_SETFOCUS, sent | wparam, WPARAM(item[1]), 0, dialog},
                     {WM_SHOWWINDOW, sent | wparam, FALSE, 0, dialog},
                     {WM_ACTIVATE, sent | wparam, WA_ACTIVE, 0, main_},
                     {WM_KILLFOCUS, sent | wparam, WPARAM(main_), 0, dialog},
                     {WM_SETFOCUS, sent | wparam, WPARAM(dialog), 0, main_},
                     {WM_DESTROY, sent, 0, 0, dialog},
                     {WM_DESTROY, sent, 0, 0, item[0]},
                     {WM_DESTROY, sent, 0, 0, item[1]},
                     {WM_DESTROY, sent, 0, 0, item[2]},
                     {WM_NCDESTROY, sent, 0, 0, item[0]},
                     {WM_NCDESTROY, sent, 0, 0, item[1]},
                     {WM_NCDESTROY, sent, 0, 0, item[2]},
                     {WM_NCDESTROY, sent, 0, 0, dialog}});
    EXPECT_FALSE(IsWindow(dialog));

    later([&] { key(VK_ESCAPE); });
    EXPECT_EQ(run(1, main_), IDCANCEL);
    RECT r{};
    EXPECT_FALSE(EndDialog(dialog, 1) || MapDialogRect(dialog, &r) || MapDialogRect(main_, &r) || EndDialog(main_, 1));
}

TEST_F(DialogBox, NestedLoopsQuitAndDestruction)
{
    std::vector<INT_PTR> returned;
    later([&] {
        HWND outer = g_dialogs.at(0);
        later([&, outer] {
            EXPECT_FALSE(IsWindowEnabled(outer)) << "the top-level window of the control given as owner";
            EXPECT_TRUE(EndDialog(outer, 5));
            EXPECT_TRUE(IsWindowEnabled(main_));
            EXPECT_EQ(GetActiveWindow(), g_dialogs.at(1)) << "the inner one runs on";
            RECT inner, item;
            GetWindowRect(g_dialogs.at(1), &inner), GetWindowRect(GetDlgItem(outer, 100), &item);
            EXPECT_EQ((std::pair{inner.left, inner.top}), (std::pair{item.left + 15, item.top + 33})) << "in its terms";
            EndDialog(g_dialogs.at(1), 6);
        });
        returned.push_back(run(1, GetDlgItem(outer, 100)));
        EXPECT_TRUE(IsWindow(outer)) << "the outer loop has not had control back yet";
    });
    returned.push_back(run(1, main_));
    EXPECT_EQ(returned, (std::vector<INT_PTR>{6, 5}));
    EXPECT_EQ(GetActiveWindow(), main_);

    later([&] {
        later([] { PostQuitMessage(3); });
        EXPECT_EQ(run(1, g_dialogs.back()), 0);
    });
    EXPECT_EQ(run(1, main_), 0);
    MSG m{};
    ASSERT_TRUE(PeekMessage(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ((std::pair{m.message, m.wParam}), (std::pair{UINT{WM_QUIT}, WPARAM{3}})) << "the quit stays posted";

    later([] { DestroyWindow(g_dialogs.back()); });
    EXPECT_EQ(run(1, main_), 0);
    EXPECT_EQ(platform_->user().windows().top_levels(), std::vector<HWND>{main_});
    EXPECT_TRUE(IsWindowEnabled(main_));
}

TEST_F(DialogBox, ResultsEarlyEndAndRefusals)
{
    const auto gray = reinterpret_cast<INT_PTR>(GetStockObject(GRAY_BRUSH));
    g_react = [gray](HWND h, UINT msg, WPARAM) -> INT_PTR {
        if (msg >= WM_CTLCOLOREDIT && msg <= WM_CTLCOLORSTATIC) return gray;
        return msg == WM_USER ? SetWindowLongPtr(h, DWL_MSGRESULT, 42) + 1 : msg == WM_USER + 1;
    };
    later([&] {
        HWND d = g_dialogs.at(0);
        for (UINT msg : {WM_CTLCOLOREDIT, WM_CTLCOLORDLG, WM_CTLCOLORSTATIC})
            EXPECT_EQ(SendMessage(d, msg, 0, 0), gray) << "colours come directly";
        EXPECT_EQ(SendMessage(d, WM_USER, 0, 0), 42) << "others through DWL_MSGRESULT";
        EXPECT_EQ(SendMessage(d, WM_USER + 1, 0, 0), 0) << "which starts at 0 for every message";
        RECT base{0, 0, 4, 8}, client{}, frame{};
        MapDialogRect(d, &base);
        GetClientRect(d, &client);
        GetWindowRect(d, &frame);
        // Another face is measured: the average width of the alphabet, and the font's height.
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessage(d, WM_GETFONT, 0, 0)));
        TEXTMETRICW tm{};
        SIZE alphabet{};
        GetTextMetricsW(dc, &tm);
        GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
        SelectObject(dc, old), DeleteDC(dc);
        EXPECT_EQ((std::pair{base.right, base.bottom}), (std::pair{(alphabet.cx / 26 + 1) / 2, tm.tmHeight}));
        EXPECT_EQ((std::pair{tm.tmHeight - tm.tmInternalLeading, client.right}),
                  (std::pair{13, MulDiv(100, base.right, 4)}))
            << "10 points, and the width in units";
        EXPECT_EQ(client.bottom, MulDiv(100, base.bottom, 8)) << "the caption comes on top";
        UpdateWindow(d);
        platform_->user().screen().compose_and_present();
        EXPECT_EQ(backend().screen().pixel(frame.left + 5, frame.bottom - 5), 0x808080u) << "the answer's background";
        EndDialog(d, 7);
    });
    EXPECT_EQ(run(3, main_), 7);

    g_react = [](HWND h, UINT msg, WPARAM) { return msg == WM_INITDIALOG ? EndDialog(h, 9) : FALSE; };
    log.only({WM_ACTIVATE});
    EXPECT_EQ(run(1, main_), 9);
    EXPECT_SEQUENCE(log, g_dialogs.back(), {}) << "never activated";
    g_react = nullptr;

    EXPECT_EQ(run(2, main_), -1) << "a control that cannot be made";
    EXPECT_EQ(run(1, main_, 0, nullptr), -1);
    EXPECT_EQ(platform_->user().windows().top_levels(), std::vector<HWND>{main_});
    EXPECT_TRUE(IsWindowEnabled(main_));
    HWND gone = CreateWindow(u"TestItem", u"", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    later([&] {
        EXPECT_TRUE(IsWindowEnabled(main_)) << "a stale owner means none";
        EndDialog(g_dialogs.back(), 4);
    });
    EXPECT_EQ(run(1, gone), 4);
}

TEST_F(DialogBox, MessageBoxHoldsItsOwnerUntilOkEnterEscapeOrSpace)
{
    log.only({WM_ENABLE, WM_LBUTTONDOWN, WM_LBUTTONUP});
    log.clear();
    HWND box = nullptr;
    later([&] {
        box = GetActiveWindow();
        log.watch(box);
        char16_t text[16]{};
        SendMessage(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 16, LPARAM(text));
        EXPECT_EQ(std::u16string(text), u"No settings") << "where Win32 keeps it";
        RECT r;
        GetWindowRect(box, &r);
        UpdateWindow(box), platform_->user().screen().compose_and_present();
        const zv::Surface shot = backend().screen();
        int white = 0;
        for (int x = r.left + 8; x < r.left + 60; ++x) white += shot.pixel(x, r.top + 11) == 0xFFFFFF;
        EXPECT_GT(white, 3) << "a caption, Error when none is given";
        const POINT ok{r.left + 110, r.bottom - 25}, off{r.left + 30, r.bottom - 25};
        // Taken only when both the press and the release are on OK.
        using enum zv::InputEvent::Type;
        for (auto [type, at] : {std::pair{StylusDown, off},
                                {StylusUp, ok},
                                {StylusDown, ok},
                                {StylusUp, off},
                                {StylusDown, ok},
                                {StylusUp, ok}})
            backend().push_input({.type = type, .x = at.x, .y = at.y});
        key(VK_ESCAPE);  // should the stylus fail
    });
    EXPECT_EQ(MessageBox(main_, u"No settings", nullptr, MB_ICONEXCLAMATION), IDOK);
    EXPECT_FALSE(IsWindow(box));
    const Msg disabled{WM_ENABLE, sent | wparam, FALSE, 0, main_}, enabled{WM_ENABLE, sent | wparam, TRUE, 0, main_},
        down{WM_LBUTTONDOWN, posted, 0, 0, box}, up{WM_LBUTTONUP, posted, 0, 0, box};
    EXPECT_SEQUENCE(log, nullptr, {disabled, down, up, down, up, down, up, enabled});
    // The keys; a capture taken from the owner is given back.
    for (int vk : {VK_RETURN, VK_ESCAPE, VK_SPACE}) {
        SetCapture(main_);
        later([&, vk] { key(vk); });
        EXPECT_EQ(MessageBox(main_, u"", u"Caption", 0), IDOK) << vk;
        EXPECT_EQ(GetCapture(), main_) << vk;
        EXPECT_SEQUENCE(log, main_, {disabled, enabled}) << vk;
    }
}

}  // namespace

// A message box centres on the screen as it is: opened on a turned screen, and again when the
// screen turns under it, cut to the screen's height with OK at its foot, where a tap still ends it.
TEST_F(DialogBox, MessageBoxCentresOnTheScreenAsItTurns)
{
    auto placed = [] {
        RECT r{};
        GetWindowRect(GetActiveWindow(), &r);
        return r;
    };
    auto expect_centred = [](const RECT& r, int width, int height) {
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height)
            << r.left << "," << r.top << " " << r.right << "," << r.bottom << " on " << width << " x " << height;
        EXPECT_EQ(r.left + r.right, width);
        EXPECT_LE(std::abs(r.top + r.bottom - height), 1);
    };
    auto tap_ok = [&](const RECT& r) {
        using enum zv::InputEvent::Type;
        for (auto type : {StylusDown, StylusUp})
            backend().push_input({.type = type, .x = r.left + 110, .y = r.bottom - 25});
    };
    backend().report_orientation(true);
    RECT first{}, turned{};
    later([&] {
        first = placed();
        backend().report_orientation(false);
        later([&] {
            turned = placed();
            tap_ok(turned);
        });
    });
    EXPECT_EQ(MessageBox(main_, u"Landscape", u"Caption", MB_ICONEXCLAMATION), IDOK);
    expect_centred(first, 320, 240);
    expect_centred(turned, 240, 320);
    EXPECT_EQ(turned.bottom - turned.top, first.bottom - first.top) << "fits either way";

    std::u16string tall;
    for (int i = 0; i < 14; ++i) tall += u"A line of its own\n";
    later([&] {
        first = placed();
        backend().report_orientation(true);
        later([&] {
            turned = placed();
            tap_ok(turned);
        });
    });
    EXPECT_EQ(MessageBox(main_, tall.c_str(), u"Caption", 0), IDOK);
    expect_centred(first, 240, 320);
    EXPECT_GT(first.bottom - first.top, 240);
    EXPECT_EQ((std::vector<LONG>{turned.left, turned.top, turned.right, turned.bottom}),
              (std::vector<LONG>{50, 0, 270, 240}));
}
