// "LISTBOX": a single-selection list of strings for the stylus. A tap selects the item under it,
// a second quick tap on the same item is a double tap, and a drag scrolls by whole items. With
// WS_VSCROLL a bar on the right appears once the items overflow; a press on its track pages, a
// press on its thumb drags it. Only LBS_NOTIFY lists tell their parent about taps and focus.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "controls/builtin_controls.h"
#include "controls/control_paint.h"
#include "core/user_state.h"

namespace zv {

namespace {

constexpr DWORD kDoubleTapMs = 500;
constexpr int kTapSlop = 4;  // pixels either way: within it a press and release stay a tap
constexpr int kBarWidth = 13;
constexpr int kMinThumb = 10;
constexpr int kTextInset = 2;  // left of each item's text
constexpr COLORREF kHighlight = RGB(0, 0, 128);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr COLORREF kDisabledText = RGB(128, 128, 128);
constexpr COLORREF kTrack = RGB(224, 224, 224);

enum class Press { None, Items, Thumb, Track };

class ListBoxState final : public WindowExtension {
public:
    std::vector<std::u16string> items;
    int selected = LB_ERR;
    int top = 0;
    int item_height = 16;

    // The stroke in progress.
    Press press = Press::None;
    POINT press_at{};
    int press_top = 0;
    DWORD press_time = 0;
    bool dragged = false;

    // The last tap, which may begin a double tap.
    bool tap_pending = false;
    int tap_item = -1;
    DWORD tap_time = 0;
    POINT tap_at{};
};

// Everything position-dependent, worked out from the window as it is now.
struct Layout {
    RECT inner{};  // inside the frame
    RECT items{};  // inner, less the scroll bar
    RECT bar{};    // empty without a bar
    int page = 1;  // whole items that fit
    int max_top = 0;
};

Window* live(HWND h)
{
    UserState* u = UserState::current();
    return u ? u->windows().live_window(h) : nullptr;
}

ListBoxState* state_of(HWND h)
{
    Window* w = live(h);
    return w ? dynamic_cast<ListBoxState*>(w->extension.get()) : nullptr;
}

int count_of(const ListBoxState& s) { return static_cast<int>(s.items.size()); }

Layout layout_of(const Window& w, const ListBoxState& s)
{
    Layout l;
    RECT client;
    GetClientRect(w.handle, &client);
    const int border = (w.style & WS_BORDER) ? 1 : 0;
    l.inner = RECT{client.left + border, client.top + border, std::max(client.left + border, client.right - border),
                   std::max(client.top + border, client.bottom - border)};
    const int height = l.inner.bottom - l.inner.top;
    l.page = std::max(1, height / s.item_height);
    l.max_top = std::max(0, count_of(s) - l.page);
    l.items = l.inner;
    if ((w.style & WS_VSCROLL) && count_of(s) > l.page) {
        l.items.right = std::max(l.inner.left, l.inner.right - kBarWidth);
        l.bar = RECT{l.items.right, l.inner.top, l.inner.right, l.inner.bottom};
    }
    return l;
}

RECT thumb_of(const Layout& l, const ListBoxState& s)
{
    const int track = l.bar.bottom - l.bar.top;
    if (track <= 0 || s.items.empty()) return RECT{};
    const int len = std::clamp(static_cast<int>(std::int64_t{track} * l.page / count_of(s)), kMinThumb, track);
    const int at = l.max_top > 0 ? static_cast<int>(std::int64_t{track - len} * s.top / l.max_top) : 0;
    return RECT{l.bar.left, l.bar.top + at, l.bar.right, l.bar.top + at + len};
}

void set_top(HWND h, ListBoxState& s, const Layout& l, int top)
{
    top = std::clamp(top, 0, l.max_top);
    if (top == s.top) return;
    s.top = top;
    InvalidateRect(h, nullptr, TRUE);
}

void scroll_into_view(HWND h, ListBoxState& s, int index)
{
    Window* w = live(h);
    if (!w || index < 0) return;
    const Layout l = layout_of(*w, s);
    if (index < s.top)
        set_top(h, s, l, index);
    else if (index >= s.top + l.page)
        set_top(h, s, l, index - l.page + 1);
}

void select(HWND h, ListBoxState& s, int index)
{
    if (index == s.selected) return;
    s.selected = index;
    InvalidateRect(h, nullptr, TRUE);
}

void notify(HWND h, WORD code)
{
    Window* w = live(h);
    if (!w || !(w->style & LBS_NOTIFY) || !w->parent) return;
    SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(w->id, code), reinterpret_cast<LPARAM>(h));
}

// Text height plus a pixel above and below, in the font the list draws with.
void measure(HWND h, ListBoxState& s)
{
    HDC dc = GetDC(h);
    if (!dc) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) s.item_height = std::max<int>(1, tm.tmHeight + 2);
    if (old) SelectObject(dc, old);
    ReleaseDC(h, dc);
}

