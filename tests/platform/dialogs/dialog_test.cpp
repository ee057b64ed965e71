// Dialog templates read only within their resource and laid out on the handheld's grid, and modal
// dialogs. The test thread is the UI thread: what acts inside a modal loop is posted beforehand.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <memory>

#include "backend/headless_backend.h"
#include "composition/platform.h"
#include "core/user_state.h"
#include "dialogs/dialog_template.h"
#include "dialogs/dialog_units.h"
#include "platform/resources/res_builder.h"
#include "resources/resource_blob.h"
#include "resources/resource_table.h"

namespace {

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
}

struct Event {
    UINT msg;
    LPARAM lp;
    bool visible;
};
std::vector<Event> g_events;
std::vector<HWND> g_dialogs;                         // in the order they were initialised
std::function<INT_PTR(HWND, UINT, WPARAM)> g_react;  // a test's own answers, tried first

INT_PTR CALLBACK recording_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    g_events.push_back({msg, lp, IsWindowVisible(h) != FALSE});
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

class DialogBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_events.clear(), g_dialogs.clear(), g_react = nullptr;
        const std::vector<std::array<int, 4>> items = {
            {WS_VISIBLE, 4, 8, 100}, {WS_VISIBLE | WS_TABSTOP, 4, 30, 101}, {WS_VISIBLE, 4, 50, IDCANCEL}};
        res_ = zvtest::ResBuilder()
                   .add(5u, 1u, dialog_template(WS_POPUP | WS_VISIBLE, 8, u"MS Shell Dlg", items))
                   .add(5u, 2u, dialog_template(WS_POPUP, 8, u"MS Shell Dlg", items, u"NoSuchClass"))
                   .add(5u, 3u, dialog_template(WS_POPUP | WS_CAPTION, 12, u"Arial", {items[0]}))
                   .bytes();
        zv::PlatformOptions o;
        o.audio_device = false;
        o.resources = res_;
        platform_ = std::make_unique<zv::Platform>(o);
        WNDCLASS wc{};
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = u"TestItem";
        ASSERT_TRUE(RegisterClass(&wc));
        main_ = CreateWindow(u"TestItem", u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL);
        UpdateWindow(main_);  // no paint left pending to wake a loop by chance
        // Time passes only when a loop has nothing left to do; the watchdog then ends every loop.
        SetTimer(nullptr, 0, 60000, watchdog);
        platform_->headless()->advance(120000);
    }
    void TearDown() override { platform_.reset(); }

    INT_PTR run(int id, HWND owner, LPARAM param = 0, DLGPROC proc = recording_proc)
    {
        auto* t = reinterpret_cast<const DLGTEMPLATE*>(template_bytes(id).data());
        return DialogBoxIndirectParam(platform_->module(), t, owner, proc, param);
    }
    void later(std::function<void()> fn) { platform_->user().post_closure(std::move(fn)); }
    void key(int vk) { platform_->headless()->push_input({.type = zv::InputEvent::Type::KeyDown, .vk = vk}); }

    std::vector<std::uint8_t> res_;
    std::unique_ptr<zv::Platform> platform_;
    HWND main_ = nullptr;
};

TEST_F(DialogBox, CreatedHiddenInitialisedShownThenEndedByEnterOrEscape)
{
    HWND dialog = nullptr;
    later([&] {
        dialog = g_dialogs.at(0);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(GetActiveWindow(), dialog);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 101)) << "init answered TRUE";
        EXPECT_FALSE(IsWindowEnabled(main_));
        key(VK_RETURN);
    });
    EXPECT_EQ(run(1, main_, 1234), IDOK);
    std::vector<UINT> order;  // the font, init while still hidden, and only then activation
    for (const Event& e : g_events)
        if (e.msg == WM_SETFONT || e.msg == WM_INITDIALOG || e.msg == WM_ACTIVATE) order.push_back(e.msg);
    order.resize(3);
    EXPECT_EQ(order, (std::vector<UINT>{WM_SETFONT, WM_INITDIALOG, WM_ACTIVATE}));
    const auto init = std::ranges::find(g_events, UINT{WM_INITDIALOG}, &Event::msg);
    EXPECT_EQ((std::pair{init->lp, init->visible}), (std::pair{LPARAM{1234}, false}));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowEnabled(main_));
    EXPECT_EQ(GetActiveWindow(), main_);

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
    EXPECT_EQ(platform_->user().top_levels(), std::vector<HWND>{main_});
    EXPECT_TRUE(IsWindowEnabled(main_));
}

TEST_F(DialogBox, ResultsEarlyEndAndRefusals)
{
    g_react = [](HWND h, UINT msg, WPARAM) -> INT_PTR {
        if (msg == WM_CTLCOLORDLG) return reinterpret_cast<INT_PTR>(GetStockObject(GRAY_BRUSH));
        return msg == WM_USER ? SetWindowLongPtr(h, DWL_MSGRESULT, 42) + 1 : FALSE;
    };
    later([] {
        HWND d = g_dialogs.at(0);
        EXPECT_EQ(SendMessage(d, WM_CTLCOLORDLG, 0, 0), LRESULT(GetStockObject(GRAY_BRUSH))) << "colours come directly";
        EXPECT_EQ(SendMessage(d, WM_USER, 0, 0), 42) << "others through DWL_MSGRESULT";
        RECT base{0, 0, 4, 8}, client{};
        MapDialogRect(d, &base);
        GetClientRect(d, &client);
        EXPECT_NE((std::pair{base.right, base.bottom}), (std::pair{6, 13})) << "another face is measured";
        EXPECT_EQ(client.bottom, MulDiv(100, base.bottom, 8)) << "the caption comes on top";
        EndDialog(d, 7);
    });
    EXPECT_EQ(run(3, main_), 7);

    g_react = [](HWND h, UINT msg, WPARAM) { return msg == WM_INITDIALOG ? EndDialog(h, 9) : FALSE; };
    g_events.clear();
    EXPECT_EQ(run(1, main_), 9);
    EXPECT_FALSE(std::ranges::any_of(g_events, [](const Event& e) { return e.msg == WM_ACTIVATE; }));
    g_react = nullptr;

    EXPECT_EQ(run(2, main_), -1) << "a control that cannot be made";
    EXPECT_EQ(run(1, main_, 0, nullptr), -1);
    EXPECT_EQ(platform_->user().top_levels(), std::vector<HWND>{main_});
    EXPECT_TRUE(IsWindowEnabled(main_));
    HWND gone = CreateWindow(u"TestItem", u"", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    later([&] {
        EXPECT_TRUE(IsWindowEnabled(main_)) << "a stale owner means none";
        EndDialog(g_dialogs.back(), 4);
    });
    EXPECT_EQ(run(1, gone), 4);
}

}  // namespace
