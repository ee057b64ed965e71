// The user-interface half of the platform: windows, classes, the message queue, timers,
// input routing, painting and the composed screen. Runs on the one user-interface thread;
// only post() and the queue's wake-up are thread-safe.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/backend.h"
#include "base/handle_table.h"
#include "core/window.h"

namespace zv {

class Surface;

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT period = 0;
    std::uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

// Reserved bits of a key message's lParam carrying the modifiers held with that key.
inline constexpr LPARAM kKeyCtrlBit = 0x02000000;
inline constexpr LPARAM kKeyShiftBit = 0x04000000;
inline constexpr LPARAM kKeyAltBit = 0x08000000;

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

struct HotKey {
    HWND hwnd = nullptr;
    int id = 0;
    UINT modifiers = 0;
    UINT key = 0;
};

class UserState {
public:
    explicit UserState(Backend& backend, int screen_width = 240, int screen_height = 320);
    ~UserState();
    UserState(const UserState&) = delete;
    UserState& operator=(const UserState&) = delete;

    static UserState* current();

    Backend& backend() { return backend_; }
    std::uint64_t now() const { return backend_.clock().now_ms(); }

    // Windows
    Window* window(HWND h) const;
    Window* live_window(HWND h) const;  // not yet destroyed
    ATOM register_class(const WNDCLASSW& wc);
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
    // SHFullScreen and SHInitDialog's full-screen flags: a dialog that asked for the whole
    // screen is given the new one when the screen turns. False for a window that is gone.
    bool request_full_screen(HWND h, bool on);
    // `tell`: WM_SHOWWINDOW is sent (ShowWindow), or not (SetWindowPos).
    void show_window(Window* w, bool show, bool activate, bool tell = true);
    void raise_top_level(Window* w);

