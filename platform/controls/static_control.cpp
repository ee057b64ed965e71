// "STATIC": labels (left, centred, right), bitmaps and icons. A picture named by the creation
// title is loaded from the creating module and belongs to the control until STM_SETIMAGE hands
// it out; a picture given by STM_SETIMAGE always stays the caller's. With SS_NOTIFY a tap tells
// the parent STN_CLICKED, a second quick tap on the same spot STN_DBLCLK.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "controls/builtin_controls.h"
#include "controls/control_paint.h"
#include "core/user_state.h"
#include "gdi/gdi_internal.h"
#include "resources/resource_access.h"

namespace zv {

namespace {

constexpr DWORD kDoubleTapMs = 500;
constexpr int kDoubleTapSlop = 4;  // pixels either way, in the control's client coordinates

enum class Kind { Text, Bitmap, Icon };

Kind kind_of(DWORD style)
{
    switch (style & SS_TYPEMASK) {
        case SS_BITMAP: return Kind::Bitmap;
        case SS_ICON: return Kind::Icon;
        default: return Kind::Text;
    }
}

// The STM_ image type a picture static takes; nothing for a label.
std::optional<UINT> image_type_for(DWORD style)
{
    switch (kind_of(style)) {
        case Kind::Bitmap: return IMAGE_BITMAP;
        case Kind::Icon: return IMAGE_ICON;
        default: return std::nullopt;
    }
}

void free_picture(HANDLE image, UINT type)
{
    if (!image) return;
    if (type == IMAGE_ICON)
        DestroyIcon(static_cast<HICON>(image));
    else
        DeleteObject(static_cast<HGDIOBJ>(image));
}

class StaticState final : public WindowExtension {
public:
    StaticState() = default;
    StaticState(const StaticState&) = delete;
    StaticState& operator=(const StaticState&) = delete;
    ~StaticState() override
    {
        if (owns_image) free_picture(image, image_type);
    }

    HANDLE image = nullptr;
    UINT image_type = IMAGE_BITMAP;
    bool owns_image = false;  // loaded from the creation title and not handed out since

