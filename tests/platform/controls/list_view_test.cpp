// The list view control: owner-draw requests limited to the DC's clip box, item geometry from
// the measure request, single selection, hit-testing, text capacity, subclassing and stale
// handles. The test thread is the user-interface thread; every call is synchronous.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "backend/headless_backend.h"
#include "composition/platform.h"
#include "core/user_state.h"

namespace {

constexpr UINT kListId = 4000;
constexpr int kItemHeight = 40;

struct DrawRequest {
    UINT type, id, item, state;
    HDC dc;
    RECT rect;
    HWND from;
};
std::vector<DrawRequest> g_draws;
int g_measured = 0;
UINT g_measure_answer = kItemHeight;

LRESULT CALLBACK parent_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
        case WM_MEASUREITEM: {
            auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            ++g_measured;
            mi->itemHeight = g_measure_answer;
            return 1;
        }
        case WM_DRAWITEM: {
            const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            g_draws.push_back({d->CtlType, d->CtlID, d->itemID, d->itemState, d->hDC, d->rcItem, d->hwndItem});
            FillRect(d->hDC, &d->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            return 1;
        }
        default: return DefWindowProc(h, msg, wp, lp);
    }
}

std::vector<UINT> drawn_items()
{
    std::vector<UINT> out;
    for (const DrawRequest& d : g_draws) out.push_back(d.item);
    return out;
}

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_draws.clear();
        g_measured = 0;
        g_measure_answer = kItemHeight;
        zv::PlatformOptions o;
        o.backend = zv::PlatformOptions::BackendKind::Headless;
        o.audio_device = false;
        platform_ = std::make_unique<zv::Platform>(o);
        WNDCLASS wc{};
        wc.lpfnWndProc = parent_proc;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = u"ListViewTestParent";
        ASSERT_TRUE(RegisterClass(&wc));
        parent_ = CreateWindow(u"ListViewTestParent", u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override { platform_.reset(); }

    // An owner-drawn, single-selection report list as the player makes it, `count` items tall.
    HWND make_list(int count, DWORD style = 0x52004405)
    {
        HWND list = CreateWindowEx(0, WC_LISTVIEW, NULL, style, 0, 0, 240, count * kItemHeight, parent_,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kListId)), NULL, NULL);
        for (int i = 0; i < count; ++i)
            insert(list, u"item " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
        return list;
    }

    static int insert(HWND list, const std::u16string& text)
    {
        LVITEM item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessage(list, LVM_GETITEMCOUNT, 0, 0));
        std::u16string copy = text;
        item.pszText = copy.data();
        return static_cast<int>(SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item)));
    }

    static BOOL set_state(HWND list, int index, UINT state, UINT mask)
    {
        LVITEM item{};
        item.state = state;
        item.stateMask = mask;
        return static_cast<BOOL>(
            SendMessage(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    }

    static std::vector<int> selected(HWND list)
    {
        std::vector<int> out;
        int n = static_cast<int>(SendMessage(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i)
            if (SendMessage(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED)) out.push_back(i);
        return out;
    }

    static int hit(HWND list, int x, int y)
    {
        LVHITTESTINFO info{};
        info.pt = POINT{x, y};
        return static_cast<int>(SendMessage(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    }

    // A 240 x 320 memory DC whose viewport origin is (0, origin_y).
    struct Buffer {
        HDC dc;
        HBITMAP bitmap;
        HGDIOBJ old;
    };
    static Buffer buffer(int origin_y)
    {
        Buffer b;
        b.dc = CreateCompatibleDC(nullptr);
        b.bitmap = CreateCompatibleBitmap(b.dc, 240, 320);
        b.old = SelectObject(b.dc, b.bitmap);
        SetViewportOrgEx(b.dc, 0, origin_y, nullptr);
        return b;
    }
    static void release(const Buffer& b)
    {
        SelectObject(b.dc, b.old);
        DeleteObject(b.bitmap);
        DeleteDC(b.dc);
    }

    std::unique_ptr<zv::Platform> platform_;
    HWND parent_ = nullptr;
};

TEST_F(ListViewTest, OwnerDrawListAsksItsParentForTheItemHeightOnce)
{
    g_measure_answer = 25;
    HWND list = make_list(6);
    EXPECT_EQ(g_measured, 1);
    // Rows are 25 pixels: y 49 is item 1, y 50 item 2.
    EXPECT_EQ(hit(list, 10, 49), 1);
    EXPECT_EQ(hit(list, 10, 50), 2);

    // A list that is not owner-drawn asks nothing.
    g_measured = 0;
    CreateWindowEx(0, WC_LISTVIEW, NULL, 0x52004005, 0, 0, 10, 10, parent_, NULL, NULL, NULL);
    EXPECT_EQ(g_measured, 0);
}

TEST_F(ListViewTest, PaintIntoAGivenDcDrawsOnlyTheItemsInsideItsClipBox)
{
    HWND list = make_list(30);
    set_state(list, 12, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    for (int origin : {0, -400, -390, -20, -880}) {
        SCOPED_TRACE(origin);
        Buffer b = buffer(origin);
        g_draws.clear();
        EXPECT_EQ(SendMessage(list, WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0), 0);
        // Control rows -origin .. -origin + 320, items of 40 rows.
        std::vector<UINT> expected;
        for (int i = -origin / kItemHeight; i <= std::min(29, (-origin + 319) / kItemHeight); ++i)
            expected.push_back(static_cast<UINT>(i));
        EXPECT_EQ(drawn_items(), expected);
        EXPECT_LE(g_draws.size(), 9u);
        for (const DrawRequest& d : g_draws) {
            EXPECT_EQ(d.type, static_cast<UINT>(ODT_LISTVIEW));
            EXPECT_EQ(d.id, kListId);
            EXPECT_EQ(d.dc, b.dc);
            EXPECT_EQ(d.from, list);
            EXPECT_EQ(d.rect.left, 0);
            EXPECT_EQ(d.rect.right, 240);
            EXPECT_EQ(d.rect.top, static_cast<LONG>(d.item) * kItemHeight);
            EXPECT_EQ(d.rect.bottom, static_cast<LONG>(d.item + 1) * kItemHeight);
            EXPECT_EQ((d.state & ODS_SELECTED) != 0, d.item == 12) << d.item;
        }
        release(b);
    }
}

TEST_F(ListViewTest, EmptyListOrClipBelowTheLastItemDrawsNothing)
{
    HWND empty = make_list(0);
    HWND five = make_list(5);
    Buffer b = buffer(-400);  // rows 400..720: below five items
    SendMessage(empty, WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0);
    SendMessage(five, WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0);
    EXPECT_TRUE(g_draws.empty());
    release(b);
}

TEST_F(ListViewTest, OwnPaintCycleDrawsOnlyWhatASelectionChangeInvalidated)
{
    HWND list = make_list(8);
    UpdateWindow(parent_);
    g_draws.clear();
    set_state(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    UpdateWindow(list);
    EXPECT_EQ(drawn_items(), std::vector<UINT>{2});

    // Moving the selection repaints the old and the new item (and at most those between).
    g_draws.clear();
    set_state(list, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    UpdateWindow(list);
    std::vector<UINT> items = drawn_items();
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front(), 2u);
    EXPECT_EQ(items.back(), 4u);

    // Setting the state an item already has repaints nothing.
    g_draws.clear();
    set_state(list, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    UpdateWindow(list);
    EXPECT_TRUE(g_draws.empty());
}

TEST_F(ListViewTest, SingleSelectionKeepsOneSelectedAndOneFocusedItem)
{
    HWND list = make_list(6);
    EXPECT_TRUE(set_state(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_TRUE(set_state(list, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(selected(list), std::vector<int>{4});
    EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 4);

    // Every item at once: selecting or focusing all is refused and changes nothing.
    EXPECT_FALSE(set_state(list, -1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_FALSE(set_state(list, -1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_FALSE(set_state(list, -1, LVIS_FOCUSED, LVIS_FOCUSED));
    EXPECT_EQ(selected(list), std::vector<int>{4});
    // Clearing the selection of every item is allowed.
    EXPECT_TRUE(set_state(list, -1, 0, LVIS_SELECTED));
    EXPECT_TRUE(selected(list).empty());

    // Indexes outside the list fail.
    EXPECT_FALSE(set_state(list, 6, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_FALSE(set_state(list, -2, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_TRUE(selected(list).empty());
}

TEST_F(ListViewTest, MultipleSelectionListMaySelectEveryItem)
{
    HWND list = make_list(4, 0x52004401);  // owner-draw report view without single selection
    EXPECT_TRUE(set_state(list, -1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(selected(list), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(ListViewTest, HitTestFindsTheRowUnderThePoint)
{
    HWND list = make_list(5);
    EXPECT_EQ(hit(list, 0, 0), 0);
    EXPECT_EQ(hit(list, 239, 39), 0);
    EXPECT_EQ(hit(list, 120, 40), 1);
    EXPECT_EQ(hit(list, 120, 199), 4);
    EXPECT_EQ(hit(list, 120, 200), -1);  // below the last item
    EXPECT_EQ(hit(list, 120, -1), -1);
    EXPECT_EQ(hit(list, -1, 10), -1);
    EXPECT_EQ(hit(list, 240, 10), -1);
    LVHITTESTINFO info{};
    info.pt = POINT{50, 130};
    EXPECT_EQ(SendMessage(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)), 3);
    EXPECT_EQ(info.iItem, 3);
    EXPECT_EQ(SendMessage(list, LVM_HITTEST, 0, 0), -1);
}

TEST_F(ListViewTest, ItemTextIsCutToTheCallersCapacity)
{
    HWND list = make_list(0);
    const std::u16string long_name(100, u'x');
    insert(list, long_name);
    WCHAR buf[64];
    LVITEM item{};
    item.pszText = buf;
    item.cchTextMax = 64;
    EXPECT_EQ(SendMessage(list, LVM_GETITEMTEXT, 0, reinterpret_cast<LPARAM>(&item)), 63);
    EXPECT_EQ(std::u16string(buf), long_name.substr(0, 63));
    // An index past the end gives an empty string.
    buf[0] = u'q';
    EXPECT_EQ(SendMessage(list, LVM_GETITEMTEXT, 5, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(buf[0], 0);
}

LRESULT CALLBACK swallow_paint_proc(HWND, UINT, WPARAM, LPARAM);
WNDPROC g_base = nullptr;
int g_subclass_paints = 0;

LRESULT CALLBACK swallow_paint_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_PAINT) {
        ++g_subclass_paints;
        return CallWindowProc(g_base, h, msg, wp, lp);
    }
    if (msg == WM_ERASEBKGND) return 1;
    return CallWindowProc(g_base, h, msg, wp, lp);
}

TEST_F(ListViewTest, SubclassedListStillAnswersThroughItsOwnProcedure)
{
    HWND list = make_list(3);
    g_base =
        reinterpret_cast<WNDPROC>(SetWindowLongPtr(list, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(swallow_paint_proc)));
    ASSERT_NE(g_base, nullptr);
    EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 3);
    g_draws.clear();
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    EXPECT_EQ(g_subclass_paints, 1);
    EXPECT_EQ(drawn_items(), (std::vector<UINT>{0, 1, 2}));
}

TEST_F(ListViewTest, DestroyedListAnswersNothing)
{
    HWND list = make_list(3);
    DestroyWindow(list);
    EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(hit(list, 10, 10), 0);
    EXPECT_FALSE(set_state(list, 0, LVIS_SELECTED, LVIS_SELECTED));
    Buffer b = buffer(0);
    SendMessage(list, WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0);
    EXPECT_TRUE(g_draws.empty());
    release(b);
}

TEST_F(ListViewTest, ListMovedWithItsParentsScrollLeavesTheParentsBackgroundBehind)
{
    HWND list = make_list(5);  // 200 rows of white items over the parent's black
    UpdateWindow(parent_);
    zv::UserState& user = platform_->user();
    auto screen_at = [&](int y) {
        user.compose_and_present();
        return platform_->headless()->screen().pixel(120, y);
    };
    EXPECT_EQ(screen_at(10), 0xFFFFFFu);
    EXPECT_EQ(screen_at(250), 0u);

    // Down by 90: the rows the list left are black again, its picture moved along.
    ScrollWindowEx(parent_, 0, 90, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN);
    UpdateWindow(parent_);
    RECT r;
    GetWindowRect(list, &r);
    EXPECT_EQ(r.top, 90);
    for (int y : {0, 45, 89}) EXPECT_EQ(screen_at(y), 0u) << y;
    for (int y : {90, 200, 289}) EXPECT_EQ(screen_at(y), 0xFFFFFFu) << y;
    EXPECT_EQ(screen_at(290), 0u);

    // Up by 260, further than the screen shows of it: only its last 30 rows remain on screen.
    ScrollWindowEx(parent_, 0, -260, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN);
    UpdateWindow(parent_);
    for (int y : {0, 29}) EXPECT_EQ(screen_at(y), 0xFFFFFFu) << y;
    for (int y : {30, 150, 319}) EXPECT_EQ(screen_at(y), 0u) << y;
}

}  // namespace
