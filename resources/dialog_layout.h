// Re-laying a live dialog out by another dialog template when the screen changes shape.
#pragma once
#include <windows.h>

// 1 for a portrait screen, -1 for a landscape one, 0 for a square one.
int ScreenOrientation();
BOOL ApplyDialogLayout(HINSTANCE module, HWND dialog, int templateId);
BOOL ApplyDialogLayoutBytes(HINSTANCE module, HWND dialog, const BYTE* bytes, DWORD size);
void ReapplyControlContent(HINSTANCE module, HWND dialog, const BYTE* item, const BYTE* classField,
                           const BYTE* titleField, const BYTE* end);
// Moves every control the template names to the template's place and nothing more: contents stay,
// bitmap controls keep their bitmap's size.
BOOL MoveDialogControls(HINSTANCE module, HWND dialog, int templateId);
BOOL MoveDialogControlsBytes(HWND dialog, const BYTE* bytes, DWORD size);
const BYTE* SkipNameOrNumber(const BYTE* at, const BYTE* end);
