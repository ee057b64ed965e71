// Dialog-item shortcuts: the control with a given id in a dialog, addressed through its parent.
// A dialog that is gone, or has no such control, makes the call fail with a value.
#include <windows.h>

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    return SetWindowTextW(item, text);
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    return SendMessageW(item, msg, wParam, lParam);
}
