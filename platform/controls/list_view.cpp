// "SysListView32": report view, owner-draw fixed items, single selection, hit-test, item text,
// state and parameter. Painting sends WM_DRAWITEM only for the items inside the clip box, so a
// long list costs no more per frame than a short one.
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controls/builtin_controls.h"
#include "controls/control_paint.h"
#include "core/user_state.h"

namespace zv {

namespace {

struct ListItem {
    std::u16string text;
    UINT state = 0;
    LPARAM param = 0;
};

class ListViewState final : public WindowExtension {
public:
    std::vector<ListItem> items;  // WM_INSERTITEM / LVM_DELETEALLITEMS
    int item_height = 16;         // from WM_MEASUREITEM at creation when owner-drawn
    int column_width = 0;         // LVM_INSERTCOLUMN
};

ListViewState* state_of(HWND h)
{
    UserState* u = UserState::current();
    Window* w = u ? u->windows().live_window(h) : nullptr;
    return w ? dynamic_cast<ListViewState*>(w->extension.get()) : nullptr;
}

DWORD style_of(HWND h) { return static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)); }

LRESULT on_create(HWND h)
{
    UserState* u = UserState::current();
    Window* w = u->windows().live_window(h);
    auto st = std::make_unique<ListViewState>();
    if (w->style & LVS_OWNERDRAWFIXED) {
        MEASUREITEMSTRUCT mi{};
        mi.CtlType = ODT_LISTVIEW;
        mi.CtlID = w->id;
        mi.itemHeight = 16;
        if (w->parent) u->queue().send(w->parent, WM_MEASUREITEM, w->id, reinterpret_cast<LPARAM>(&mi));
        st->item_height = std::max<int>(1, static_cast<int>(mi.itemHeight));
    }
    w->extension = std::move(st);
    return 0;
}

LRESULT insert_item(HWND h, ListViewState& s, const LVITEMW* item)
{
    if (!item || item->iSubItem != 0) return -1;
    ListItem li;
    if ((item->mask & LVIF_TEXT) && item->pszText) li.text = item->pszText;
    if (item->mask & LVIF_PARAM) li.param = item->lParam;
    if (item->mask & LVIF_STATE) li.state = item->state & item->stateMask;
    std::size_t at =
        item->iItem < 0 ? s.items.size() : std::min<std::size_t>(static_cast<std::size_t>(item->iItem), s.items.size());
    if ((li.state & LVIS_SELECTED) && (style_of(h) & LVS_SINGLESEL))
        for (auto& other : s.items) other.state &= ~static_cast<UINT>(LVIS_SELECTED);
    s.items.insert(s.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(li));
    InvalidateRect(h, nullptr, TRUE);
    return static_cast<LRESULT>(at);
}

RECT item_rect(HWND h, const ListViewState& s, int index)
{
    RECT client;
    GetClientRect(h, &client);
    return RECT{0, index * s.item_height, client.right, (index + 1) * s.item_height};
}

LRESULT get_item_text(const ListViewState& s, WPARAM index, LVITEMW* item)
{
    if (!item || !item->pszText || item->cchTextMax <= 0) return 0;
    if (index >= s.items.size() || item->iSubItem != 0) {
        item->pszText[0] = 0;
        return 0;
    }
    const std::u16string& t = s.items[index].text;
    std::size_t n = std::min<std::size_t>(t.size(), static_cast<std::size_t>(item->cchTextMax) - 1);
    std::copy_n(t.data(), n, item->pszText);
    item->pszText[n] = 0;
    return static_cast<LRESULT>(n);
}