    // The last tap that may begin a double tap.
    bool tap_pending = false;
    DWORD tap_time = 0;
    POINT tap_at{};
};

Window* live(HWND h)
{
    UserState* u = UserState::current();
    return u ? u->windows().live_window(h) : nullptr;
}

StaticState* state_of(HWND h)
{
    Window* w = live(h);
    return w ? dynamic_cast<StaticState*>(w->extension.get()) : nullptr;
}

// Width and height of a live picture of the given type; nothing for anything else.
std::optional<SIZE> picture_size(HANDLE image, UINT type)
{
    if (type == IMAGE_BITMAP) {
        auto s = bitmap_surface(static_cast<HBITMAP>(image));
        if (s) return SIZE{s->width(), s->height()};
    } else if (type == IMAGE_ICON) {
        if (auto px = icon_pixels(static_cast<HICON>(image))) return SIZE{px->width, px->height};
    }
    return std::nullopt;
}

void fit_to_picture(HWND h, HANDLE image, UINT type)
{
    if (auto size = picture_size(image, type))
        SetWindowPos(h, nullptr, 0, 0, size->cx, size->cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT on_create(HWND h, const CREATESTRUCTW* cs)
{
    Window* w = live(h);
    if (!w) return -1;
    auto st = std::make_unique<StaticState>();
    StaticState* s = st.get();
    w->extension = std::move(st);
    auto type = image_type_for(w->style);
    if (!type || !cs || !cs->lpszName) return 0;
    // A dialog template gives the picture's number (MAKEINTRESOURCE), a string its name.
    if (!IS_INTRESOURCE(cs->lpszName) && !cs->lpszName[0]) return 0;
    HANDLE image = *type == IMAGE_ICON ? static_cast<HANDLE>(LoadIconW(cs->hInstance, cs->lpszName))
                                       : static_cast<HANDLE>(LoadBitmapW(cs->hInstance, cs->lpszName));
    if (!image) return 0;  // no picture: the template's rectangle stays
    s->image = image;
    s->image_type = *type;
    s->owns_image = true;
    fit_to_picture(h, image, *type);
    return 0;
}

LRESULT set_image(HWND h, StaticState& s, WPARAM type, LPARAM lp)
{
    Window* w = live(h);
    auto wanted = w ? image_type_for(w->style) : std::nullopt;
    if (!wanted || type != *wanted) return 0;
    auto image = reinterpret_cast<HANDLE>(lp);
    if (image && !picture_size(image, *wanted)) return 0;  // not a live picture of that type
    HANDLE old = s.image;
    // The old picture is the caller's from now on, whoever loaded it.
    s.image = image;
    s.image_type = *wanted;
    s.owns_image = false;
    if (image) fit_to_picture(h, image, *wanted);
    InvalidateRect(h, nullptr, TRUE);
    return reinterpret_cast<LRESULT>(old);
}

LRESULT get_image(HWND h, const StaticState& s, WPARAM type)
{
    Window* w = live(h);
    auto wanted = w ? image_type_for(w->style) : std::nullopt;
    if (!wanted || type != *wanted || s.image_type != *wanted) return 0;
    return reinterpret_cast<LRESULT>(s.image);
}

void draw_bitmap(HDC dc, HBITMAP bitmap)
{
    auto size = picture_size(bitmap, IMAGE_BITMAP);
    if (!size) return;  // deleted by its owner meanwhile
    HDC mem = CreateCompatibleDC(dc);
    if (!mem) return;
    if (HGDIOBJ old = SelectObject(mem, bitmap)) {
        BitBlt(dc, 0, 0, size->cx, size->cy, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
    }
    DeleteDC(mem);
}

// Blends the icon's straight-alpha pixels over what the DC's surface already holds, at (0,0).
void draw_icon(HDC hdc, HICON icon)
{
    auto px = icon_pixels(icon);
    GdiState* st = GdiState::current();
    DeviceContext* dc = st ? st->dc(hdc) : nullptr;
    Surface* target = dc ? dc->surface() : nullptr;
    if (!px || !target || px->width <= 0 || px->height <= 0 ||
        px->argb.size() < static_cast<std::size_t>(px->width) * static_cast<std::size_t>(px->height))
        return;
    const RECT clip = dc->device_clip();
    const POINT origin = dc->to_device(0, 0);
    for (int y = 0; y < px->height; ++y) {
        const std::int64_t ty = std::int64_t{origin.y} + y;
        if (ty < clip.top || ty >= clip.bottom) continue;
        std::uint32_t* row = target->row(static_cast<int>(ty));
        for (int x = 0; x < px->width; ++x) {
            const std::int64_t tx = std::int64_t{origin.x} + x;
            if (tx < clip.left || tx >= clip.right) continue;
            const std::uint32_t src = px->argb[static_cast<std::size_t>(y) * px->width + x];
            const std::uint32_t a = src >> 24;
            if (a == 0) continue;
            std::uint32_t& dst = row[tx];
            std::uint32_t out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const std::uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
                out |= ((s * a + d * (255 - a) + 127) / 255) << shift;
            }
            dst = out;
        }
    }
}

UINT text_format(DWORD style)
{
    UINT format = DT_WORDBREAK;
    switch (style & SS_TYPEMASK) {
        case SS_CENTER: format |= DT_CENTER; break;
        case SS_RIGHT: format |= DT_RIGHT; break;
        default: break;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    return format;
}

void paint(HWND h, HDC dc)
{
    Window* w = live(h);
    if (!w || !dc) return;
    const HWND parent = w->parent;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    BorrowedTextState text_state(dc, RGB(0, 0, 0), font);
    // The parent may set another colour or OPAQUE here. A mode that is neither TRANSPARENT nor
    // OPAQUE is refused by SetBkMode, as in Win32, so such a parent keeps the TRANSPARENT set
    // above: its text lies over the brush without a box of the DC's background colour.
    auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(h)))
                        : nullptr;
    // A parent that forgot DefWindowProc gets its answer, the white brush.
    if (!brush) brush = reinterpret_cast<HBRUSH>(DefWindowProcW(h, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0));

    // The parent's answer may have destroyed or restyled the control.
    if ((w = live(h)) != nullptr) {
        const StaticState* s = state_of(h);
        RECT client;
        GetClientRect(h, &client);
        FillRect(dc, &client, brush);
        switch (kind_of(w->style)) {
            case Kind::Text: {
                const std::u16string text = w->text;
                DrawTextW(dc, text.c_str(), -1, &client, text_format(w->style));
                break;
            }
            case Kind::Bitmap:
                if (s && s->image && s->image_type == IMAGE_BITMAP) draw_bitmap(dc, static_cast<HBITMAP>(s->image));
                break;
            case Kind::Icon:
                if (s && s->image && s->image_type == IMAGE_ICON) draw_icon(dc, static_cast<HICON>(s->image));
                break;
        }
    }
}

LRESULT on_press(HWND h, StaticState& s, LPARAM lp)
{
    Window* w = live(h);
    if (!w || !(w->style & SS_NOTIFY) || !w->enabled()) return 0;
    const POINT at{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))};
    const DWORD now = GetTickCount();
    const bool double_tap = s.tap_pending && now - s.tap_time < kDoubleTapMs &&
                            std::abs(at.x - s.tap_at.x) <= kDoubleTapSlop &&
                            std::abs(at.y - s.tap_at.y) <= kDoubleTapSlop;
    // Recorded before the parent hears of it: its handler may run a modal loop for a long
    // time or destroy this control, so nothing of `s` is touched once it returns.
    s.tap_pending = !double_tap;
    s.tap_time = now;
    s.tap_at = at;
    if (w->parent)
        SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(w->id, double_tap ? STN_DBLCLK : STN_CLICKED),
                     reinterpret_cast<LPARAM>(h));
    return 0;
}

LRESULT CALLBACK static_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CREATE) return on_create(h, reinterpret_cast<const CREATESTRUCTW*>(lp));
    StaticState* s = state_of(h);
    if (!s) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
        case WM_PAINT: return paint_message(h, wp, [h](HDC dc) { paint(h, dc); });
        case WM_ERASEBKGND: return 1;  // painting fills with the parent's brush
        case WM_LBUTTONDOWN: return on_press(h, *s, lp);
        case STM_SETIMAGE: return set_image(h, *s, wp, lp);
        case STM_GETIMAGE: return get_image(h, *s, wp);
        case WM_SETFONT:
            DefWindowProcW(h, msg, wp, lp);
            if (LOWORD(lp)) InvalidateRect(h, nullptr, TRUE);
            return 0;
        case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

void register_static_class(UserState& u)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = static_proc;
    wc.lpszClassName = u"STATIC";
    u.windows().register_class(wc, ClassTraits{.stylus_through_unless = SS_NOTIFY});
}

}  // namespace zv
