// Deferred window positioning: a relayout collects its moves in a batch and ends it, and every
// window is placed first, the parent repainted once over everything that moved, and only then
// each window told, so no handler sees a half-done layout and no control is painted twice.
#include <windows.h>

#include <algorithm>

#include "core/user_state.h"
#include "gdi/rect_math.h"

using zv::UserState;
using zv::Window;

namespace {

UserState* user() { return UserState::current(); }

RECT unite(const RECT& a, const RECT& b)
{
    if (zv::rect_empty(a)) return b;
    if (zv::rect_empty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// A later entry for a window already in the batch overrides what it sets, as Win32 merges them.
void merge(zv::DeferredMove& m, const zv::DeferredMove& later)
{
    if (!(later.flags & SWP_NOMOVE)) {
        m.x = later.x;
        m.y = later.y;
    }
    if (!(later.flags & SWP_NOSIZE)) {
        m.cx = later.cx;
        m.cy = later.cy;
    }
    constexpr UINT kKept = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;
    m.flags = (m.flags & (later.flags | ~kKept)) | (later.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW));
}

struct ParentArea {
    HWND parent;
    RECT area;
};

}  // namespace

HDWP BeginDeferWindowPos(int count)
{
    if (count < 0 || !user()) return nullptr;
    auto b = std::make_unique<zv::DeferBatch>();
    b->moves.reserve(static_cast<std::size_t>(std::min(count, 64)));
    return zv::to_handle<HDWP>(user()->windows().defer_batches().insert(std::move(b)));
}

// Win32 frees the batch when a window is invalid; here it stays usable, because the relayout
// that made it keeps its first handle, goes on with the other controls and ends it.
HDWP DeferWindowPos(HDWP info, HWND h, HWND, int x, int y, int cx, int cy, UINT flags)
{
    zv::DeferBatch* b = user() ? user()->windows().defer_batches().get(info) : nullptr;
    if (!b || !user()->windows().live_window(h)) return nullptr;
    const zv::DeferredMove move{h, x, y, cx, cy, flags};
    auto it = std::ranges::find(b->moves, h, &zv::DeferredMove::hwnd);
    if (it != b->moves.end())
        merge(*it, move);
    else
        b->moves.push_back(move);
    return info;
}

BOOL EndDeferWindowPos(HDWP info)
{
    UserState* u = user();
    if (!u) return FALSE;
    zv::WindowTree& tree = u->windows();
    std::unique_ptr<zv::DeferBatch> b = tree.defer_batches().remove(info);
    if (!b) return FALSE;

    std::vector<zv::PlacedWindow> placed;
    placed.reserve(b->moves.size());
    for (const zv::DeferredMove& m : b->moves)
        if (Window* w = tree.live_window(m.hwnd)) placed.push_back(tree.place_window(w, m.x, m.y, m.cx, m.cy, m.flags));

    // Children are repainted through their parent, once, over their old and new places together;
    // the parent's invalidation reaches every child there. Top-level windows repaint as alone.
    std::vector<ParentArea> areas;
    for (const zv::PlacedWindow& p : placed) {
        const bool redraw = !(p.flags & SWP_NOREDRAW);
        const bool changes = p.moved || p.resized || !(p.flags & (SWP_NOMOVE | SWP_NOSIZE));
        if (!p.child || !redraw || !changes) {
            tree.repaint_placed(p);
            continue;
        }
        const RECT both = unite(p.old_rect, p.new_rect);
        auto it = std::ranges::find(areas, p.parent, &ParentArea::parent);
        if (it != areas.end())
            it->area = unite(it->area, both);
        else
            areas.push_back({p.parent, both});
    }
    for (const ParentArea& a : areas)
        if (Window* parent = tree.live_window(a.parent)) u->screen().invalidate(parent, &a.area, true);

    for (const zv::PlacedWindow& p : placed) tree.notify_placed(p);
    return TRUE;
}