LRESULT on_create(HWND h)
{
    Window* w = live(h);
    if (!w) return -1;
    auto st = std::make_unique<ListBoxState>();
    ListBoxState* s = st.get();
    w->extension = std::move(st);
    measure(h, *s);
    return 0;
}

LRESULT add_string(HWND h, ListBoxState& s, LPARAM lp)
{
    const auto text = reinterpret_cast<LPCWSTR>(lp);
    if (!text) return LB_ERR;
    if (s.items.size() >= static_cast<std::size_t>(INT32_MAX)) return LB_ERRSPACE;
    try {
        s.items.emplace_back(text);
    } catch (const std::bad_alloc&) {
        return LB_ERRSPACE;
    }
    InvalidateRect(h, nullptr, TRUE);
    return count_of(s) - 1;
}

LRESULT delete_string(HWND h, ListBoxState& s, WPARAM wp)
{
    if (wp >= s.items.size()) return LB_ERR;
    const int index = static_cast<int>(wp);
    s.items.erase(s.items.begin() + index);
    if (s.selected == index)
        s.selected = LB_ERR;
    else if (s.selected > index)
        --s.selected;
    s.tap_pending = false;
    if (Window* w = live(h)) s.top = std::min(s.top, layout_of(*w, s).max_top);
    InvalidateRect(h, nullptr, TRUE);
    return count_of(s);
}

LRESULT set_cur_sel(HWND h, ListBoxState& s, WPARAM wp)
{
    const auto index = static_cast<INT_PTR>(wp);
    if (index < 0 || static_cast<std::size_t>(index) >= s.items.size()) {
        select(h, s, LB_ERR);
        return LB_ERR;  // for -1 too, as Win32 answers
    }
    select(h, s, static_cast<int>(index));
    scroll_into_view(h, s, s.selected);
    return s.selected;
}

LRESULT get_text(const ListBoxState& s, WPARAM wp, LPARAM lp)
{
    auto* buffer = reinterpret_cast<WCHAR*>(lp);
    if (wp >= s.items.size() || !buffer) return LB_ERR;
    const std::u16string& t = s.items[wp];
    std::copy(t.begin(), t.end(), buffer);
    buffer[t.size()] = 0;
    return static_cast<LRESULT>(t.size());
}

LRESULT set_top_index(HWND h, ListBoxState& s, WPARAM wp)
{
    Window* w = live(h);
    if (!w || wp >= s.items.size()) return LB_ERR;
    set_top(h, s, layout_of(*w, s), static_cast<int>(wp));
    return LB_OKAY;
}

