// The Pocket PC shell's window services. There is no task bar or input panel, so these validate
// their arguments, note which windows asked for the whole screen (a turn of the screen resizes
// those dialogs), and keep the activation record.
#include <aygshell.h>

#include "core/user_state.h"

namespace {
bool request_full_screen(HWND hwnd, bool on)
{
    zv::UserState* u = zv::UserState::current();
    return u && u->screen().request_full_screen(hwnd, on);
}
}  // namespace

BOOL SHFullScreen(HWND hwnd, DWORD state)
{
    if (!IsWindow(hwnd)) return FALSE;
    if (state & SHFS_HIDETASKBAR) request_full_screen(hwnd, true);
    if (state & SHFS_SHOWTASKBAR) request_full_screen(hwnd, false);
    return TRUE;
}

BOOL SHInitDialog(SHINITDLGINFO* info)
{
    if (!info || !IsWindow(info->hDlg)) return FALSE;
    if ((info->dwMask & SHIDIM_FLAGS) && (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))) {
        request_full_screen(info->hDlg, true);
        MoveWindow(info->hDlg, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), FALSE);
    }
    return TRUE;
}

BOOL SHHandleWMActivate(HWND hwnd, WPARAM wp, LPARAM, SHACTIVATEINFO* info, DWORD)
{
    if (!info || !IsWindow(hwnd)) return FALSE;
    bool active = LOWORD(wp) != WA_INACTIVE;
    info->fActive = active ? 1u : 0u;
    if (!active) info->hwndLastFocus = GetFocus();
    return TRUE;
}

BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM, LPARAM, SHACTIVATEINFO* info)
{
    return (info && IsWindow(hwnd)) ? TRUE : FALSE;
}

BOOL SHInitExtraControls() { return TRUE; }
