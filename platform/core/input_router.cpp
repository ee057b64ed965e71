// Stylus and key routing, capture, focus, activation and hot keys.
#include "core/input_router.h"

#include <algorithm>

#include "core/user_state.h"

namespace zv {

HWND InputRouter::child_at(Window* parent, POINT client) const
{
    for (HWND c : parent->children) {
        Window* w = user_.windows().live_window(c);
        if (!w || !w->visible()) continue;
        if (client.x < w->rect.left || client.x >= w->rect.right || client.y < w->rect.top ||
            client.y >= w->rect.bottom)
            continue;
        // Plain pictures and labels let the stylus through to their parent, as Win32 statics
        // without SS_NOTIFY do.
        if (const DWORD unless = w->cls ? w->cls->traits.stylus_through_unless : 0; unless && !(w->style & unless))
            continue;
        POINT inner{client.x - w->rect.left, client.y - w->rect.top};
        if (!w->enabled()) return parent->handle;
        HWND deeper = child_at(w, inner);
        return deeper ? deeper : c;
    }
    return nullptr;
}

HWND InputRouter::window_at(POINT screen) const
{
    const WindowTree& tree = user_.windows();
    for (HWND t : tree.top_levels()) {
        Window* w = tree.live_window(t);
        if (!w || !w->visible()) continue;
        if (screen.x < w->rect.left || screen.x >= w->rect.right || screen.y < w->rect.top ||
            screen.y >= w->rect.bottom)
            continue;
        if (!w->enabled()) return nullptr;  // a window behind a modal dialog takes no input
        POINT o = tree.client_origin_on_screen(w);
        HWND c = child_at(w, POINT{screen.x - o.x, screen.y - o.y});
        return c ? c : t;
    }
    return nullptr;
}

void InputRouter::handle_input(const InputEvent& ev)
{
    if (ev.type == InputEvent::Type::AppCommand) {
        // A media key steers the player even with the display off, and does not wake it. Queued
        // behind the input before it, and its turn ends once it has run, so what it changed in
        // the sound reaches the mixer.
        post_app_command(ev.command, FAPPCOMMAND_KEY);
        return;
    }
    Screen& screen = user_.screen();
    if (ev.type == InputEvent::Type::Orientation) {
        // The display was turned: the screen takes its shape, as the rotate button gives it,
        // whatever runs. A report of the shape it has already changes nothing, and a blank
        // display turns without waking (nobody touched it).
        if (ev.landscape != screen.landscape()) screen.rotate();
        return;
    }
    if (!screen.display_on() && ev.type != InputEvent::Type::Quit) {
        // A blank display only wakes up; the touch or key that woke it does nothing else.
        if (ev.type == InputEvent::Type::StylusDown || ev.type == InputEvent::Type::KeyDown)
            screen.set_display_on(true);
        if (ev.type == InputEvent::Type::StylusDown) swallow_stylus_ = true;
        if (ev.type == InputEvent::Type::KeyDown) swallow_key_ = ev.vk;
        return;
    }
    if (ev.type == InputEvent::Type::KeyUp && swallow_key_ && ev.vk == swallow_key_) {
        swallow_key_ = 0;
        return;
    }
    switch (ev.type) {
        case InputEvent::Type::StylusDown:
        case InputEvent::Type::StylusMove:
        case InputEvent::Type::StylusUp: route_stylus(ev); break;
        case InputEvent::Type::KeyDown:
        case InputEvent::Type::KeyUp:
            if (ev.vk == VK_F7) {
                // The rotate button belongs to the system, whatever runs (a modal dialog too), and
                // no window hears it. Held down, it turns the screen once.
                const bool down = ev.type == InputEvent::Type::KeyDown;
                if (down && !rotate_held_) screen.rotate();
                rotate_held_ = down;
                break;
            }
            route_key(ev);
            break;
        case InputEvent::Type::AppCommand:
        case InputEvent::Type::Orientation: break;
        case InputEvent::Type::Quit:
            // The desktop window's close button ends the program at once, whatever dialogs are
            // open, as the options panel's exit does: a close request to a modal panel would
            // only cancel it.
            user_.queue().post_quit(0);
            break;
    }
}

void InputRouter::route_stylus(const InputEvent& ev)
{
    POINT screen{ev.x, ev.y};
    UINT msg = 0;
    HWND target = nullptr;
    if (swallow_stylus_) {
        if (ev.type == InputEvent::Type::StylusUp) swallow_stylus_ = false;
        return;
    }
    if (ev.type != InputEvent::Type::StylusDown && stylus_orphaned_) {
        // The press went to a window that is gone (a button that closed its dialog): the rest
        // of that stroke belongs to nobody, or it would reach whatever came to the front, as a
        // release without a press.
        if (ev.type == InputEvent::Type::StylusUp) stylus_orphaned_ = stylus_down_ = false;
        return;
    }
    if (ev.type == InputEvent::Type::StylusDown) {
        stylus_orphaned_ = false;
        stylus_down_ = true;
        msg = WM_LBUTTONDOWN;
        target = capture_ ? capture_ : window_at(screen);
        if (target && !capture_) {
            Window* top = user_.windows().top_level_of(user_.windows().live_window(target));
            if (top && top->handle != active_ && top->enabled()) set_active(top->handle, true);
            // Activation may have moved windows or taken the capture (the main window takes it
            // when it becomes active), and the press belongs to whoever holds it now.
            target = capture_ ? capture_ : window_at(screen);
        }
        stylus_window_ = target;
    } else if (ev.type == InputEvent::Type::StylusMove) {
        if (!stylus_down_) return;
        msg = WM_MOUSEMOVE;
        target = capture_ ? capture_ : stylus_window_;
    } else {
        if (!stylus_down_) return;
        stylus_down_ = false;
        msg = WM_LBUTTONUP;
        target = capture_ ? capture_ : window_at(screen);
        stylus_window_ = nullptr;
    }
    Window* w = user_.windows().live_window(target);
    if (!w) return;
    POINT o = user_.windows().client_origin_on_screen(w);
    int cx = screen.x - o.x, cy = screen.y - o.y;
    WPARAM keys = (msg == WM_LBUTTONUP) ? 0 : MK_LBUTTON;
    user_.queue().post(target, msg, keys, MAKELPARAM(cx, cy));
}

void InputRouter::route_key(const InputEvent& ev)
{
    bool down = ev.type == InputEvent::Type::KeyDown;
    switch (ev.vk) {
        case VK_CONTROL: ctrl_ = down; break;
        case VK_SHIFT: shift_ = down; break;
        case VK_MENU: alt_ = down; break;
        case VK_LWIN: win_ = down; break;
        default: break;
    }
    bool ctrl = ctrl_ || ev.ctrl, shift = shift_ || ev.shift, alt = alt_ || ev.alt, win = win_ || ev.win;
    if (down) {
        UINT mods = (alt ? MOD_ALT : 0) | (ctrl ? MOD_CONTROL : 0) | (shift ? MOD_SHIFT : 0) | (win ? MOD_WIN : 0);
        for (const HotKey& k : hotkeys_) {
            if (k.key == static_cast<UINT>(ev.vk) && k.modifiers == mods) {
                user_.queue().post(k.hwnd, WM_HOTKEY, static_cast<WPARAM>(k.id), MAKELPARAM(mods, ev.vk));
                return;
            }
        }
    }
    HWND target = focus_ ? focus_ : active_;
    if (!user_.windows().live_window(target)) return;
    // The modifiers travel with the key message, so key_state answers for the key being
    // handled even when later keys have arrived meanwhile.
    LPARAM lp = 1 | (ctrl ? kKeyCtrlBit : 0) | (shift ? kKeyShiftBit : 0) | (alt ? kKeyAltBit : 0);
    user_.queue().post(target, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(ev.vk), lp);
}

void InputRouter::post_app_command(int command, WORD device)
{
    // The main window is looked up on the user-interface thread, where windows live.
    user_.queue().post_closure([this, command, device] { deliver_app_command(command, device); });
}

void InputRouter::deliver_app_command(int command, WORD device)
{
    const HWND target = user_.windows().main_window();
    if (!target) return;
    // Sent, as DefWindowProc sends it for a key: it reaches the main window whatever modal loop
    // runs, and a command decided on the player's state sees that state after the one before.
    const auto code = static_cast<WORD>((static_cast<WORD>(command) & ~FAPPCOMMAND_MASK) | (device & FAPPCOMMAND_MASK));
    user_.queue().send(target, WM_APPCOMMAND, reinterpret_cast<WPARAM>(target), MAKELPARAM(0, code));
}

bool InputRouter::translate_key(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN) return false;
    const WPARAM vk = msg.wParam;
    WCHAR ch = 0;
    const bool ctrl = key_state(VK_CONTROL) != 0;
    if (vk >= 'A' && vk <= 'Z')
        ch = ctrl ? static_cast<WCHAR>(vk - 'A' + 1) : static_cast<WCHAR>(key_state(VK_SHIFT) ? vk : vk + 32);
    else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE)
        ch = static_cast<WCHAR>(vk);
    else if (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB)
        ch = static_cast<WCHAR>(vk);
    if (!ch) return false;
    user_.queue().post(msg.hwnd, WM_CHAR, ch, msg.lParam);
    return true;
}

