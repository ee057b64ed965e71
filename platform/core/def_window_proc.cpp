// Default window processing.
#include <windows.h>

#include <algorithm>

#include "core/user_state.h"

LRESULT DefWindowProcW(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    zv::UserState* u = zv::UserState::current();
    zv::Window* w = u ? u->windows().live_window(h) : nullptr;
    if (!w) return 0;
    switch (msg) {
        case WM_SETTEXT: {
            auto text = reinterpret_cast<LPCWSTR>(lp);
            w->text = text ? std::u16string(text) : std::u16string();
            if (!w->is_child()) u->windows().top_level_title_changed(h);
            if (w->is_child()) u->screen().invalidate(w, nullptr, true);
            return TRUE;
        }
        case WM_GETTEXT: {
            auto buf = reinterpret_cast<LPWSTR>(lp);
            if (!buf || wp == 0) return 0;
            std::size_t n = std::min<std::size_t>(w->text.size(), static_cast<std::size_t>(wp) - 1);
            std::copy_n(w->text.data(), n, buf);
            buf[n] = 0;
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
        case WM_CLOSE: DestroyWindow(h); return 0;
        case WM_ERASEBKGND: {
            if (!w->cls || !w->cls->background) return 0;
            RECT r;
            GetClientRect(h, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, w->cls->background);
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(h, &ps);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_SETFONT: w->font = reinterpret_cast<HFONT>(wp); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX: return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        default: return 0;
    }
}
