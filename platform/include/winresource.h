// Resources of the program's own module: lookup and raw access, strings, accelerator tables,
// bitmaps and icons.
#pragma once
#include "windef.h"

#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_ACCELERATOR MAKEINTRESOURCE(9)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)

// `module` null means the program's own module. `name` and `type` are numbers
// (MAKEINTRESOURCE), names (compared without regard to case) or "#123" for number 123.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
// The resource's bytes stay valid for the life of the module; nothing needs freeing.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Copies at most `buffer_max` - 1 characters and a terminator, returning the number copied.
// With `buffer_max` 0, stores a read-only pointer to the (unterminated) text in *(LPWSTR*)buffer
// and returns its length. 0 when the string is missing or empty.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_max);

#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};
using LPACCEL = ACCEL*;

// Loading the same table again gives the same handle; the table lives as long as the module.
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);

// A new bitmap from a bitmap resource (uncompressed 8-bit palettised or 24-bit DIB); the caller
// owns it (DeleteObject). Null for a null instance: there are no system bitmaps.
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);

// A new icon from an icon group, taking the 32 x 32 image of the most colours. Null for a null
// instance: there are no system icons.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
BOOL DestroyIcon(HICON icon);

#define FindResource FindResourceW
#define LoadString LoadStringW
#define LoadAccelerators LoadAcceleratorsW
#define LoadBitmap LoadBitmapW
#define LoadIcon LoadIconW