LRESULT set_item_state(HWND h, ListViewState& s, WPARAM wp, const LVITEMW* item)
{
    if (!item) return FALSE;
    auto apply = [&](std::size_t i) {
        UINT before = s.items[i].state;
        s.items[i].state = (before & ~item->stateMask) | (item->state & item->stateMask);
        if (s.items[i].state != before) {
            RECT r = item_rect(h, s, static_cast<int>(i));
            InvalidateRect(h, &r, TRUE);
        }
    };
    auto index = static_cast<INT_PTR>(wp);
    if (index == -1) {
        // As the common controls do: a single-selection list cannot select every item, and
        // no list can focus every item.
        const UINT wanted = item->state & item->stateMask;
        if ((wanted & LVIS_SELECTED) && (style_of(h) & LVS_SINGLESEL)) return FALSE;
        if (wanted & LVIS_FOCUSED) return FALSE;
        for (std::size_t i = 0; i < s.items.size(); ++i) apply(i);
        return TRUE;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= s.items.size()) return FALSE;
    // One selected and one focused item at most.
    UINT exclusive =
        item->state & item->stateMask & (LVIS_FOCUSED | ((style_of(h) & LVS_SINGLESEL) ? LVIS_SELECTED : 0));
    if (exclusive) {
        for (std::size_t i = 0; i < s.items.size(); ++i) {
            if (static_cast<INT_PTR>(i) == index || !(s.items[i].state & exclusive)) continue;
            s.items[i].state &= ~exclusive;
            RECT r = item_rect(h, s, static_cast<int>(i));
            InvalidateRect(h, &r, TRUE);
        }
    }
    apply(static_cast<std::size_t>(index));
    return TRUE;
}

LRESULT hit_test(HWND h, const ListViewState& s, LVHITTESTINFO* info)
{
    if (!info) return -1;
    RECT client;
    GetClientRect(h, &client);
    info->iItem = -1;
    info->iSubItem = 0;
    info->flags = LVHT_NOWHERE;
    // Outside the client area there is no item, even where the list's items run on unseen.
    UINT outside = 0;
    if (info->pt.x < 0) outside |= LVHT_TOLEFT;
    if (info->pt.x >= client.right) outside |= LVHT_TORIGHT;
    if (info->pt.y < 0) outside |= LVHT_ABOVE;
    if (info->pt.y >= client.bottom) outside |= LVHT_BELOW;
    if (outside) {
        info->flags = outside;
        return -1;
    }
    std::size_t row = static_cast<std::size_t>(info->pt.y / s.item_height);
    if (row >= s.items.size()) return -1;
    info->iItem = static_cast<int>(row);
    info->flags = LVHT_ONITEMLABEL;
    return info->iItem;
}

void paint_items(HWND h, ListViewState& s, HDC dc)
{
    UserState* u = UserState::current();
    Window* w = u->windows().live_window(h);
    if (!(w->style & LVS_OWNERDRAWFIXED) || !w->parent || s.items.empty()) return;
    RECT clip;
    if (GetClipBox(dc, &clip) == NULLREGION || clip.bottom <= clip.top) return;
    int first = std::max(0, static_cast<int>(clip.top) / s.item_height);
    int last = std::min<int>(static_cast<int>(s.items.size()) - 1, (static_cast<int>(clip.bottom) - 1) / s.item_height);
    HWND parent = w->parent;
    UINT id = w->id;
    for (int i = first; i <= last; ++i) {
        ListViewState* live = state_of(h);  // a draw handler may change the list
        if (!live || i >= static_cast<int>(live->items.size())) break;
        DRAWITEMSTRUCT d{};
        d.CtlType = ODT_LISTVIEW;
        d.CtlID = id;
        d.itemID = static_cast<UINT>(i);
        d.itemAction = ODA_DRAWENTIRE;
        d.itemState = ((live->items[static_cast<std::size_t>(i)].state & LVIS_SELECTED) ? ODS_SELECTED : 0) |
                      ((live->items[static_cast<std::size_t>(i)].state & LVIS_FOCUSED) ? ODS_FOCUS : 0);
        d.hwndItem = h;
        d.hDC = dc;
        d.rcItem = item_rect(h, *live, i);
        d.itemData = static_cast<ULONG_PTR>(live->items[static_cast<std::size_t>(i)].param);
        u->queue().send(parent, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&d));
    }
}

