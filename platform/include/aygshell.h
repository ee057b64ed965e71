// Pocket PC shell services, as far as the program uses them.
#pragma once
#include "windows.h"

// Loads a JPEG or PNG picture (recognised by content) into a new bitmap; null when the file is
// missing, unreadable or not a picture this platform decodes.
HBITMAP SHLoadImageFile(LPCWSTR path);

// Full-screen requests
#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020
BOOL SHFullScreen(HWND hwnd, DWORD state);

// Dialog initialisation
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};
BOOL SHInitDialog(SHINITDLGINFO* info);

// Activation and setting-change handling: the shell's activation record (12 bytes on the
// 32-bit device, 24 here, where the window handle is 64-bit)
struct SHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
};
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wp, LPARAM lp, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wp, LPARAM lp, SHACTIVATEINFO* info);
BOOL SHInitExtraControls();