bool InputRouter::translate_accelerator(HWND h, std::span<const ACCEL> table, const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    const bool ctrl = key_state(VK_CONTROL) != 0, shift = key_state(VK_SHIFT) != 0, alt = key_state(VK_MENU) != 0;
    for (const ACCEL& a : table) {
        if (!(a.fVirt & FVIRTKEY)) continue;
        if (a.key != msg.wParam) continue;
        if (((a.fVirt & FCONTROL) != 0) != ctrl || ((a.fVirt & FSHIFT) != 0) != shift || ((a.fVirt & FALT) != 0) != alt)
            continue;
        user_.queue().send(h, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return true;
    }
    return false;
}

SHORT InputRouter::key_state(int vk) const
{
    bool on = false;
    switch (vk) {
        case VK_CONTROL: on = ctrl_ || key_ctrl_for_next_; break;
        case VK_SHIFT: on = shift_ || key_shift_for_next_; break;
        case VK_MENU: on = alt_ || key_alt_for_next_; break;
        case VK_LWIN: on = win_; break;
        case VK_LBUTTON: on = stylus_down_; break;
        default: break;
    }
    return on ? static_cast<SHORT>(0x8000) : 0;
}

HWND InputRouter::set_capture(HWND h)
{
    HWND old = capture_;
    if (!user_.windows().live_window(h)) return old;
    capture_ = h;
    if (old && old != h) user_.queue().send(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
    return old;
}

void InputRouter::release_capture()
{
    HWND old = capture_;
    capture_ = nullptr;
    if (old) user_.queue().send(old, WM_CAPTURECHANGED, 0, 0);
}

HWND InputRouter::set_focus(HWND h)
{
    HWND old = focus_;
    const WindowTree& tree = user_.windows();
    if (h && !tree.live_window(h)) return nullptr;
    if (old == h) return old;
    focus_ = h;
    if (old && tree.live_window(old)) user_.queue().send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
    if (h) user_.queue().send(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND InputRouter::set_active(HWND h, bool click)
{
    WindowTree& tree = user_.windows();
    MessageQueue& queue = user_.queue();
    HWND old = active_;
    Window* w = tree.live_window(h);
    if (!w) return old;
    w = tree.top_level_of(w);
    h = w->handle;
    if (old == h) return old;
    active_ = h;
    tree.raise_top_level(w);
    if (old && tree.live_window(old))
        queue.send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(h));
    // The stylus capture belongs to the window in front: whatever the old one did on
    // deactivation, a capture outside the new active window ends here.
    if (capture_) {
        Window* cw = tree.live_window(capture_);
        if (!cw || tree.top_level_of(cw) != w) release_capture();
    }
    if (active_ == h && tree.live_window(h)) {
        queue.send(h, WM_ACTIVATE, MAKEWPARAM(click ? WA_CLICKACTIVE : WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
        if (active_ == h) {
            Window* f = tree.live_window(focus_);
            if (!f || tree.top_level_of(f) != w) set_focus(h);
        }
    }
    return old;
}

bool InputRouter::register_hotkey(HWND h, int id, UINT mods, UINT key)
{
    if (h && !user_.windows().live_window(h)) return false;
    for (const HotKey& k : hotkeys_)
        if (k.modifiers == mods && k.key == key) return false;  // someone holds it already
    std::erase_if(hotkeys_, [&](const HotKey& k) { return k.hwnd == h && k.id == id; });
    hotkeys_.push_back(HotKey{h, id, mods, key});
    return true;
}

bool InputRouter::unregister_hotkey(HWND h, int id)
{
    return std::erase_if(hotkeys_, [&](const HotKey& k) { return k.hwnd == h && k.id == id; }) > 0;
}

void InputRouter::unregister_hotkeys_for(UINT mods, UINT key)
{
    std::erase_if(hotkeys_, [&](const HotKey& k) { return k.modifiers == mods && k.key == key; });
}

void InputRouter::note_key_message(const MSG& msg)
{
    key_ctrl_for_next_ = (msg.lParam & kKeyCtrlBit) != 0;
    key_shift_for_next_ = (msg.lParam & kKeyShiftBit) != 0;
    key_alt_for_next_ = (msg.lParam & kKeyAltBit) != 0;
}

void InputRouter::abandon_stroke()
{
    if (!stylus_down_) return;
    stylus_orphaned_ = true;
    stylus_window_ = nullptr;
}

void InputRouter::bring_to_front(Window* w)
{
    Window* top = user_.windows().top_level_of(w);
    if (top->enabled()) set_active(top->handle);
    user_.windows().raise_top_level(top);
    backend_.raise();
}

void InputRouter::deactivate(Window* w)
{
    if (active_ != w->handle) return;
    active_ = nullptr;
    Window* owner = w->parent ? user_.windows().live_window(w->parent) : nullptr;
    if (owner && owner->visible() && owner->enabled()) set_active(owner->handle);
}

bool InputRouter::forget_windows(std::span<const HWND> doomed)
{
    bool was_active = false;
    for (HWND d : doomed) {
        std::erase_if(hotkeys_, [&](const HotKey& k) { return k.hwnd == d; });
        if (capture_ == d) capture_ = nullptr;
        if (focus_ == d) focus_ = nullptr;
        if (stylus_window_ == d) {
            stylus_window_ = nullptr;
            stylus_orphaned_ = stylus_down_;
        }
        was_active |= (active_ == d);
    }
    if (was_active) active_ = nullptr;
    return was_active;
}

void InputRouter::activate_next(HWND owner_handle)
{
    const WindowTree& tree = user_.windows();
    Window* owner = tree.live_window(owner_handle);
    if (owner && owner->visible() && owner->enabled()) {
        set_active(owner->handle);
        return;
    }
    for (HWND t : tree.top_levels()) {
        Window* tw = tree.live_window(t);
        if (tw && tw->visible() && tw->enabled()) {
            set_active(t);
            return;
        }
    }
}

}  // namespace zv
