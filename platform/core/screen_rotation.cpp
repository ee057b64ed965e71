// Turning the screen between portrait and landscape, as the handheld's rotate button does.
#include <utility>

#include "base/names.h"
#include "core/surface_access.h"
#include "core/user_state.h"

namespace zv {

namespace {
// The dialog class's name is the system's, so the window manager may know it.
constexpr std::u16string_view kDialogClass = u"#32770";
}  // namespace

void UserState::rotate_screen()
{
    const RECT old_screen{0, 0, screen_w_, screen_h_};
    std::swap(screen_w_, screen_h_);
    resize_surface(*screen_, screen_w_, screen_h_);
    mark_screen_dirty();
    // A stroke under way had its coordinates on the old screen: the rest of it goes nowhere.
    if (stylus_down_) {
        stylus_orphaned_ = true;
        stylus_window_ = nullptr;
    }
    // The window manager resizes full-screen dialogs to the new shape; every other window keeps
    // its size and the screen clips it (the 240 x 320 main window shows its top 240 rows).
    const std::vector<HWND> tops = top_levels_;
    for (HWND t : tops) {
        Window* w = live_window(t);
        if (!w || !w->cls || !names_equal(w->cls->name, kDialogClass)) continue;
        if (w->full_screen || EqualRect(&w->rect, &old_screen))
            set_window_pos(w, 0, 0, screen_w_, screen_h_, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (HWND t : tops)
        if (live_window(t)) send(t, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
}

}  // namespace zv
