// Input: where the stylus and the keys go. Stylus routing and capture, focus and activation,
// modifiers, hot keys, application commands, the wake from a blank display, and the core
// library's references (its one export takes hot keys away).
#pragma once
#include <windows.h>

#include <span>
#include <vector>

#include "base/backend.h"
#include "base/handle_table.h"
#include "core/window.h"

namespace zv {

class UserState;

// Reserved bits of a key message's lParam carrying the modifiers held with that key.
inline constexpr LPARAM kKeyCtrlBit = 0x02000000;
inline constexpr LPARAM kKeyShiftBit = 0x04000000;
inline constexpr LPARAM kKeyAltBit = 0x08000000;

struct HotKey {
    HWND hwnd = nullptr;
    int id = 0;
    UINT modifiers = 0;
    UINT key = 0;
};

class InputRouter {
public:
    InputRouter(UserState& user, Backend& backend) : user_(user), backend_(backend) {}
    InputRouter(const InputRouter&) = delete;
    InputRouter& operator=(const InputRouter&) = delete;

    // One event from the backend, turned into queued messages (or a wake, a turn, a quit).
    void handle_input(const InputEvent& ev);
    // A key message taken from the queue: the modifiers it carries answer key_state while it is
    // handled.
    void note_key_message(const MSG& msg);

    // TranslateMessage: a key down with a character posts WM_CHAR. True when it did.
    bool translate_key(const MSG& msg);
    // TranslateAccelerator: a key down matching a virtual-key entry with the modifiers held sends
    // its WM_COMMAND to `h`. True when one matched.
    bool translate_accelerator(HWND h, std::span<const ACCEL> table, const MSG& msg);

    HWND set_capture(HWND h);
    void release_capture();
    HWND capture() const { return capture_; }
    HWND set_focus(HWND h);
    HWND focus() const { return focus_; }
    // `click`: a stylus press activates it (WA_CLICKACTIVE).
    HWND set_active(HWND h, bool click = false);
    HWND active() const { return active_; }
    // SetForegroundWindow: the window's top level comes to the front and, enabled, is activated;
    // the desktop window is raised too.
    void bring_to_front(Window* w);
    // Hiding the active window: the activation goes to its owner, if it can take it.
    void deactivate(Window* w);
    SHORT key_state(int vk) const;
    // A stroke under way goes nowhere from here on (its coordinates belong to an old screen).
    void abandon_stroke();

    // Application commands (WM_APPCOMMAND): the media keys and the desktop's media controls reach
    // the program's main window whatever is in front of it, modal panels included.
    // post_app_command is thread-safe; deliver_app_command runs on the user-interface thread.
    void post_app_command(int command, WORD device);
    void deliver_app_command(int command, WORD device);

    bool register_hotkey(HWND h, int id, UINT mods, UINT key);
    bool unregister_hotkey(HWND h, int id);
    void unregister_hotkeys_for(UINT mods, UINT key);

    // Windows being destroyed lose capture, focus, the stroke and their hot keys. True when the
    // active window was among them (the caller then picks the next one).
    bool forget_windows(std::span<const HWND> doomed);
    // After forget_windows said the active window went: the owner, else the topmost window.
    void activate_next(HWND owner);

    HandleTable<int>& libraries() { return libraries_; }  // loaded core-library references
    // Whether the core library exports UnregisterFunc1 (some devices' libraries lack it).
    bool unregister_func1_exported = true;

private:
    void route_stylus(const InputEvent& ev);
    void route_key(const InputEvent& ev);
    HWND window_at(POINT screen) const;
    HWND child_at(Window* parent, POINT client) const;

    UserState& user_;
    Backend& backend_;
    HandleTable<int> libraries_{HandleKind::Library};
    std::vector<HotKey> hotkeys_;
    HWND capture_ = nullptr;
    HWND focus_ = nullptr;
    HWND active_ = nullptr;
    HWND stylus_window_ = nullptr;  // where the current press went
    bool stylus_orphaned_ = false;  // that window was destroyed while the stylus was down
    bool stylus_down_ = false;
    bool ctrl_ = false, shift_ = false, alt_ = false, win_ = false;
    // Modifiers that came with the last key (a backend may report them only per key).
    bool key_ctrl_for_next_ = false, key_shift_for_next_ = false, key_alt_for_next_ = false;
    bool swallow_stylus_ = false;  // the press that woke a blank display
    int swallow_key_ = 0;          // the key that woke it, whose release goes nowhere either
    bool rotate_held_ = false;     // the rotate key is down: its repeats turn nothing
};

}  // namespace zv
