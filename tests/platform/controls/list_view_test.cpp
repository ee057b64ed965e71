// The list view control: owner-draw requests limited to the DC's clip box, item geometry from
// the measure request, single selection, hit-testing, text capacity, subclassing and stale
// handles. The test thread is the user-interface thread; every call is synchronous.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/user_state.h"
#include "tests/platform/controls/control_fixture.h"

namespace {

using namespace zv::test;

constexpr UINT kListId = 4000;
constexpr int kItemHeight = 40;

struct DrawRequest {
    UINT type, id, item, state;
    HDC dc;
    RECT rect;
    HWND from;
    ULONG_PTR data;
};

class ListViewTest : public ControlFixture {
protected:
    // The parent measures items `measure_` tall, keeps what each draw request said, and paints
    // its own background black.
    void SetUp() override
    {
        ControlFixture::SetUp();
        log.only({WM_MEASUREITEM, WM_PAINT});
        log.react = [this](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
            if (msg == WM_MEASUREITEM) {
                reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = measure_;
            } else if (msg == WM_ERASEBKGND) {
                RECT r;
                GetClientRect(h, &r);
                FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            } else if (msg == WM_DRAWITEM) {
                const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
                draws_.push_back(
                    {d->CtlType, d->CtlID, d->itemID, d->itemState, d->hDC, d->rcItem, d->hwndItem, d->itemData});
                FillRect(d->hDC, &d->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            } else {
                return std::nullopt;
            }
            return 1;
        };
    }

    // An owner-drawn, single-selection report list as the player makes it, `count` items tall.
    HWND make_list(int count, DWORD style = 0x52004405)
    {
        HWND list = CreateWindowEx(0, WC_LISTVIEW, NULL, style, 0, 0, 240, count * kItemHeight, parent_,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kListId)), NULL, NULL);
        for (int i = 0; i < count; ++i)
            insert(list, u"item " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)), -1, 0, 100 + i);
        return list;
    }

    // At the end, or at `at`; LVIF_STATE and LVIF_PARAM when `state` or `param` are given.
    static int insert(HWND list, const std::u16string& text, int at = -1, UINT state = 0, LPARAM param = 0)
    {
        LVITEM item{};
        item.mask = LVIF_TEXT | (state ? LVIF_STATE : 0) | (param ? LVIF_PARAM : 0);
        item.iItem = at < 0 ? static_cast<int>(SendMessage(list, LVM_GETITEMCOUNT, 0, 0)) : at;
        std::u16string copy = text;
        item.pszText = copy.data();
        item.state = item.stateMask = state;
        item.lParam = param;
        return static_cast<int>(SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item)));
    }

    std::vector<UINT> drawn_items() const
    {
        std::vector<UINT> out;
        for (const DrawRequest& d : draws_) out.push_back(d.item);
        return out;
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
        for (int i = 0; i < SendMessage(list, LVM_GETITEMCOUNT, 0, 0); ++i)
            if (SendMessage(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED)) out.push_back(i);
        return out;
    }

    static int hit(HWND list, int x, int y)
    {
        LVHITTESTINFO info{POINT{x, y}, 0, 0, 0};
        return static_cast<int>(SendMessage(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    }

    // A 240 x 320 memory DC whose viewport origin is (0, origin_y).
    struct Buffer {
        explicit Buffer(int origin_y) { SetViewportOrgEx(dc, 0, origin_y, nullptr); }
        ~Buffer()
        {
            SelectObject(dc, old);
            DeleteObject(bitmap);
            DeleteDC(dc);
        }
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, 240, 320);
        HGDIOBJ old = SelectObject(dc, bitmap);
    };

    std::vector<DrawRequest> draws_;
    UINT measure_ = kItemHeight;
};

