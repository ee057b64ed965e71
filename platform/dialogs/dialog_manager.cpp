// DialogBoxIndirectParam: a modal dialog built from a classic template held in a loaded resource.
// The dialog is created hidden with its font and controls, initialised, shown, and run in a
// modal loop until EndDialog, a quit message, or its destruction ends it.
#include <windows.h>

#include <string>

#include "core/user_state.h"
#include "dialogs/dialog_template.h"
#include "dialogs/dialog_units.h"
#include "dialogs/dialog_window.h"

namespace zv {

namespace {

// The platform draws a 20-pixel caption inside the window, and client_rect subtracts it.
constexpr int kCaptionHeight = 20;

std::u16string item_class(const TemplateText& cls)
{
    if (!cls.is_ordinal) return cls.text;
    switch (cls.ordinal) {
        case 0x80: return u"BUTTON";
        case 0x81: return u"EDIT";
        case 0x82: return u"STATIC";
        case 0x83: return u"LISTBOX";
        case 0x84: return u"SCROLLBAR";
        case 0x85: return u"COMBOBOX";
        default: return {};
    }
}

// Creates the controls in template order: the first is topmost, as the children list is kept
// topmost first and new children join at the bottom. False when any cannot be created.
bool create_controls(UserState& u, HWND dialog, const DialogTemplate& t, BaseUnits units, HFONT font,
                     HINSTANCE instance)
{
    for (const DialogItemTemplate& item : t.items) {
        const std::u16string cls = item_class(item.cls);
        if (cls.empty()) return false;
        LPCWSTR title = item.title.is_ordinal ? MAKEINTRESOURCE(item.title.ordinal) : item.title.text.c_str();
        const RECT r = item_rect(item, units);
        // The resource bytes are read-only; a control only reads its creation data.
        void* data = item.creation_data.empty() ? nullptr : const_cast<std::uint8_t*>(item.creation_data.data());
        HWND control = CreateWindowExW(item.ex_style, cls.c_str(), title, (item.style & ~WS_POPUP) | WS_CHILD, r.left,
                                       r.top, r.right - r.left, r.bottom - r.top, dialog,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, data);
        if (!control) return false;
        if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (!u.windows().live_window(dialog)) return false;
    }
    return true;
}

HWND first_tab_stop(UserState& u, HWND dialog)
{
    Window* d = u.windows().live_window(dialog);
    if (!d) return nullptr;
    for (HWND c : d->children) {
        Window* w = u.windows().live_window(c);
        if (w && (w->style & WS_TABSTOP) && w->visible() && w->enabled()) return c;
    }
    return nullptr;
}

bool within(UserState& u, HWND h, HWND dialog)
{
    for (Window* w = u.windows().live_window(h); w; w = w->is_child() ? u.windows().live_window(w->parent) : nullptr)
        if (w->handle == dialog) return true;
    return false;
}

// Gives the owner back, destroys the dialog, and returns what the dialog ended with.
INT_PTR finish(UserState& u, HWND dialog, ModalRecord& modal)
{
    release_owner(modal);
    if (u.windows().live_window(dialog)) DestroyWindow(dialog);
    // Hiding a dialog that ended while the dialog it owned still ran activated nothing.
    if (!u.input().active() && modal.owner)
        if (Window* o = u.windows().live_window(modal.owner); o && o->visible() && o->enabled())
            u.input().set_active(modal.owner);
    return modal.ended ? modal.result : 0;
}

INT_PTR dialog_box(HINSTANCE instance, LPCDLGTEMPLATEW tmpl, HWND owner, DLGPROC proc, LPARAM param)
{
    UserState* u = UserState::current();
    if (!u || !proc) return -1;
    const std::optional<DialogTemplate> t = parse_dialog_template(resource_bytes_from(tmpl));
    // A template naming its own window class would need that class to do the dialog's default
    // processing; the platform has none such.
    if (!t || t->cls.is_ordinal || !t->cls.text.empty()) return -1;

    Window* owner_w = u->windows().live_window(owner);
    Window* owner_top = owner_w ? u->windows().top_level_of(owner_w) : nullptr;
    auto modal = std::make_shared<ModalRecord>();
    modal->owner = owner_top ? owner_top->handle : nullptr;

    UniqueFont font = create_dialog_font(*t);
    const HFONT font_handle = font.get();
    const BaseUnits units = dialog_base_units(*t, font_handle);
    const POINT origin = owner_w ? u->windows().client_origin_on_screen(owner_w) : POINT{0, 0};
    const int caption = (t->style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
    // Shown only once initialised, whatever the template says.
    const DWORD style = (t->style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
    HWND dialog = u->windows().create_window(t->ex_style, kDialogClassName, t->title.c_str(), style,
                                             origin.x + units_to_x(t->x, units), origin.y + units_to_y(t->y, units),
                                             units_to_x(t->cx, units), units_to_y(t->cy, units) + caption, modal->owner,
                                             0, instance, nullptr);
    Window* dw = u->windows().live_window(dialog);
    if (!dw) return -1;
    dw->turns_with_screen = true;
    dw->extension = std::make_unique<DialogState>(units, std::move(font), modal);
    SetWindowLongPtrW(dialog, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (modal->owner && IsWindowEnabled(modal->owner)) {
        EnableWindow(modal->owner, FALSE);
        modal->owner_disabled = true;
    }

    if (font_handle) SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font_handle), FALSE);
    if (!u->windows().live_window(dialog) || !create_controls(*u, dialog, *t, units, font_handle, instance)) {
        finish(*u, dialog, *modal);
        return -1;
    }

    HWND tab = first_tab_stop(*u, dialog);
    if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(tab), param) && tab &&
        u->windows().live_window(tab))
        SetFocus(tab);
    // A full-screen dialog lays itself out for the portrait screen while it initialises; on a
    // landscape screen it is then given the screen, as a turn would give it.
    if (Window* d = u->windows().live_window(dialog); d && !modal->ended && d->full_screen && u->screen().landscape())
        u->windows().set_window_pos(d, 0, 0, u->screen().width(), u->screen().height(), SWP_NOZORDER | SWP_NOACTIVATE);
    if (!modal->ended && u->windows().live_window(dialog)) ShowWindow(dialog, SW_SHOW);

    // Enter always means OK: a tap gives a button no keyboard focus, so no button is the default.
    auto keys = [&](MSG& m) {
        if (m.message != WM_KEYDOWN || (m.wParam != VK_RETURN && m.wParam != VK_ESCAPE)) return false;
        if (!within(*u, m.hwnd, dialog)) return false;
        if (m.wParam == VK_RETURN)
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        else
            SendMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    };
    modal->looping = true;
    u->queue().run_modal([&] { return modal->ended || !u->windows().live_window(dialog); }, keys);
    modal->looping = false;
    const INT_PTR result = finish(*u, dialog, *modal);
    wake_ended_loops(*u);  // an outer dialog may have ended while this one ran
    return result;
}

}  // namespace

}  // namespace zv

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW tmpl, HWND owner, DLGPROC proc, LPARAM param)
{
    return zv::dialog_box(instance, tmpl, owner, proc, param);
}
