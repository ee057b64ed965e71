// MessageBox: a real modal box on screen, with the icon, the text and an OK button; the
// stylus on OK, Enter or Escape close it. Its owner is disabled while it runs.
#include <windows.h>

#include <algorithm>
#include <string>

#include "controls/builtin_controls.h"
#include "core/user_state.h"

namespace zv {

namespace {
constexpr const char16_t* kClass = u"ZvMessageBox";
constexpr int kWidth = 220;
constexpr int kCaption = 22;
constexpr int kButtonW = 64, kButtonH = 26;
constexpr int kIconSize = 28;

class MessageBoxState final : public WindowExtension {
public:
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
    bool done = false;
    bool pressed = false;
    int content_height = 0;  // what the text, the icon and OK need; the screen may cut it
    RECT button{};
    int result = IDOK;
};

MessageBoxState* state_of(HWND h)
{
    Window* w = UserState::current() ? UserState::current()->windows().live_window(h) : nullptr;
    return w ? static_cast<MessageBoxState*>(w->extension.get()) : nullptr;
}

HFONT box_font(int height, int weight)
{
    LOGFONTW lf{};
    lf.lfHeight = -height;
    lf.lfWeight = weight;
    const char16_t face[] = u"Arial";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    return CreateFontIndirectW(&lf);
}

void draw_icon(HDC dc, int x, int y, UINT type)
{
    UINT icon = type & 0xF0;
    if (!icon) return;
    // Exclamation: a yellow triangle with a black mark; others: a blue disc with a white mark.
    bool warn = icon == MB_ICONEXCLAMATION;
    HBRUSH fill = CreateSolidBrush(warn ? RGB(250, 200, 30) : RGB(40, 110, 210));
    for (int row = 0; row < kIconSize; ++row) {
        int half = warn ? (row * kIconSize / 2) / kIconSize + 1 : 0;
        if (!warn) {
            int d = row - kIconSize / 2;
            int r2 = (kIconSize / 2) * (kIconSize / 2) - d * d;
            half = 0;
            while ((half + 1) * (half + 1) <= r2) ++half;
        }
        RECT line{x + kIconSize / 2 - half, y + row, x + kIconSize / 2 + half, y + row + 1};
        FillRect(dc, &line, fill);
    }
    DeleteObject(fill);
    HBRUSH mark = CreateSolidBrush(warn ? RGB(0, 0, 0) : RGB(255, 255, 255));
    RECT bar{x + kIconSize / 2 - 2, y + 9, x + kIconSize / 2 + 2, y + 19};
    RECT dot{x + kIconSize / 2 - 2, y + 21, x + kIconSize / 2 + 2, y + 25};
    FillRect(dc, &bar, mark);
    FillRect(dc, &dot, mark);
    DeleteObject(mark);
}

void paint(HWND h, MessageBoxState& s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT r;
    GetClientRect(h, &r);
    HBRUSH frame = CreateSolidBrush(RGB(90, 90, 90));
    HBRUSH body = CreateSolidBrush(RGB(245, 245, 245));
    HBRUSH title = CreateSolidBrush(RGB(0, 85, 217));
    FillRect(dc, &r, frame);
    RECT inner{1, 1, r.right - 1, r.bottom - 1};
    FillRect(dc, &inner, body);
    RECT cap{1, 1, r.right - 1, kCaption};
    FillRect(dc, &cap, title);
    SetBkMode(dc, TRANSPARENT);
    HFONT bold = box_font(13, 700);
    HGDIOBJ old = SelectObject(dc, bold);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT cap_text{8, 1, r.right - 8, kCaption};
    DrawTextW(dc, s.caption.c_str(), -1, &cap_text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    HFONT normal = box_font(13, 400);
    SelectObject(dc, normal);
    draw_icon(dc, 10, kCaption + 10, s.type);
    SetTextColor(dc, RGB(20, 20, 20));
    int text_left = (s.type & 0xF0) ? 10 + kIconSize + 10 : 12;
    RECT text{text_left, kCaption + 12, r.right - 10, s.button.top - 8};
    DrawTextW(dc, s.text.c_str(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
    HBRUSH btn = CreateSolidBrush(s.pressed ? RGB(0, 117, 231) : RGB(225, 225, 225));
    HBRUSH btn_frame = CreateSolidBrush(RGB(110, 110, 110));
    FillRect(dc, &s.button, btn_frame);
    RECT b{s.button.left + 1, s.button.top + 1, s.button.right - 1, s.button.bottom - 1};
    FillRect(dc, &b, btn);
    SelectObject(dc, bold);
    SetTextColor(dc, s.pressed ? RGB(255, 255, 255) : RGB(20, 20, 20));
    DrawTextW(dc, u"OK", -1, &b, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    SelectObject(dc, old);
    DeleteObject(bold);
    DeleteObject(normal);
    DeleteObject(btn);
    DeleteObject(btn_frame);
    DeleteObject(frame);
    DeleteObject(body);
    DeleteObject(title);
    EndPaint(h, &ps);
}

// Centres the box on the screen as it is now, no taller than the screen, OK at its foot.
RECT placement(MessageBoxState& s, const Screen& screen)
{
    const int height = std::min(s.content_height, screen.height());
    s.button = RECT{(kWidth - kButtonW) / 2, height - 12 - kButtonH, (kWidth + kButtonW) / 2, height - 12};
    const int x = (screen.width() - kWidth) / 2, y = std::max(0, (screen.height() - height) / 2);
    return RECT{x, y, x + kWidth, y + height};
}

LRESULT CALLBACK message_box_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    MessageBoxState* s = state_of(h);
    if (!s) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
        case WM_PAINT: paint(h, *s); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_LBUTTONDOWN: {
            POINT p{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))};
            s->pressed = PtInRect(&s->button, p) != FALSE;
            if (s->pressed) SetCapture(h);
            InvalidateRect(h, &s->button, FALSE);
            return 0;
        }
        case WM_LBUTTONUP: {
            POINT p{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))};
            bool was = s->pressed;
            s->pressed = false;
            if (GetCapture() == h) ReleaseCapture();
            InvalidateRect(h, &s->button, FALSE);
            if (was && PtInRect(&s->button, p)) s->done = true;
            return 0;
        }
        case WM_KEYDOWN:
            if (wp == VK_RETURN || wp == VK_ESCAPE || wp == VK_SPACE) s->done = true;
            return 0;
        case WM_CLOSE: s->done = true; return 0;
        case WM_SETTINGCHANGE: {
            // The screen turned: centre on the new one. A press on OK went with the old screen.
            s->pressed = false;
            if (GetCapture() == h) ReleaseCapture();
            const RECT r = placement(*s, UserState::current()->screen());
            SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(h, nullptr, TRUE);
            return 0;
        }
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

int text_height(const std::u16string& text, int width)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT f = box_font(13, 400);
    HGDIOBJ old = SelectObject(dc, f);
    RECT r{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(f);
    DeleteDC(dc);
    return std::max<int>(r.bottom - r.top, 0);
}
}  // namespace

void register_message_box_class(UserState& u)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = message_box_proc;
    wc.lpszClassName = kClass;
    u.windows().register_class(wc);
}