void paint_bar(HDC dc, const Layout& l, const ListBoxState& s)
{
    if (l.bar.right <= l.bar.left) return;
    HBRUSH track = CreateSolidBrush(kTrack);
    const auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    FillRect(dc, &l.bar, track);
    const RECT edge{l.bar.left, l.bar.top, l.bar.left + 1, l.bar.bottom};
    FillRect(dc, &edge, black);
    const RECT thumb = thumb_of(l, s);
    FillRect(dc, &thumb, black);
    const RECT face{thumb.left + 1, thumb.top + 1, thumb.right - 1, thumb.bottom - 1};
    FillRect(dc, &face, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    if (track) DeleteObject(track);
}

void paint(HWND h, HDC dc)
{
    Window* w = live(h);
    if (!w || !dc) return;
    const HWND parent = w->parent;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    BorrowedTextState text_state(dc, RGB(0, 0, 0), font);
    auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(
                              parent, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h)))
                        : nullptr;
    if (!brush) brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

    // The parent's answer may have destroyed the list.
    const ListBoxState* s = state_of(h);
    if ((w = live(h)) != nullptr && s) {
        const Layout l = layout_of(*w, *s);
        RECT client;
        GetClientRect(h, &client);
        if (w->style & WS_BORDER) FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        FillRect(dc, &l.items, brush);
        const COLORREF text_color = w->enabled() ? GetTextColor(dc) : kDisabledText;
        HBRUSH highlight = nullptr;
        const int count = count_of(*s);
        for (int i = s->top, y = l.items.top; i < count && y < l.items.bottom; ++i, y += s->item_height) {
            const RECT row{l.items.left, y, l.items.right, std::min<LONG>(y + s->item_height, l.items.bottom)};
            const bool selected = i == s->selected;
            if (selected) {
                if (!highlight) highlight = CreateSolidBrush(kHighlight);
                FillRect(dc, &row, highlight);
            }
            SetTextColor(dc, selected ? kHighlightText : text_color);
            RECT text{row.left + kTextInset, row.top + 1, row.right, row.bottom};
            const std::u16string& item = s->items[static_cast<std::size_t>(i)];
            DrawTextW(dc, item.c_str(), static_cast<int>(item.size()), &text, DT_SINGLELINE | DT_NOPREFIX);
        }
        if (highlight) DeleteObject(highlight);
        paint_bar(dc, l, *s);
    }
}

POINT point_of(LPARAM lp) { return POINT{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))}; }

// The item under a point of the client area; LB_ERR over blank space, the frame or the bar.
int item_at(const Layout& l, const ListBoxState& s, POINT p)
{
    if (p.x < l.items.left || p.x >= l.items.right || p.y < l.items.top || p.y >= l.items.bottom) return LB_ERR;
    const std::int64_t index = std::int64_t{s.top} + (p.y - l.items.top) / s.item_height;
    return index < count_of(s) ? static_cast<int>(index) : LB_ERR;
}

LRESULT on_press(HWND h, ListBoxState& s, LPARAM lp)
{
    Window* w = live(h);
    if (!w || !w->enabled()) return 0;
    const POINT p = point_of(lp);
    const Layout l = layout_of(*w, s);
    s.press_at = p;
    s.press_top = s.top;
    s.press_time = GetTickCount();
    s.dragged = false;
    s.press = Press::Items;
    if (PtInRect(&l.bar, p)) {
        const RECT thumb = thumb_of(l, s);
        if (PtInRect(&thumb, p)) {
            s.press = Press::Thumb;
        } else {
            s.press = Press::Track;
            set_top(h, s, l, s.top + (p.y < thumb.top ? -l.page : l.page));
        }
    }
    SetCapture(h);
    // Focus may tell the parent LBN_SETFOCUS, which may do anything; the press is recorded.
    if (GetFocus() != h) SetFocus(h);
    return 0;
}

LRESULT on_move(HWND h, ListBoxState& s, LPARAM lp)
{
    Window* w = live(h);
    if (!w || s.press == Press::None) return 0;
    const POINT p = point_of(lp);
    const int dy = p.y - s.press_at.y;
    if (std::abs(p.x - s.press_at.x) > kTapSlop || std::abs(dy) > kTapSlop) s.dragged = true;
    const Layout l = layout_of(*w, s);
    if (s.press == Press::Items && s.dragged) {
        // Whole items, following the stylus: dragging down brings earlier items into view.
        set_top(h, s, l, s.press_top - dy / s.item_height);
    } else if (s.press == Press::Thumb) {
        const RECT thumb = thumb_of(l, s);
        const int range = (l.bar.bottom - l.bar.top) - (thumb.bottom - thumb.top);
        if (range > 0) set_top(h, s, l, s.press_top + static_cast<int>(std::int64_t{dy} * l.max_top / range));
    }
    return 0;
}

