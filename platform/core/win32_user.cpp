// The Win32 user functions: thin, validated entry points into the user-interface state.
#include <windows.h>

#include <algorithm>
#include <span>

#include "core/user_state.h"
#include "resources/resource_access.h"

using zv::UserState;
using zv::Window;

namespace {
UserState* user() { return UserState::current(); }
// The parts, for a caller that has checked user() (or found a live window, which implies it).
zv::WindowTree& tree() { return user()->windows(); }
zv::MessageQueue& queue() { return user()->queue(); }
zv::InputRouter& input() { return user()->input(); }
zv::Screen& screen() { return user()->screen(); }
Window* live(HWND h) { return user() ? tree().live_window(h) : nullptr; }

std::u16string_view view(LPCWSTR s)
{
    return (s && !IS_INTRESOURCE(s)) ? std::u16string_view(s) : std::u16string_view();
}
}  // namespace

ATOM RegisterClassW(const WNDCLASSW* wc) { return (user() && wc) ? tree().register_class(*wc) : 0; }

HWND CreateWindowExW(DWORD ex, LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y, int w, int h, HWND parent,
                     HMENU menu, HINSTANCE inst, LPVOID param)
{
    if (!user()) return nullptr;
    return tree().create_window(ex, view(cls), name, style, x, y, w, h, parent,
                                static_cast<UINT>(reinterpret_cast<UINT_PTR>(menu)), inst, param);
}

BOOL DestroyWindow(HWND h) { return (user() && tree().destroy_window(h)) ? TRUE : FALSE; }
BOOL IsWindow(HWND h) { return live(h) ? TRUE : FALSE; }
BOOL IsWindowVisible(HWND h)
{
    Window* w = live(h);
    return (w && tree().really_visible(w)) ? TRUE : FALSE;
}
BOOL IsWindowEnabled(HWND h)
{
    Window* w = live(h);
    return (w && w->enabled()) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND h, BOOL enable)
{
    Window* w = live(h);
    if (!w) return FALSE;
    BOOL was_disabled = w->enabled() ? FALSE : TRUE;
    if (enable)
        w->style &= ~static_cast<DWORD>(WS_DISABLED);
    else
        w->style |= WS_DISABLED;
    if (was_disabled != !enable) {
        // As Win32: a window being disabled loses the focus before it hears WM_ENABLE.
        if (!enable && input().focus() == h) input().set_focus(nullptr);
        queue().send(h, WM_ENABLE, enable ? TRUE : FALSE, 0);
    }
    return was_disabled;
}

BOOL ShowWindow(HWND h, int cmd)
{
    Window* w = live(h);
    if (!w) return FALSE;
    BOOL was = w->visible() ? TRUE : FALSE;
    bool show = cmd != SW_HIDE;
    tree().show_window(w, show, show && cmd != SW_SHOWNA && !w->is_child());
    return was;
}

BOOL UpdateWindow(HWND h)
{
    Window* w = live(h);
    if (!w) return FALSE;
    screen().update_window(w);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    Window* w = live(dialog);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        Window* cw = live(c);
        if (cw && static_cast<int>(static_cast<WORD>(cw->id)) == static_cast<int>(static_cast<WORD>(id))) return c;
    }
    return nullptr;
}

HWND FindWindowW(LPCWSTR cls, LPCWSTR name)
{
    if (!user()) return nullptr;
    std::u16string_view c = view(cls), t = view(name);
    if (HWND h = tree().find_top_level(c, t)) return h;
    if (!tree().find_other_instance || !tree().find_other_instance(c, t)) return nullptr;
    auto r = std::make_unique<zv::RemoteWindow>();
    r->cls = std::u16string(c);
    r->title = std::u16string(t);
    return zv::to_handle<HWND>(tree().remote_windows().insert(std::move(r)));
}