TEST_F(ListViewTest, HitTestFindsTheRowUnderThePointInTheMeasuredHeight)
{
    HWND list = make_list(5);
    EXPECT_SEQUENCE(log, parent_, {{WM_MEASUREITEM, sent | wparam, kListId}}) << "once, at creation";
    const int hits[][3] = {
        {0, 0, 0},     {239, 39, 0}, {120, 40, 1}, {120, 199, 4}, {120, 200, -1} /* below the last */,
        {120, -1, -1}, {-1, 10, -1}, {240, 10, -1}};
    for (const auto& h : hits) EXPECT_EQ(hit(list, h[0], h[1]), h[2]) << h[0] << "," << h[1];
    LVHITTESTINFO info{POINT{50, 130}, 0, 0, 0};
    EXPECT_EQ(SendMessage(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)), 3);
    EXPECT_EQ(info.iItem, 3);
    EXPECT_EQ(SendMessage(list, LVM_HITTEST, 0, 0), -1);

    // Rows of 25 pixels: y 49 is item 1, y 50 item 2. A list that is not owner-drawn asks nothing.
    measure_ = 25;
    HWND small = make_list(6);
    EXPECT_EQ((std::vector{hit(small, 10, 49), hit(small, 10, 50), hit(small, 10, 150)}), (std::vector{1, 2, -1}));
    info.pt = POINT{10, 150};
    EXPECT_EQ(SendMessage(small, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)), -1);
    EXPECT_EQ(info.flags, UINT{LVHT_NOWHERE}) << "inside the list, below its last row";
    CreateWindowEx(0, WC_LISTVIEW, NULL, 0x52004005, 0, 0, 10, 10, parent_, NULL, NULL, NULL);
    EXPECT_SEQUENCE(log, parent_, {{WM_MEASUREITEM, sent | wparam, kListId}});
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&icc));
    icc.dwSize = 4;
    EXPECT_FALSE(InitCommonControlsEx(&icc)) << "a structure of another size";
}

