// Window classes, creation, destruction, geometry and visibility.
#include <algorithm>

#include "base/names.h"
#include "core/surface_access.h"
#include "core/user_state.h"
#include "core/window_tree.h"

namespace zv {

WindowTree::~WindowTree()
{
    // Tear windows down without running program code: the program is gone by now.
    windows_.for_each([](std::uintptr_t, Window& w) { w.destroyed = true; });
}

Window* WindowTree::live_window(HWND h) const
{
    Window* w = windows_.get(h);
    return (w && !w->destroyed) ? w : nullptr;
}

ATOM WindowTree::register_class(const WNDCLASSW& wc, const ClassTraits& traits)
{
    if (!wc.lpszClassName || !wc.lpfnWndProc) return 0;
    std::u16string name = IS_INTRESOURCE(wc.lpszClassName) ? std::u16string() : std::u16string(wc.lpszClassName);
    if (name.empty() || find_class(name)) return 0;
    auto c = std::make_unique<WindowClass>();
    c->name = name;
    c->traits = traits;
    c->style = wc.style;
    c->proc = wc.lpfnWndProc;
    c->window_extra = std::max(0, wc.cbWndExtra);
    c->instance = wc.hInstance;
    c->icon = wc.hIcon;
    c->background = wc.hbrBackground;
    classes_.push_back(std::move(c));
    return static_cast<ATOM>(0xC000 + classes_.size());
}

const WindowClass* WindowTree::find_class(std::u16string_view name) const
{
    for (auto& c : classes_)
        if (names_equal(c->name, name)) return c.get();
    return nullptr;
}

HWND WindowTree::create_window(DWORD ex_style, std::u16string_view cls_name, LPCWSTR title, DWORD style, int x, int y,
                               int w, int h, HWND parent, UINT id, HINSTANCE instance, LPVOID param)
{
    const WindowClass* cls = find_class(cls_name);
    if (!cls) return nullptr;
    Window* parent_w = nullptr;
    if (parent) {
        parent_w = live_window(parent);
        if (!parent_w) return nullptr;
    } else if (style & WS_CHILD) {
        return nullptr;
    }
    if (x == CW_USEDEFAULT) x = 0;
    if (y == CW_USEDEFAULT) y = 0;
    if (w == CW_USEDEFAULT) w = user_.screen().width();
    if (h == CW_USEDEFAULT) h = user_.screen().height();
    w = std::max(0, w);
    h = std::max(0, h);

    auto win = std::make_unique<Window>();
    Window* raw = win.get();
    raw->cls = cls;
    raw->proc = cls->proc;
    raw->parent = parent;
    raw->style = style & ~static_cast<DWORD>(WS_VISIBLE);  // shown once WM_CREATE has succeeded
    raw->ex_style = ex_style;
    raw->text = (title && !IS_INTRESOURCE(title)) ? std::u16string(title) : std::u16string();
    raw->rect = {x, y, x + w, y + h};
    raw->id = (style & WS_CHILD) ? id : 0;
    raw->instance = instance;
    raw->extra.assign(static_cast<std::size_t>((cls->window_extra + 7) / 8) + 4, 0);
    HWND handle = to_handle<HWND>(windows_.insert(std::move(win)));
    raw->handle = handle;

    if (raw->is_child()) {
        parent_w->children.push_back(handle);  // new children go to the bottom of the z-order
    } else {
        raw->surface = make_surface(w, h);
        top_levels_.insert(top_levels_.begin(), handle);
        // Until a title says otherwise, the first unowned window is the program's main window.
        if (!parent && !main_window()) main_window_ = handle;
    }

    CREATESTRUCTW cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hwndParent = parent;
    cs.cx = w;
    cs.cy = h;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title;
    cs.lpszClass = cls->name.c_str();
    cs.dwExStyle = ex_style;
    LRESULT r = user_.queue().send(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
    if (!live_window(handle)) return nullptr;
    if (r == -1) {
        destroy_window(handle);
        return nullptr;
    }
    if (style & WS_VISIBLE) show_window(raw, true, !raw->is_child());
    return handle;
}

void WindowTree::top_level_title_changed(HWND h)
{
    const Window* w = live_window(h);
    if (!w || w->is_child()) return;
    if (!w->parent) main_window_ = h;
    if (on_top_level_title) on_top_level_title(h);
}

void WindowTree::destroy_tree(Window* w)
{
    HWND h = w->handle;
    w->destroyed = true;
    // Owned pop-ups go with their owner, and go first.
    std::vector<HWND> owned;
    for (HWND t : top_levels_) {
        Window* o = window(t);
        if (o && o->parent == h && !o->destroyed) owned.push_back(t);
    }
    for (HWND o : owned)
        if (Window* ow = window(o)) destroy_tree(ow);
    // As Win32: WM_DESTROY down the whole tree, parent first, then WM_NCDESTROY up it, so a
    // window's last message comes after all of its children's.
    send_destroy(w);
    send_nc_destroy(w);
}

void WindowTree::send_destroy(Window* w)
{
    w->destroyed = true;
    if (w->proc) CallWindowProcW(w->proc, w->handle, WM_DESTROY, 0, 0);
    const std::vector<HWND> kids = w->children;
    for (HWND c : kids)
        if (Window* cw = window(c)) send_destroy(cw);
}

void WindowTree::send_nc_destroy(Window* w)
{
    const std::vector<HWND> kids = w->children;
    for (HWND c : kids)
        if (Window* cw = window(c)) send_nc_destroy(cw);
    if (w->proc) CallWindowProcW(w->proc, w->handle, WM_NCDESTROY, 0, 0);
}

bool WindowTree::destroy_window(HWND h)
{
    Window* w = live_window(h);
    if (!w) return false;
    bool was_visible = really_visible(w);
    RECT r = w->rect;
    HWND parent = w->parent;
    bool child = w->is_child();
    destroy_tree(w);

    // Collect every window of the destroyed tree and release it.
    std::vector<HWND> doomed;
    windows_.for_each([&](std::uintptr_t hv, Window& x) {
        if (x.destroyed) doomed.push_back(to_handle<HWND>(hv));
    });
    const bool was_active = user_.input().forget_windows(doomed);
    for (HWND d : doomed) {
        std::erase(top_levels_, d);
        if (Window* x = window(d)) {
            if (x->parent && x->is_child())
                if (Window* p = window(x->parent); p && !p->destroyed) std::erase(p->children, d);
        }
    }
    for (HWND d : doomed) windows_.remove(d);
    user_.queue().forget_windows(doomed);
    // Activate the owner if there is one, else the topmost visible window.
    if (was_active) user_.input().activate_next(child ? nullptr : parent);
    if (was_visible) {
        if (child) {
            if (Window* p = live_window(parent)) user_.screen().invalidate(p, &r, true);
        }
        user_.screen().mark_dirty();
    }
    return true;
}

Window* WindowTree::top_level_of(Window* w) const
{
    while (w && w->is_child()) w = window(w->parent);
    return w;
}

HWND WindowTree::find_top_level(std::u16string_view cls, std::u16string_view title) const
{
    for (HWND t : top_levels_) {
        Window* w = live_window(t);
        if (!w) continue;
        if (!cls.empty() && !names_equal(w->cls->name, cls)) continue;
        if (w->text != title) continue;
        return t;
    }
    return nullptr;
}

bool WindowTree::really_visible(const Window* w) const
{
    while (w) {
        if (!w->visible() || w->destroyed) return false;
        if (!w->is_child()) return true;
        w = window(w->parent);
    }
    return false;
}

RECT WindowTree::client_rect(const Window* w) const
{
    int top = (w->style & WS_CAPTION) == WS_CAPTION ? 20 : 0;
    return {0, 0, w->width(), std::max(0, w->height() - top)};
}

POINT WindowTree::client_origin_on_surface(const Window* w) const
{
    POINT p{0, (w->style & WS_CAPTION) == WS_CAPTION ? 20 : 0};
    while (w && w->is_child()) {
        p.x += w->rect.left;
        p.y += w->rect.top;
        w = window(w->parent);
        if (w && (w->style & WS_CAPTION) == WS_CAPTION) p.y += 20;
    }
    return p;
}

POINT WindowTree::client_origin_on_screen(const Window* w) const
{
    POINT p = client_origin_on_surface(w);
    const Window* top = top_level_of(const_cast<Window*>(w));
    if (top) {
        p.x += top->rect.left;
        p.y += top->rect.top;
    }
    return p;
}

void WindowTree::set_window_pos(Window* w, int x, int y, int cx, int cy, UINT flags)
{
    const PlacedWindow p = place_window(w, x, y, cx, cy, flags);
    repaint_placed(p);
    notify_placed(p);
}

PlacedWindow WindowTree::place_window(Window* w, int x, int y, int cx, int cy, UINT flags)
{
    PlacedWindow p;
    p.hwnd = w->handle;
    p.parent = w->parent;
    p.child = w->is_child();
    p.flags = flags;
    p.old_rect = w->rect;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        r.right = x + (r.right - r.left);
        r.bottom = y + (r.bottom - r.top);
        r.left = x;
        r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    const RECT& old = p.old_rect;
    p.resized = (r.right - r.left) != (old.right - old.left) || (r.bottom - r.top) != (old.bottom - old.top);
    p.moved = r.left != old.left || r.top != old.top;
    p.new_rect = r;
    w->rect = r;
    if (!p.child) {
        if (p.resized) resize_surface(*w->surface, w->width(), w->height());
        if (!(flags & SWP_NOZORDER)) raise_top_level(w);
    }
    // As Win32, showing or hiding through a placement sends no WM_SHOWWINDOW.
    if (flags & SWP_SHOWWINDOW) show_window(w, true, !(flags & SWP_NOACTIVATE) && !p.child, false);
    if ((flags & SWP_HIDEWINDOW) && live_window(p.hwnd)) show_window(w, false, false, false);
    if (Window* still = live_window(p.hwnd); still && really_visible(still)) user_.screen().mark_dirty();
    return p;
}

void WindowTree::repaint_placed(const PlacedWindow& p)
{
    Window* w = live_window(p.hwnd);
    if (!w) return;
    const bool redraw = !(p.flags & SWP_NOREDRAW);
    // A resized window is redrawn whole; a top-level surface keeps its picture otherwise.
    if (p.resized || (redraw && ((p.moved && p.child) || !(p.flags & (SWP_NOMOVE | SWP_NOSIZE)))))
        user_.screen().invalidate(w, nullptr, true);
    if (p.child && (p.moved || p.resized) && redraw)
        if (Window* parent = live_window(p.parent)) user_.screen().invalidate(parent, &p.old_rect, true);
}

void WindowTree::notify_placed(const PlacedWindow& p)
{
    if (!p.moved && !p.resized) return;
    const RECT& r = p.new_rect;
    WINDOWPOS pos{p.hwnd,
                  nullptr,
                  r.left,
                  r.top,
                  r.right - r.left,
                  r.bottom - r.top,
                  p.flags | (p.moved ? 0u : SWP_NOMOVE) | (p.resized ? 0u : SWP_NOSIZE)};
    user_.queue().send(p.hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    // WM_MOVE before WM_SIZE, as Win32's default WM_WINDOWPOSCHANGED handling sends them.
    if (p.moved) user_.queue().send(p.hwnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (p.resized) user_.queue().send(p.hwnd, WM_SIZE, 0, MAKELPARAM(r.right - r.left, r.bottom - r.top));
}

void WindowTree::show_window(Window* w, bool show, bool activate, bool tell)
{
    bool was = w->visible();
    if (show)
        w->style |= WS_VISIBLE;
    else
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    if (was != show) {
        if (tell) user_.queue().send(w->handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (show) user_.screen().invalidate(w, nullptr, true);
        if (w->is_child() && !show)
            if (Window* p = live_window(w->parent)) user_.screen().invalidate(p, &w->rect, true);
        user_.screen().mark_dirty();
    }
    if (!w->is_child()) {
        if (show && activate && w->enabled()) user_.input().set_active(w->handle);
        if (!show) user_.input().deactivate(w);
    }
}

void WindowTree::raise_top_level(Window* w)
{
    auto it = std::find(top_levels_.begin(), top_levels_.end(), w->handle);
    if (it == top_levels_.end() || it == top_levels_.begin()) return;
    top_levels_.erase(it);
    top_levels_.insert(top_levels_.begin(), w->handle);
    // Owned windows stay above their owner.
    std::vector<HWND> owned;
    for (HWND t : top_levels_) {
        Window* o = live_window(t);
        if (o && o->parent == w->handle) owned.push_back(t);
    }
    for (HWND o : owned)
        if (Window* ow = live_window(o)) raise_top_level(ow);
    user_.screen().mark_dirty();
}

}  // namespace zv