LRESULT on_release(HWND h, ListBoxState& s)
{
    const Press press = s.press;
    s.press = Press::None;
    if (GetCapture() == h) ReleaseCapture();
    ListBoxState* live_s = state_of(h);
    Window* w = live(h);
    if (!live_s || !w || press != Press::Items) return 0;
    ListBoxState& st = *live_s;
    if (st.dragged) {
        st.tap_pending = false;
        return 0;
    }
    const int index = item_at(layout_of(*w, st), st, st.press_at);
    if (index == LB_ERR) return 0;
    const bool double_tap = st.tap_pending && st.tap_item == index && st.press_time - st.tap_time < kDoubleTapMs &&
                            std::abs(st.press_at.x - st.tap_at.x) <= kTapSlop &&
                            std::abs(st.press_at.y - st.tap_at.y) <= kTapSlop;
    // Recorded before the parent hears of it: its handler may destroy the list or run a modal
    // loop, so nothing of the state is touched once it returns.
    st.tap_pending = !double_tap;
    st.tap_item = index;
    st.tap_time = st.press_time;
    st.tap_at = st.press_at;
    select(h, st, index);
    // As Win32: every release of a captured tap says LBN_SELCHANGE, changed or not, so a parent
    // that steps on each tap keeps stepping. The second tap of a double tap stands for Win32's
    // WM_LBUTTONDBLCLK, which says LBN_DBLCLK alone.
    notify(h, double_tap ? LBN_DBLCLK : LBN_SELCHANGE);
    return 0;
}

LRESULT on_key(HWND h, ListBoxState& s, WPARAM vk)
{
    if ((vk != VK_UP && vk != VK_DOWN) || s.items.empty()) return 0;
    const int step = vk == VK_UP ? -1 : 1;
    const int index = s.selected == LB_ERR ? 0 : std::clamp(s.selected + step, 0, count_of(s) - 1);
    // At either end the selection stays, and Win32 still says LBN_SELCHANGE.
    select(h, s, index);
    scroll_into_view(h, s, index);
    notify(h, LBN_SELCHANGE);
    return 0;
}

LRESULT CALLBACK list_box_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CREATE) return on_create(h);
    ListBoxState* s = state_of(h);
    if (!s) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
        case WM_PAINT: return paint_message(h, wp, [h](HDC dc) { paint(h, dc); });
        case WM_ERASEBKGND: return 1;  // painting covers the whole client area
        case WM_LBUTTONDOWN: return on_press(h, *s, lp);
        case WM_MOUSEMOVE: return on_move(h, *s, lp);
        case WM_LBUTTONUP: return s->press == Press::None ? 0 : on_release(h, *s);
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != h) s->press = Press::None;  // the stroke ends here
            return 0;
        case WM_KEYDOWN: return on_key(h, *s, wp);
        case WM_SETFOCUS: notify(h, LBN_SETFOCUS); return 0;
        case WM_KILLFOCUS: notify(h, LBN_KILLFOCUS); return 0;
        case WM_SETFONT:
            DefWindowProcW(h, msg, wp, lp);
            measure(h, *s);
            if (Window* w = live(h)) s->top = std::min(s->top, layout_of(*w, *s).max_top);
            if (LOWORD(lp)) InvalidateRect(h, nullptr, TRUE);
            return 0;
        case WM_SIZE:
            if (Window* w = live(h)) s->top = std::min(s->top, layout_of(*w, *s).max_top);
            InvalidateRect(h, nullptr, TRUE);
            return 0;
        case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
        case LB_ADDSTRING: return add_string(h, *s, lp);
        case LB_DELETESTRING: return delete_string(h, *s, wp);
        case LB_RESETCONTENT:
            s->items.clear();
            s->selected = LB_ERR;
            s->top = 0;
            s->tap_pending = false;
            InvalidateRect(h, nullptr, TRUE);
            return LB_OKAY;
        case LB_SETCURSEL: return set_cur_sel(h, *s, wp);
        case LB_GETCURSEL: return s->selected;
        case LB_GETTEXT: return get_text(*s, wp, lp);
        case LB_GETTEXTLEN: return wp < s->items.size() ? static_cast<LRESULT>(s->items[wp].size()) : LB_ERR;
        case LB_GETCOUNT: return count_of(*s);
        case LB_GETTOPINDEX: return s->top;
        case LB_SETTOPINDEX: return set_top_index(h, *s, wp);
        case LB_GETITEMHEIGHT: return s->item_height;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

void register_list_box_class(UserState& u)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = list_box_proc;
    wc.lpszClassName = u"LISTBOX";
    u.windows().register_class(wc);
}

}  // namespace zv
