// Windows and their classes: creation and destruction, parent and owner, the top-level z-order,
// styles, text, placement and visibility, and the windows of other processes FindWindow finds.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/handle_table.h"
#include "core/window.h"

namespace zv {

class UserState;

// A main window of another process that FindWindow found; only a foreground request reaches it.
struct RemoteWindow {
    std::u16string cls;
    std::u16string title;
};

// A deferred window-positioning batch (BeginDeferWindowPos .. EndDeferWindowPos): at most one
// entry per window, applied together when the batch ends.
struct DeferredMove {
    HWND hwnd;
    int x, y, cx, cy;
    UINT flags;
};
struct DeferBatch {
    std::vector<DeferredMove> moves;
};

// What one positioning changed, kept so the repaint and the messages can follow it separately.
struct PlacedWindow {
    HWND hwnd = nullptr;
    HWND parent = nullptr;
    bool child = false;
    RECT old_rect{};
    RECT new_rect{};
    UINT flags = 0;
    bool moved = false;
    bool resized = false;
};

class WindowTree {
public:
    explicit WindowTree(UserState& user) : user_(user) {}
    ~WindowTree();
    WindowTree(const WindowTree&) = delete;
    WindowTree& operator=(const WindowTree&) = delete;

    Window* window(HWND h) const { return windows_.get(h); }
    Window* live_window(HWND h) const;  // not yet destroyed
    ATOM register_class(const WNDCLASSW& wc, const ClassTraits& traits = {});
    const WindowClass* find_class(std::u16string_view name) const;
    HWND create_window(DWORD ex_style, std::u16string_view cls, LPCWSTR title, DWORD style, int x, int y, int w, int h,
                       HWND parent, UINT id, HINSTANCE instance, LPVOID param);
    bool destroy_window(HWND h);
    Window* top_level_of(Window* w) const;
    const std::vector<HWND>& top_levels() const { return top_levels_; }
    HWND find_top_level(std::u16string_view cls, std::u16string_view title) const;
    bool really_visible(const Window* w) const;             // it and every ancestor visible
    RECT client_rect(const Window* w) const;                // (0,0,w,h) of the client area
    POINT client_origin_on_surface(const Window* w) const;  // client (0,0) in its top-level surface
    POINT client_origin_on_screen(const Window* w) const;

    // SetWindowPos: place_window, then repaint_placed, then notify_placed.
    void set_window_pos(Window* w, int x, int y, int cx, int cy, UINT flags);
    // The new geometry, z-order and visibility, with no repaint and no position messages.
    PlacedWindow place_window(Window* w, int x, int y, int cx, int cy, UINT flags);
    // The invalidation SetWindowPos makes for one placement.
    void repaint_placed(const PlacedWindow& p);
    // WM_WINDOWPOSCHANGED, WM_SIZE and WM_MOVE for one placement, to a window still alive.
    void notify_placed(const PlacedWindow& p);
    // `tell`: WM_SHOWWINDOW is sent (ShowWindow), or not (SetWindowPos).
    void show_window(Window* w, bool show, bool activate, bool tell = true);
    void raise_top_level(Window* w);

    // The program's main window: the unowned top-level window whose title names the desktop
    // window, or before any title the first such window made. Null when gone.
    HWND main_window() const { return live_window(main_window_) ? main_window_ : nullptr; }
    // An unowned or owned top-level window's title changed (DefWindowProc's WM_SETTEXT).
    void top_level_title_changed(HWND h);

    HandleTable<RemoteWindow>& remote_windows() { return remote_windows_; }
    HandleTable<DeferBatch>& defer_batches() { return defer_batches_; }

    // Called when an unowned top-level window's title changes (it names the desktop window).
    std::function<void(HWND)> on_top_level_title;
    // How FindWindow and SetForegroundWindow reach the main window of another process of the
    // program; set by whoever serves the single-instance rule. Unset, no other process is found.
    std::function<bool(std::u16string_view cls, std::u16string_view title)> find_other_instance;
    std::function<bool(std::u16string_view cls, std::u16string_view title)> raise_other_instance;

private:
    void destroy_tree(Window* w);
    void send_destroy(Window* w);
    void send_nc_destroy(Window* w);

    UserState& user_;
    HandleTable<Window> windows_{HandleKind::Window};
    std::vector<std::unique_ptr<WindowClass>> classes_;
    HandleTable<RemoteWindow> remote_windows_{HandleKind::RemoteWindow};
    HandleTable<DeferBatch> defer_batches_{HandleKind::DeferPos};
    std::vector<HWND> top_levels_;  // z-order, topmost first
    HWND main_window_ = nullptr;
};

}  // namespace zv