TEST_F(ListViewTest, PaintIntoAGivenDcDrawsOnlyTheItemsInsideItsClipBox)
{
    HWND list = make_list(30);
    set_state(list, 12, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    for (int origin : {0, -400, -390, -20, -880}) {
        SCOPED_TRACE(origin);
        Buffer b(origin);
        draws_.clear();
        EXPECT_EQ(SendMessage(list, WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0), 0);
        // Control rows -origin .. -origin + 320, items of 40 rows.
        std::vector<UINT> expected;
        for (int i = -origin / kItemHeight; i <= std::min(29, (-origin + 319) / kItemHeight); ++i)
            expected.push_back(static_cast<UINT>(i));
        EXPECT_EQ(drawn_items(), expected);
        EXPECT_LE(draws_.size(), 9u);
        for (const DrawRequest& d : draws_) {
            EXPECT_EQ(d.type, static_cast<UINT>(ODT_LISTVIEW));
            EXPECT_EQ(d.id, kListId);
            EXPECT_EQ(d.dc, b.dc);
            EXPECT_EQ(d.from, list);
            EXPECT_EQ(d.rect.left, 0);
            EXPECT_EQ(d.rect.right, 240);
            EXPECT_EQ(d.rect.top, static_cast<LONG>(d.item) * kItemHeight);
            EXPECT_EQ(d.rect.bottom, static_cast<LONG>(d.item + 1) * kItemHeight);
            EXPECT_EQ((d.state & ODS_SELECTED) != 0, d.item == 12) << d.item;
            EXPECT_EQ(d.data, d.item + 100) << "the item's parameter";
        }
    }
    // An empty list, or a clip below the last item, draws nothing.
    draws_.clear();
    Buffer b(-400);  // rows 400..720: below five items
    SendMessage(make_list(0), WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0);
    SendMessage(make_list(5), WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0);
    EXPECT_TRUE(draws_.empty());
}

TEST_F(ListViewTest, OwnPaintCycleDrawsOnlyWhatASelectionChangeInvalidated)
{
    HWND list = make_list(8);
    UpdateWindow(parent_);
    draws_.clear();
    set_state(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    UpdateWindow(list);
    EXPECT_EQ(drawn_items(), std::vector<UINT>{2});

    // Moving the selection repaints the old and the new item (and at most those between).
    draws_.clear();
    set_state(list, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    UpdateWindow(list);
    std::vector<UINT> items = drawn_items();
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front(), 2u);
    EXPECT_EQ(items.back(), 4u);

    // Setting the state an item already has repaints nothing.
    draws_.clear();
    set_state(list, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    UpdateWindow(list);
    EXPECT_TRUE(draws_.empty());
}

TEST_F(ListViewTest, SingleSelectionKeepsOneSelectedAndOneFocusedItem)
{
    HWND list = make_list(6);
    constexpr UINT both = LVIS_SELECTED | LVIS_FOCUSED;
    // Every item at once (-1) may be cleared but neither selected nor focused; indexes outside
    // the list fail. Each step leaves the selection shown.
    const struct {
        int index;
        UINT state, mask;
        BOOL answer;
        std::vector<int> selected;
    } steps[] = {{1, both, both, TRUE, {1}},
                 {4, both, both, TRUE, {4}},
                 {-1, both, both, FALSE, {4}},
                 {-1, LVIS_SELECTED, LVIS_SELECTED, FALSE, {4}},
                 {-1, LVIS_FOCUSED, LVIS_FOCUSED, FALSE, {4}},
                 {3, LVIS_FOCUSED, LVIS_FOCUSED, TRUE, {4}},
                 {-1, 0, LVIS_SELECTED, TRUE, {}},
                 {6, LVIS_SELECTED, LVIS_SELECTED, FALSE, {}},
                 {-2, LVIS_SELECTED, LVIS_SELECTED, FALSE, {}}};
    for (const auto& s : steps) {
        EXPECT_EQ(set_state(list, s.index, s.state, s.mask), s.answer) << s.index;
        EXPECT_EQ(selected(list), s.selected) << s.index;
    }
    EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 3) << "one focused item";
    EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, 3, LVNI_FOCUSED), -1);

    // A tap selects and focuses the row under it; an item inserted selected takes the selection.
    tap(100, 5);
    EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 0);
    EXPECT_EQ(insert(list, u"new", 2, LVIS_SELECTED), 2);
    EXPECT_EQ((std::pair{selected(list), SendMessage(list, LVM_GETITEMCOUNT, 0, 0)}), (std::pair{std::vector{2}, 7L}));
    EXPECT_EQ(SendMessage(list, LVM_DELETEALLITEMS, 0, 0), TRUE);
    EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 0);

    HWND multiple = make_list(4, 0x52004401);  // owner-draw report view without single selection
    EXPECT_TRUE(set_state(multiple, -1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(selected(multiple), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(ListViewTest, TextIsCutToTheCallersCapacityASubclassPassesOnAndAStaleHandleAnswersNothing)
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

    DestroyWindow(list);
    list = make_list(3);
    log.watch(list);  // a subclass that passes everything on
    EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 3);
    draws_.clear();
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    EXPECT_SEQUENCE(log, list, {{WM_PAINT}});
    EXPECT_EQ(drawn_items(), (std::vector<UINT>{0, 1, 2}));

    DestroyWindow(list);
    EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(hit(list, 10, 10), 0);
    EXPECT_FALSE(set_state(list, 0, LVIS_SELECTED, LVIS_SELECTED));
    Buffer b(0);
    SendMessage(list, WM_PAINT, reinterpret_cast<WPARAM>(b.dc), 0);
    EXPECT_EQ(drawn_items(), (std::vector<UINT>{0, 1, 2}));
}

TEST_F(ListViewTest, ListMovedWithItsParentsScrollLeavesTheParentsBackgroundBehind)
{
    HWND list = make_list(5);  // 200 rows of white items over the parent's black
    UpdateWindow(parent_);
    auto screen_at = [&](int y) {
        platform_->user().screen().compose_and_present();
        return backend().screen().pixel(120, y);
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