    // Messages
    LRESULT send(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    bool post(HWND h, UINT msg, WPARAM wp, LPARAM lp);  // thread-safe
    void post_quit(int code);
    void post_closure(std::function<void()> fn);  // thread-safe: runs fn on the UI thread
    bool get_message(MSG* msg, HWND filter, UINT min, UINT max, bool wait, bool remove);
    LRESULT dispatch(const MSG* msg);
    // Runs until `done` says so (a modal loop): dispatches everything, as a dialog loop does.
    // `pretranslate`, when given, sees each message first and returns true when it handled it.
    void run_modal(const std::function<bool()>& done, const std::function<bool(MSG&)>& pretranslate = {});
    // The queued message whose window procedure runs now, or null while a sent one's does (what
    // a message log needs to tell the two apart).
    const MSG* delivering_posted() const { return delivering_posted_; }

    // Timers
    UINT_PTR set_timer(HWND h, UINT_PTR id, UINT period, TIMERPROC proc);
    bool kill_timer(HWND h, UINT_PTR id);

    // Input
    HWND set_capture(HWND h);
    void release_capture();
    HWND capture() const { return capture_; }
    HWND set_focus(HWND h);
    HWND focus() const { return focus_; }
    // `click`: a stylus press activates it (WA_CLICKACTIVE).
    HWND set_active(HWND h, bool click = false);
    HWND active() const { return active_; }
    SHORT key_state(int vk) const;
    // Application commands (WM_APPCOMMAND): the media keys and the desktop's media controls reach
    // the program's main window whatever is in front of it, modal panels included.
    // post_app_command is thread-safe; deliver_app_command runs on the user-interface thread.
    void post_app_command(int command, WORD device);
    void deliver_app_command(int command, WORD device);
    // The program's main window: the unowned top-level window whose title names the desktop
    // window, or before any title the first such window made. Null when gone.
    HWND main_window() const { return live_window(main_window_) ? main_window_ : nullptr; }
    // An unowned or owned top-level window's title changed (DefWindowProc's WM_SETTEXT).
    void top_level_title_changed(HWND h);
    bool register_hotkey(HWND h, int id, UINT mods, UINT key);
    bool unregister_hotkey(HWND h, int id);
    void unregister_hotkeys_for(UINT mods, UINT key);

    // Painting
    void invalidate(Window* w, const RECT* r, bool erase);
    void validate(Window* w, const RECT* r);
    HDC begin_paint(Window* w, PAINTSTRUCT* ps);
    void end_paint(Window* w, const PAINTSTRUCT* ps);
    HDC get_dc(Window* w);
    HDC get_screen_dc();  // a DC on the composed screen (GetDC(NULL))
    void update_window(Window* w);
    int scroll_window(Window* w, int dx, int dy, const RECT* scroll, const RECT* clip, RECT* update, UINT flags);
    void compose_and_present();
    void set_display_on(bool on);
    bool display_on() const { return display_on_; }

    int screen_width() const { return screen_w_; }
    int screen_height() const { return screen_h_; }
    bool landscape() const { return screen_w_ > screen_h_; }
    // Turns the screen between portrait and landscape, as the handheld's rotate button does.
    void rotate_screen();

    std::uint64_t idle_resets() const { return idle_resets_; }
    void idle_reset();

    HandleTable<RemoteWindow>& remote_windows() { return remote_windows_; }
    HandleTable<DeferBatch>& defer_batches() { return defer_batches_; }
    HandleTable<int>& libraries() { return libraries_; }  // loaded core-library references

    // Called when the user-interface thread comes back to its message loop (a message is asked
    // for, or a posted closure has run): the end of one turn of work. Set by whoever wants the
    // calls of one turn to take effect together (the sound system).
    std::function<void()> on_turn_end;
    // Called when an unowned top-level window's title changes (it names the desktop window).
    std::function<void(HWND)> on_top_level_title;
    // How FindWindow and SetForegroundWindow reach the main window of another process of the
    // program; set by whoever serves the single-instance rule. Unset, no other process is found.
    std::function<bool(std::u16string_view cls, std::u16string_view title)> find_other_instance;
    std::function<bool(std::u16string_view cls, std::u16string_view title)> raise_other_instance;
    // Whether the core library exports UnregisterFunc1 (some devices' libraries lack it).
    bool unregister_func1_exported = true;

private:
    struct Posted {
        MSG msg{};
        std::function<void()> closure;
    };

    void handle_input(const InputEvent& ev);
    void route_stylus(const InputEvent& ev);
    void route_key(const InputEvent& ev);
    HWND window_at(POINT screen) const;
    HWND child_at(Window* parent, POINT client) const;
    bool pop_posted(MSG* out, HWND filter, UINT min, UINT max, bool remove, std::function<void()>* closure);
    bool next_paint(MSG* out, HWND filter);
    bool next_timer(MSG* out, HWND filter, bool remove);
    std::optional<std::uint64_t> next_timer_due() const;
    void destroy_tree(Window* w);
    void send_destroy(Window* w);
    void send_nc_destroy(Window* w);
    void mark_screen_dirty() { screen_dirty_ = true; }
    Window* find_paint_candidate(Window* w, HWND filter) const;

    Backend& backend_;
    HandleTable<Window> windows_{HandleKind::Window};
    std::vector<std::unique_ptr<WindowClass>> classes_;
    HandleTable<RemoteWindow> remote_windows_{HandleKind::RemoteWindow};
    HandleTable<DeferBatch> defer_batches_{HandleKind::DeferPos};
    HandleTable<int> libraries_{HandleKind::Library};
    std::vector<HWND> top_levels_;  // z-order, topmost first

    std::mutex posted_mutex_;
    std::deque<Posted> posted_;
    const MSG* delivering_posted_ = nullptr;
    bool quit_posted_ = false;
    int quit_code_ = 0;

    std::vector<Timer> timers_;
    std::vector<HotKey> hotkeys_;
    HWND capture_ = nullptr;
    HWND focus_ = nullptr;
    HWND active_ = nullptr;
    HWND main_window_ = nullptr;
    HWND stylus_window_ = nullptr;  // where the current press went
    bool stylus_orphaned_ = false;  // that window was destroyed while the stylus was down
    bool stylus_down_ = false;
    bool ctrl_ = false, shift_ = false, alt_ = false, win_ = false;
    // Modifiers that came with the last key (a backend may report them only per key).
    bool key_ctrl_for_next_ = false, key_shift_for_next_ = false, key_alt_for_next_ = false;
    bool swallow_stylus_ = false;  // the press that woke a blank display
    int swallow_key_ = 0;          // the key that woke it, whose release goes nowhere either
    bool rotate_held_ = false;     // the rotate key is down: its repeats turn nothing

    int screen_w_;
    int screen_h_;
    std::shared_ptr<Surface> screen_;
    bool screen_dirty_ = true;
    bool display_on_ = true;
    std::uint64_t idle_resets_ = 0;
};

}  // namespace zv
