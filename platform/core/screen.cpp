// The screen: its size and turn, full-screen requests, the composed picture and display power.
#include "core/screen.h"

#include <algorithm>
#include <utility>

#include "core/surface_access.h"
#include "core/user_state.h"

namespace zv {

Screen::Screen(UserState& user, Backend& backend, int width, int height)
    : user_(user), backend_(backend), width_(width), height_(height), surface_(make_surface(width, height))
{
}

Screen::~Screen() = default;

void Screen::rotate()
{
    const RECT old_screen{0, 0, width_, height_};
    std::swap(width_, height_);
    resize_surface(*surface_, width_, height_);
    mark_dirty();
    // A stroke under way had its coordinates on the old screen: the rest of it goes nowhere.
    user_.input().abandon_stroke();
    // The window manager resizes full-screen dialogs to the new shape; every other window keeps
    // its size and the screen clips it (the 240 x 320 main window shows its top 240 rows).
    WindowTree& tree = user_.windows();
    const std::vector<HWND> tops = tree.top_levels();
    for (HWND t : tops) {
        Window* w = tree.live_window(t);
        if (!w || !w->turns_with_screen) continue;
        if (w->full_screen || EqualRect(&w->rect, &old_screen))
            tree.set_window_pos(w, 0, 0, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (HWND t : tops)
        if (tree.live_window(t)) user_.queue().send(t, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
}

bool Screen::request_full_screen(HWND h, bool on)
{
    Window* w = user_.windows().live_window(h);
    if (!w) return false;
    w->full_screen = on;
    return true;
}

void Screen::compose_and_present()
{
    dirty_ = false;
    Surface& s = *surface_;
    s.fill(0);
    const WindowTree& tree = user_.windows();
    for (auto it = tree.top_levels().rbegin(); it != tree.top_levels().rend(); ++it) {
        Window* w = tree.live_window(*it);
        if (!w || !w->visible() || !w->surface) continue;
        const Surface& src = *w->surface;
        for (int y = 0; y < src.height(); ++y) {
            int sy = w->rect.top + y;
            if (sy < 0 || sy >= s.height()) continue;
            int x0 = std::max(0, -static_cast<int>(w->rect.left));
            int x1 = std::min(src.width(), s.width() - static_cast<int>(w->rect.left));
            if (x1 <= x0) continue;
            std::copy(src.row(y) + x0, src.row(y) + x1, s.row(sy) + w->rect.left + x0);
        }
    }
    backend_.present(s, display_on_);
}

void Screen::set_display_on(bool on)
{
    if (display_on_ == on) return;
    display_on_ = on;
    mark_dirty();
}

void Screen::idle_reset()
{
    ++idle_resets_;
    backend_.inhibit_screen_saver();
}

}  // namespace zv