int message_box(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    UserState* u = UserState::current();
    if (!u) return 0;
    auto state = std::make_unique<MessageBoxState>();
    state->text = text ? std::u16string(text) : std::u16string();
    state->caption = caption ? std::u16string(caption) : std::u16string(u"Error");
    state->type = type;
    int text_left = (type & 0xF0) ? 10 + kIconSize + 10 : 12;
    int th = std::max(text_height(state->text, kWidth - text_left - 10), (type & 0xF0) ? kIconSize : 0);
    state->content_height = kCaption + 12 + th + 8 + kButtonH + 12;
    const RECT place = placement(*state, u->screen());

    Window* owner_w = u->windows().live_window(owner);
    HWND top_owner = owner_w ? u->windows().top_level_of(owner_w)->handle : nullptr;
    HWND box = u->windows().create_window(0, kClass, caption, WS_POPUP, place.left, place.top, kWidth,
                                          place.bottom - place.top, top_owner, 0, nullptr, nullptr);
    Window* bw = u->windows().live_window(box);
    if (!bw) return 0;
    MessageBoxState* s = state.get();
    bw->extension = std::move(state);
    // As in Win32, the message is also the text of a static child with id 0xFFFF, where a
    // program or test reads it (the box paints it itself, so the child stays hidden).
    u->windows().create_window(0, u"STATIC", text ? text : u"", WS_CHILD, 0, 0, 0, 0, box, 0xFFFF, nullptr, nullptr);
    bool owner_was_enabled = top_owner && IsWindowEnabled(top_owner);
    if (owner_was_enabled) EnableWindow(top_owner, FALSE);
    HWND prev_capture = GetCapture();
    u->windows().show_window(bw, true, true);
    u->queue().run_modal([&] { return !u->windows().live_window(box) || s->done; });
    int result = s->result;
    if (owner_was_enabled) EnableWindow(top_owner, TRUE);
    DestroyWindow(box);
    if (prev_capture && u->windows().live_window(prev_capture) && top_owner && u->input().active() == top_owner)
        u->input().set_capture(prev_capture);
    return result;
}

}  // namespace zv

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return zv::message_box(owner, text, caption, type);
}