LRESULT CALLBACK list_view_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CREATE) return on_create(h);
    ListViewState* s = state_of(h);
    if (!s) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
        case WM_PAINT: return paint_message(h, wp, [h, s](HDC dc) { paint_items(h, *s, dc); });
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(h, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            return 1;
        }
        case LVM_GETITEMCOUNT: return static_cast<LRESULT>(s->items.size());
        case LVM_INSERTITEMW: return insert_item(h, *s, reinterpret_cast<const LVITEMW*>(lp));
        case LVM_DELETEALLITEMS:
            s->items.clear();
            InvalidateRect(h, nullptr, TRUE);
            return TRUE;
        case LVM_DELETEITEM:
            if (wp >= s->items.size()) return FALSE;
            s->items.erase(s->items.begin() + static_cast<std::ptrdiff_t>(wp));
            InvalidateRect(h, nullptr, TRUE);
            return TRUE;
        case LVM_GETITEMTEXTW: return get_item_text(*s, wp, reinterpret_cast<LVITEMW*>(lp));
        case LVM_GETITEMW: {
            auto* item = reinterpret_cast<LVITEMW*>(lp);
            if (!item || item->iItem < 0 || static_cast<std::size_t>(item->iItem) >= s->items.size()) return FALSE;
            const ListItem& li = s->items[static_cast<std::size_t>(item->iItem)];
            if (item->mask & LVIF_PARAM) item->lParam = li.param;
            if (item->mask & LVIF_STATE) item->state = li.state & item->stateMask;
            if (item->mask & LVIF_TEXT) get_item_text(*s, static_cast<WPARAM>(item->iItem), item);
            return TRUE;
        }
        case LVM_SETITEMSTATE: return set_item_state(h, *s, wp, reinterpret_cast<const LVITEMW*>(lp));
        case LVM_GETITEMSTATE:
            return wp < s->items.size() ? static_cast<LRESULT>(s->items[wp].state & static_cast<UINT>(lp)) : 0;
        case LVM_GETNEXTITEM: {
            UINT want = static_cast<UINT>(lp) & (LVNI_FOCUSED | LVNI_SELECTED);
            auto start = static_cast<INT_PTR>(wp);
            for (std::size_t i = static_cast<std::size_t>(std::max<INT_PTR>(start + 1, 0)); i < s->items.size(); ++i) {
                UINT st = s->items[i].state;
                if (((want & LVNI_FOCUSED) && !(st & LVIS_FOCUSED)) ||
                    ((want & LVNI_SELECTED) && !(st & LVIS_SELECTED)))
                    continue;
                return static_cast<LRESULT>(i);
            }
            return -1;
        }
        case LVM_SETITEMCOUNT:
            s->items.reserve(std::min<std::size_t>(static_cast<std::size_t>(wp), 1u << 20));
            return TRUE;
        case LVM_INSERTCOLUMNW: {
            auto* col = reinterpret_cast<const LVCOLUMNW*>(lp);
            if (!col) return -1;
            if (col->mask & LVCF_WIDTH) s->column_width = col->cx;
            return 0;
        }
        case LVM_HITTEST: return hit_test(h, *s, reinterpret_cast<LVHITTESTINFO*>(lp));
        case WM_LBUTTONDOWN: {
            // A tap selects and focuses the item under it.
            LVHITTESTINFO info{};
            info.pt = POINT{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))};
            if (hit_test(h, *s, &info) >= 0) {
                LVITEMW it{};
                it.stateMask = it.state = LVIS_SELECTED | LVIS_FOCUSED;
                set_item_state(h, *s, static_cast<WPARAM>(info.iItem), &it);
            }
            return 0;
        }
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

void register_list_view_class(UserState& u)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = list_view_proc;
    wc.lpszClassName = WC_LISTVIEWW;
    u.windows().register_class(wc);
}

}  // namespace zv

void InitCommonControls() {}
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc)
{
    return (icc && icc->dwSize == sizeof(INITCOMMONCONTROLSEX)) ? TRUE : FALSE;
}
