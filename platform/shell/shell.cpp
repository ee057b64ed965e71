// The Pocket PC shell's window services. Every window here is already full screen and there is no
// task bar or input panel, so these validate their arguments and keep the activation record.
#include <aygshell.h>

BOOL SHFullScreen(HWND hwnd, DWORD) { return IsWindow(hwnd); }

BOOL SHInitDialog(SHINITDLGINFO* info)
{
    if (!info || !IsWindow(info->hDlg)) return FALSE;
    if ((info->dwMask & SHIDIM_FLAGS) && (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)))
        MoveWindow(info->hDlg, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), FALSE);
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
