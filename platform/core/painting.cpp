// Invalid regions, paint cycles, window scrolling and the composed screen.
#include <algorithm>

#include "core/screen.h"
#include "core/surface_access.h"
#include "core/user_state.h"
#include "gdi/gdi_internal.h"

namespace zv {

namespace {
bool empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (empty(r)) return RECT{0, 0, 0, 0};
    return r;
}

RECT unite(const RECT& a, const RECT& b)
{
    if (empty(a)) return b;
    if (empty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT offset(RECT r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
}  // namespace

void Screen::invalidate(Window* w, const RECT* r, bool erase)
{
    if (!w || w->destroyed) return;
    RECT client = user_.windows().client_rect(w);
    RECT area = r ? intersect(*r, client) : client;
    if (empty(area)) return;
    w->invalid = unite(w->invalid, area);
    if (erase) w->erase_pending = true;
    // Children drawn over by the parent's repaint must repaint themselves too.
    for (HWND c : w->children) {
        Window* cw = user_.windows().live_window(c);
        if (!cw || !cw->visible()) continue;
        RECT hit = intersect(area, cw->rect);
        if (empty(hit)) continue;
        RECT local = offset(hit, -cw->rect.left, -cw->rect.top);
        invalidate(cw, &local, erase);
    }
    // No wake-up: this runs on the user-interface thread, which looks for paints before it waits.
}

void Screen::validate(Window* w, const RECT* r)
{
    if (!w) return;
    if (!r) {
        w->invalid = RECT{0, 0, 0, 0};
        w->erase_pending = false;
        return;
    }
    // A partial validation keeps the bounding box unless it covers it.
    RECT cut = intersect(*r, w->invalid);
    if (EqualRect(&cut, &w->invalid)) {
        w->invalid = RECT{0, 0, 0, 0};
        w->erase_pending = false;
    }
}

// The visible part of a window's client area, in its top-level surface's coordinates.
RECT Screen::visible_client_on_surface(const Window* w) const
{
    const WindowTree& u = user_.windows();
    POINT o = u.client_origin_on_surface(w);
    RECT r = offset(u.client_rect(w), o.x, o.y);
    const Window* p = w;
    while (p && p->is_child()) {
        p = u.window(p->parent);
        if (!p) break;
        POINT po = u.client_origin_on_surface(p);
        r = intersect(r, offset(u.client_rect(p), po.x, po.y));
    }
    return r;
}

HDC Screen::begin_paint(Window* w, PAINTSTRUCT* ps)
{
    if (!w || !ps) return nullptr;
    *ps = PAINTSTRUCT{};
    const WindowTree& tree = user_.windows();
    RECT client = tree.client_rect(w);
    RECT area = intersect(w->invalid, client);
    bool erase = w->erase_pending;
    w->invalid = RECT{0, 0, 0, 0};
    w->erase_pending = false;
    Window* top = tree.top_level_of(w);
    if (!top || !top->surface) return nullptr;
    POINT o = tree.client_origin_on_surface(w);
    RECT clip = intersect(visible_client_on_surface(w), offset(area, o.x, o.y));
    HDC dc = create_surface_dc(top->surface, o, clip);
    ps->hdc = dc;
    ps->rcPaint = area;
    if (erase && !empty(area))
        ps->fErase = user_.queue().send(w->handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

void Screen::end_paint(Window* w, const PAINTSTRUCT* ps)
{
    if (ps && ps->hdc) DeleteDC(ps->hdc);
    if (w && user_.windows().really_visible(w)) mark_dirty();
}

HDC Screen::get_dc(Window* w)
{
    if (!w) return nullptr;
    Window* top = user_.windows().top_level_of(w);
    if (!top || !top->surface) return nullptr;
    mark_dirty();
    return create_surface_dc(top->surface, user_.windows().client_origin_on_surface(w), visible_client_on_surface(w));
}

HDC Screen::get_screen_dc()
{
    mark_dirty();
    return create_surface_dc(surface_, POINT{0, 0}, RECT{0, 0, width_, height_});
}

void Screen::update_window(Window* w)
{
    const WindowTree& tree = user_.windows();
    if (!w || !tree.really_visible(w)) return;
    if (!empty(w->invalid)) user_.queue().send(w->handle, WM_PAINT, 0, 0);
    if (Window* still = tree.live_window(w->handle)) {
        if (!empty(still->invalid)) validate(still, nullptr);
        std::vector<HWND> kids = still->children;
        for (auto it = kids.rbegin(); it != kids.rend(); ++it)
            if (Window* c = tree.live_window(*it)) update_window(c);
    }
}

int Screen::scroll_window(Window* w, int dx, int dy, const RECT* scroll, const RECT* clip, RECT* update, UINT flags)
{
    if (!w) return 0;
    const WindowTree& tree = user_.windows();
    RECT client = tree.client_rect(w);
    RECT src = scroll ? intersect(*scroll, client) : client;
    RECT bound = clip ? intersect(*clip, client) : client;
    Window* top = tree.top_level_of(w);
    RECT uncovered{0, 0, 0, 0};
    if (top && top->surface && (dx || dy)) {
        // Move the pixels that stay inside the clip.
        RECT dst = intersect(offset(src, dx, dy), bound);
        POINT o = tree.client_origin_on_surface(w);
        RECT vis = visible_client_on_surface(w);
        RECT dst_s = intersect(offset(dst, o.x, o.y), vis);
        if (!empty(dst_s)) {
            // The surface's own overlap-safe copy moves the picture.
            HDC dc = create_surface_dc(top->surface, POINT{0, 0}, vis);
            BitBlt(dc, dst_s.left, dst_s.top, dst_s.right - dst_s.left, dst_s.bottom - dst_s.top, dc, dst_s.left - dx,
                   dst_s.top - dy, SRCCOPY);
            DeleteDC(dc);
        }
        // What the move uncovered inside the scroll area is invalid.
        RECT moved_from = intersect(offset(src, dx, dy), bound);
        RECT area = intersect(src, bound);
        if (dy > 0) uncovered = RECT{area.left, area.top, area.right, std::min(area.bottom, moved_from.top)};
        if (dy < 0) uncovered = RECT{area.left, std::max(area.top, moved_from.bottom), area.right, area.bottom};
        if (dx > 0)
            uncovered = unite(uncovered, RECT{area.left, area.top, std::min(area.right, moved_from.left), area.bottom});
        if (dx < 0)
            uncovered =
                unite(uncovered, RECT{std::max(area.left, moved_from.right), area.top, area.right, area.bottom});
        if (empty(moved_from)) uncovered = area;
        mark_dirty();
    }
    bool moved_child = false;
    if (flags & SW_SCROLLCHILDREN) {
        for (HWND c : w->children) {
            Window* cw = tree.live_window(c);
            if (!cw) continue;
            cw->rect = offset(cw->rect, dx, dy);
            moved_child = moved_child || dx || dy;
            // Pending invalid parts of the child travel with it (they are in its own coordinates).
        }
    }
    if (!empty(uncovered)) {
        // Only the uncovered strip is invalid: pictures that moved stay valid. Where a moved
        // child used to be, the parent's background shows again, as when a window is moved, so
        // the strip is erased or the child's old picture would stay there.
        invalidate(w, &uncovered, (flags & SW_ERASE) || moved_child);
    }
    if (update) *update = uncovered;
    return empty(uncovered) ? NULLREGION : SIMPLEREGION;
}

}  // namespace zv