BOOL SetWindowTextW(HWND h, LPCWSTR text)
{
    Window* w = live(h);
    if (!w) return FALSE;
    return queue().send(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

LONG_PTR GetWindowLongPtrW(HWND h, int index)
{
    Window* w = live(h);
    if (!w) return 0;
    switch (index) {
        case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
        case GWL_ID: return static_cast<LONG_PTR>(w->id);
        case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
        case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->ex_style);
        case GWL_USERDATA: return w->user_data;
        default:
            if (index >= 0 && index % 4 == 0 && static_cast<std::size_t>(index / 4) < w->extra.size())
                return w->extra[static_cast<std::size_t>(index / 4)];
            return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND h, int index, LONG_PTR value)
{
    Window* w = live(h);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrW(h, index);
    switch (index) {
        case GWL_WNDPROC:
            if (!value) return 0;
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWL_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); break;
        case GWL_ID: w->id = static_cast<UINT>(value); break;
        case GWL_STYLE: w->style = static_cast<DWORD>(value); break;
        case GWL_EXSTYLE: w->ex_style = static_cast<DWORD>(value); break;
        case GWL_USERDATA: w->user_data = value; break;
        default:
            if (index >= 0 && index % 4 == 0 && static_cast<std::size_t>(index / 4) < w->extra.size())
                w->extra[static_cast<std::size_t>(index / 4)] = value;
            else
                return 0;
    }
    return old;
}

// The 32-bit forms cannot carry a pointer on this platform; GWL_WNDPROC needs the Ptr form.

BOOL GetClientRect(HWND h, LPRECT r)
{
    Window* w = live(h);
    if (!w || !r) return FALSE;
    *r = tree().client_rect(w);
    return TRUE;
}

BOOL GetWindowRect(HWND h, LPRECT r)
{
    Window* w = live(h);
    if (!w || !r) return FALSE;
    if (w->is_child()) {
        POINT o = tree().client_origin_on_screen(tree().live_window(w->parent));
        *r = RECT{w->rect.left + o.x, w->rect.top + o.y, w->rect.right + o.x, w->rect.bottom + o.y};
    } else {
        *r = w->rect;
    }
    return TRUE;
}

BOOL MoveWindow(HWND h, int x, int y, int cx, int cy, BOOL repaint)
{
    Window* w = live(h);
    if (!w) return FALSE;
    tree().set_window_pos(w, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
    return TRUE;
}

BOOL SetWindowPos(HWND h, HWND, int x, int y, int cx, int cy, UINT flags)
{
    Window* w = live(h);
    if (!w) return FALSE;
    tree().set_window_pos(w, x, y, cx, cy, flags);
    return TRUE;
}

BOOL ClientToScreen(HWND h, LPPOINT p)
{
    Window* w = live(h);
    if (!w || !p) return FALSE;
    POINT o = tree().client_origin_on_screen(w);
    p->x += o.x;
    p->y += o.y;
    return TRUE;
}

BOOL SetForegroundWindow(HWND h)
{
    if (!user()) return FALSE;
    // Callers may set the lowest bit (a request to bring owned windows too): window handles
    // already carry it.
    auto v = reinterpret_cast<std::uintptr_t>(h) | 1u;
    if (zv::RemoteWindow* r = tree().remote_windows().get(v))
        return (tree().raise_other_instance && tree().raise_other_instance(r->cls, r->title)) ? TRUE : FALSE;
    Window* w = live(zv::to_handle<HWND>(v));
    if (!w) return FALSE;
    input().bring_to_front(w);
    return TRUE;
}

HWND GetForegroundWindow() { return user() ? input().active() : nullptr; }
HWND SetActiveWindow(HWND h) { return user() ? input().set_active(h) : nullptr; }
HWND GetActiveWindow() { return user() ? input().active() : nullptr; }
HWND SetFocus(HWND h) { return user() ? input().set_focus(h) : nullptr; }
HWND GetFocus() { return user() ? input().focus() : nullptr; }
HWND SetCapture(HWND h) { return user() ? input().set_capture(h) : nullptr; }
BOOL ReleaseCapture()
{
    if (!user()) return FALSE;
    input().release_capture();
    return TRUE;
}
HWND GetCapture() { return user() ? input().capture() : nullptr; }

int GetSystemMetrics(int index)
{
    if (!user()) return 0;
    switch (index) {
        case SM_CXSCREEN: return screen().width();
        case SM_CYSCREEN: return screen().height();
        default: return 0;
    }
}

LRESULT SendMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return user() ? queue().send(h, msg, wp, lp) : 0; }

void PostQuitMessage(int code)
{
    if (user()) queue().post_quit(code);
}

BOOL GetMessageW(LPMSG msg, HWND h, UINT mn, UINT mx)
{
    if (!user() || !msg) return -1;
    queue().get_message(msg, h, mn, mx, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND h, UINT mn, UINT mx, UINT remove)
{
    if (!user() || !msg) return FALSE;
    return queue().get_message(msg, h, mn, mx, false, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || !user()) return FALSE;
    return input().translate_key(*msg) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) { return user() ? queue().dispatch(msg) : 0; }

LRESULT CallWindowProcW(WNDPROC proc, HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    return proc ? proc(h, msg, wp, lp) : 0;
}

int TranslateAcceleratorW(HWND h, HACCEL accel, LPMSG msg)
{
    if (!user() || !msg || !live(h)) return 0;
    return input().translate_accelerator(h, zv::accelerator_entries(accel), *msg) ? 1 : 0;
}

UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    return user() ? queue().set_timer(h, id, elapse, proc) : 0;
}
BOOL KillTimer(HWND h, UINT_PTR id) { return (user() && queue().kill_timer(h, id)) ? TRUE : FALSE; }
DWORD GetTickCount() { return user() ? static_cast<DWORD>(queue().now()) : 0; }
void SystemIdleTimerReset()
{
    if (user()) screen().idle_reset();
}

BOOL RegisterHotKey(HWND h, int id, UINT mods, UINT key)
{
    return (user() && input().register_hotkey(h, id, mods, key)) ? TRUE : FALSE;
}
BOOL UnregisterHotKey(HWND h, int id) { return (user() && input().unregister_hotkey(h, id)) ? TRUE : FALSE; }

HDC BeginPaint(HWND h, PAINTSTRUCT* ps)
{
    Window* w = live(h);
    return w ? screen().begin_paint(w, ps) : nullptr;
}
BOOL EndPaint(HWND h, const PAINTSTRUCT* ps)
{
    if (!user()) return FALSE;
    screen().end_paint(live(h), ps);
    return TRUE;
}
HDC GetDC(HWND h)
{
    if (!h) return user() ? screen().get_screen_dc() : nullptr;
    Window* w = live(h);
    return w ? screen().get_dc(w) : nullptr;
}
int ReleaseDC(HWND, HDC dc) { return DeleteDC(dc) ? 1 : 0; }

BOOL InvalidateRect(HWND h, const RECT* r, BOOL erase)
{
    Window* w = live(h);
    if (!w) return FALSE;
    screen().invalidate(w, r, erase != FALSE);
    return TRUE;
}

int ScrollWindowEx(HWND h, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN, LPRECT update, UINT flags)
{
    Window* w = live(h);
    return w ? screen().scroll_window(w, dx, dy, scroll, clip, update, flags) : 0;
}

BOOL OffsetRect(LPRECT r, int dx, int dy)
{
    if (!r) return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}
BOOL PtInRect(const RECT* r, POINT p)
{
    return (r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom) ? TRUE : FALSE;
}
BOOL EqualRect(const RECT* a, const RECT* b)
{
    return (a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom) ? TRUE
                                                                                                                : FALSE;
}
