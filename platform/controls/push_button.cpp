// "BUTTON": the push button, as Windows CE draws it: a light grey face, a black frame (two
// pixels for the default button) and its title centred in its font. While the stylus holds it
// and is over it the face goes dark. A release over it tells the parent BN_CLICKED; a release
// elsewhere, or any press on a disabled button, tells nothing. Every BS_ type draws this way.
#include <windows.h>

#include <memory>
#include <string>

#include "controls/builtin_controls.h"
#include "controls/control_paint.h"
#include "core/user_state.h"

namespace zv {

namespace {

constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kPressedText = RGB(255, 255, 255);
constexpr COLORREF kDisabledText = RGB(128, 128, 128);

class ButtonState final : public WindowExtension {
public:
    bool held = false;  // the stylus went down on it and is still down
    bool over = false;  // and is over it now
};

Window* live(HWND h)
{
    UserState* u = UserState::current();
    return u ? u->windows().live_window(h) : nullptr;
}

ButtonState* state_of(HWND h)
{
    Window* w = live(h);
    return w ? dynamic_cast<ButtonState*>(w->extension.get()) : nullptr;
}

bool inside(HWND h, LPARAM lp)
{
    RECT client;
    GetClientRect(h, &client);
    const POINT p{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))};
    return PtInRect(&client, p) != FALSE;
}

void clicked(HWND h)
{
    Window* w = live(h);
    if (!w || !w->enabled() || !w->parent) return;
    SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(w->id, BN_CLICKED), reinterpret_cast<LPARAM>(h));
}

void paint(HWND h, HDC dc)
{
    // Asked first: a subclass answering WM_GETFONT may do anything to the button.
    const auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    Window* w = live(h);
    const ButtonState* s = state_of(h);
    if (!w || !s || !dc) return;
    const bool pressed = s->held && s->over;
    const int frame = (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? 2 : 1;
    RECT r;
    GetClientRect(h, &r);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT face{r.left + frame, r.top + frame, r.right - frame, r.bottom - frame};
    FillRect(dc, &face, static_cast<HBRUSH>(GetStockObject(pressed ? DKGRAY_BRUSH : LTGRAY_BRUSH)));

    BorrowedTextState text_state(dc, !w->enabled() ? kDisabledText : pressed ? kPressedText : kText, font);
    DrawTextW(dc, w->text.c_str(), static_cast<int>(w->text.size()), &face, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void set_look(HWND h, ButtonState& s, bool held, bool over)
{
    if (s.held == held && s.over == over) return;
    s.held = held;
    s.over = over;
    InvalidateRect(h, nullptr, FALSE);
}

LRESULT on_release(HWND h, ButtonState& s, LPARAM lp)
{
    if (!s.held) return 0;
    const bool over = inside(h, lp);
    set_look(h, s, false, false);
    if (GetCapture() == h) ReleaseCapture();
    // Last: the parent's handler may end the dialog and destroy the button.
    if (over) clicked(h);
    return 0;
}

LRESULT CALLBACK push_button_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CREATE) {
        Window* w = live(h);
        if (!w) return -1;
        w->extension = std::make_unique<ButtonState>();
        return 0;
    }
    ButtonState* s = state_of(h);
    if (!s) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
        case WM_PAINT: return paint_message(h, wp, [h](HDC dc) { paint(h, dc); });
        case WM_ERASEBKGND: return 1;  // painting covers the whole client area
        case WM_LBUTTONDOWN:
            if (Window* w = live(h); !w || !w->enabled()) return 0;
            set_look(h, *s, true, true);
            SetCapture(h);
            return 0;
        case WM_MOUSEMOVE:
            if (s->held) set_look(h, *s, true, inside(h, lp));
            return 0;
        case WM_LBUTTONUP: return on_release(h, *s, lp);
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != h) set_look(h, *s, false, false);
            return 0;
        case BM_CLICK: clicked(h); return 0;
        case WM_SETFONT:
            DefWindowProcW(h, msg, wp, lp);
            if (LOWORD(lp)) InvalidateRect(h, nullptr, FALSE);
            return 0;
        case WM_ENABLE:
            if (!wp) set_look(h, *s, false, false);
            InvalidateRect(h, nullptr, FALSE);
            return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

void register_push_button_class(UserState& u)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = push_button_proc;
    wc.lpszClassName = u"BUTTON";
    u.windows().register_class(wc);
}

}  // namespace zv
