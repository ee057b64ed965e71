#include "dialogs/dialog_window.h"

#include "controls/builtin_controls.h"
#include "core/user_state.h"

namespace zv {

namespace {

// DWL_ values index the window's spare LONG_PTR slots, four bytes of index per slot.
LONG_PTR* slot(Window* w, int index)
{
    const auto i = static_cast<std::size_t>(index / 4);
    return (w && i < w->extra.size()) ? &w->extra[i] : nullptr;
}

// Win32 returns the procedure's own answer for these; for everything else the answer is in
// DWL_MSGRESULT and the return value only says the message was handled.
bool answers_directly(UINT msg) { return msg == WM_INITDIALOG || (msg >= WM_CTLCOLOREDIT && msg <= WM_CTLCOLORSTATIC); }

LRESULT default_dialog_processing(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
        case WM_CLOSE:
            SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), reinterpret_cast<LPARAM>(GetDlgItem(h, IDCANCEL)));
            return 0;
        case WM_ERASEBKGND: {
            auto brush = reinterpret_cast<HBRUSH>(SendMessageW(h, WM_CTLCOLORDLG, wp, reinterpret_cast<LPARAM>(h)));
            if (!brush) brush = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));  // Win32's button face
            RECT r;
            if (GetClientRect(h, &r)) FillRect(reinterpret_cast<HDC>(wp), &r, brush);
            return 1;
        }
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK dialog_window_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    UserState* u = UserState::current();
    if (!u) return 0;
    // Not live_window: the procedure hears WM_DESTROY and WM_NCDESTROY of a dialog in teardown.
    Window* w = u->windows().window(h);
    if (msg == WM_NCDESTROY)
        if (auto* s = w ? dynamic_cast<DialogState*>(w->extension.get()) : nullptr;
            s && s->modal->looping && !s->modal->ended)
            u->queue().post(nullptr, WM_NULL, 0, 0);  // destroyed from outside: its loop must look again
    LONG_PTR* proc_slot = slot(w, DWL_DLGPROC);
    if (auto proc = proc_slot ? reinterpret_cast<DLGPROC>(*proc_slot) : nullptr) {
        if (LONG_PTR* result = slot(w, DWL_MSGRESULT)) *result = 0;
        const INT_PTR handled = proc(h, msg, wp, lp);
        if (handled) {
            if (answers_directly(msg)) return handled;
            LONG_PTR* result = slot(u->windows().window(h), DWL_MSGRESULT);  // the procedure may have destroyed it
            return result ? *result : 0;
        }
    }
    return default_dialog_processing(h, msg, wp, lp);
}

}  // namespace

void register_dialog_class(UserState& user)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = dialog_window_proc;
    wc.lpszClassName = kDialogClassName;
    user.windows().register_class(wc);
}

DialogState* dialog_state(HWND h)
{
    UserState* u = UserState::current();
    Window* w = u ? u->windows().live_window(h) : nullptr;
    return w ? dynamic_cast<DialogState*>(w->extension.get()) : nullptr;
}

void release_owner(ModalRecord& modal)
{
    if (!modal.owner_disabled) return;
    modal.owner_disabled = false;
    EnableWindow(modal.owner, TRUE);
}

void wake_ended_loops(UserState& user)
{
    for (HWND t : user.windows().top_levels())
        if (DialogState* s = dialog_state(t); s && s->modal->ended) user.queue().post(t, WM_NULL, 0, 0);
}

}  // namespace zv

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    zv::DialogState* s = zv::dialog_state(dialog);
    if (!s) return FALSE;
    std::shared_ptr<zv::ModalRecord> modal = s->modal;  // the owner's WM_ENABLE may destroy the dialog
    modal->result = result;
    modal->ended = true;
    // The owner is enabled again first, so hiding the dialog hands activation back to it.
    zv::release_owner(*modal);
    // As Win32, a control's focus moves to the dialog itself before it hides.
    if (zv::UserState* u = zv::UserState::current())
        for (zv::Window* w = u->windows().live_window(GetFocus()); w && w->is_child();
             w = u->windows().live_window(w->parent))
            if (w->parent == dialog) {
                SetFocus(dialog);
                break;
            }
    if (!zv::dialog_state(dialog)) return TRUE;  // the owner's WM_ENABLE or the focus change destroyed it
    ShowWindow(dialog, SW_HIDE);
    // The loop notices the end at its next message; this one comes even when EndDialog ran
    // outside any message.
    if (zv::UserState* u = zv::UserState::current(); u && u->windows().live_window(dialog))
        u->queue().post(dialog, WM_NULL, 0, 0);
    return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect)
{
    zv::DialogState* s = zv::dialog_state(dialog);
    if (!s || !rect) return FALSE;
    *rect = zv::map_dialog_rect(*rect, s->units);
    return TRUE;
}
