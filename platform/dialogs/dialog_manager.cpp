// PLACEHOLDER: replaced by the dialog manager.
#include <windows.h>

#include "controls/builtin_controls.h"
namespace zv {
void register_dialog_class(UserState&) {}
}  // namespace zv
INT_PTR DialogBoxIndirectParamW(HINSTANCE, LPCDLGTEMPLATEW, HWND, DLGPROC, LPARAM) { return -1; }
BOOL EndDialog(HWND, INT_PTR) { return FALSE; }
BOOL MapDialogRect(HWND, LPRECT) { return FALSE; }
