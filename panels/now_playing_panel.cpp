// The now-playing panel: slides in from the left, shows the artist and title line and the album
// art, carries the previous, play/pause and next image buttons, takes the hardware buttons and
// the up and down keys over as hot keys, and opens the options panel when the art is tapped.
#include <dbgapi.h>

#include "app/zorvane.h"
#include "panels/panels.h"
#include "playback/playback.h"
#include "resources/dialog_layout.h"

#define IDT_NOWPLAYING_SLIDE 1

// Where the next slide starts; the first slide after start-up is one step shorter. Every later
// slide starts one whole screen width to the left, measured when it starts.
static int NowPlayingSlideX = -230;
static BOOL NowPlayingSlideFromEdge = FALSE;

typedef BOOL(WINAPI* UnregisterFunc1Proc)(UINT modifiers, UINT key);

#define FIRST_APP_BUTTON 0xC1
#define LAST_APP_BUTTON 0xCF

// The six button pictures, loaded once for the whole process: loading them at every press
// would leave a picture behind with every tap.
static const int ButtonPictureIds[] = {IDB_PLAYPAUSE,           IDB_NEXT,           IDB_PREVIOUS,
                                       IDB_PLAYPAUSE_HIGHLIGHT, IDB_NEXT_HIGHLIGHT, IDB_PREVIOUS_HIGHLIGHT};
static HBITMAP ButtonPictures[sizeof(ButtonPictureIds) / sizeof(ButtonPictureIds[0])];

static HBITMAP ButtonPicture(int bitmapId)
{
    for (size_t i = 0; i < sizeof(ButtonPictureIds) / sizeof(ButtonPictureIds[0]); ++i) {
        if (ButtonPictureIds[i] != bitmapId) continue;
        if (!ButtonPictures[i]) ButtonPictures[i] = LoadBitmap(ModuleInstance, MAKEINTRESOURCE(bitmapId));
        return ButtonPictures[i];
    }
    return NULL;
}

static BOOL IsButtonPicture(HBITMAP bitmap)
{
    for (size_t i = 0; i < sizeof(ButtonPictures) / sizeof(ButtonPictures[0]); ++i)
        if (ButtonPictures[i] && ButtonPictures[i] == bitmap) return TRUE;
    return FALSE;
}

// Puts a picture on a button of the newest panel. The picture it replaces is ours to free
// unless it is one of the shared six (the template's own first picture is not).
static void SetButtonPicture(int control, int bitmapId)
{
    HBITMAP replaced = reinterpret_cast<HBITMAP>(SendDlgItemMessage(
        NowPlayingPanel, control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(ButtonPicture(bitmapId))));
    if (replaced && !IsButtonPicture(replaced)) DeleteObject(replaced);
}

// Takes the application buttons and the up and down keys from whoever holds them.
static void TakeOverHotKeys(HWND hDlg)
{
    HMODULE core = LoadLibrary(TEXT("coredll.dll"));
    UnregisterFunc1Proc unregisterKey =
        core ? reinterpret_cast<UnregisterFunc1Proc>(GetProcAddress(core, TEXT("UnregisterFunc1"))) : NULL;
    DEBUGCHK(unregisterKey != NULL);
    if (unregisterKey) {
        for (UINT key = FIRST_APP_BUTTON; key <= LAST_APP_BUTTON; ++key) {
            unregisterKey(MOD_WIN, key);
            RegisterHotKey(hDlg, static_cast<int>(key), MOD_WIN, key);
        }
        unregisterKey(0, VK_UP);
        RegisterHotKey(hDlg, VK_UP, 0, VK_UP);
        unregisterKey(0, VK_DOWN);
        RegisterHotKey(hDlg, VK_DOWN, 0, VK_DOWN);
    }
    if (core) FreeLibrary(core);
}

// Moves the controls to the template of the screen's shape. Only moves: the template's content
// would replace the six shared button pictures (freeing them) and blank the art and the line.
// Afterwards the line and the art are given again, current ones: track changes reach only the
// newest panel, so a panel underneath may show an old track until then.
static void LayOutForScreen(HWND hDlg)
{
    int orientation = ScreenOrientation();
    if (orientation == 1)
        MoveDialogControls(ModuleInstance, hDlg, IDD_NOWPLAYING);
    else if (orientation == -1)
        MoveDialogControls(ModuleInstance, hDlg, IDD_NOWPLAYING_LANDSCAPE);
    else
        return;
    SendDlgItemMessage(hDlg, IDC_ALBUMART, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(AlbumArtBitmap));
    SetDlgItemText(hDlg, IDC_NOWPLAYING_TEXT, NowPlayingText);
}

static void OnInitDialog(HWND hDlg)
{
    SHFullScreen(hDlg, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    TakeOverHotKeys(hDlg);
    SetTimer(hDlg, IDT_NOWPLAYING_SLIDE, SLIDE_PERIOD, NULL);
    NowPlayingPanel = hDlg;
    ShowWindow(hDlg, SW_HIDE);
    SendDlgItemMessage(NowPlayingPanel, IDC_ALBUMART, STM_SETIMAGE, IMAGE_BITMAP,
                       reinterpret_cast<LPARAM>(AlbumArtBitmap));
    SetDlgItemText(NowPlayingPanel, IDC_NOWPLAYING_TEXT, NowPlayingText);
    // Focus, not the stylus capture: a capture would take every tap from the buttons.
    SetFocus(hDlg);
}

void SettleNowPlayingPanel(HWND hDlg)
{
    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = NowPlayingPanel;
    info.dwFlags = SHIDIF_FULLSCREENNOMENUBAR;
    SHInitDialog(&info);
    MoveWindow(hDlg, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), FALSE);
    RECT placed;
    GetWindowRect(NowPlayingPanel, &placed);
    MoveWindow(NowPlayingPanel, placed.left, placed.top, placed.right, placed.bottom, TRUE);
    SetForegroundWindow(NowPlayingPanel);
    SHFullScreen(NowPlayingPanel, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
}

static void OnSlideStep(HWND hDlg)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    if (NowPlayingSlideFromEdge) {
        NowPlayingSlideX = -width;
        NowPlayingSlideFromEdge = FALSE;
    }
    if (NowPlayingSlideX < 0) {
        MoveWindow(hDlg, NowPlayingSlideX + SLIDE_STEP, 0, width, GetSystemMetrics(SM_CYSCREEN), FALSE);
        NowPlayingSlideX += SLIDE_STEP;
    }
    if (NowPlayingSlideX >= 0) {
        NowPlayingSlideFromEdge = TRUE;
        KillTimer(hDlg, IDT_NOWPLAYING_SLIDE);
        SettleNowPlayingPanel(hDlg);
    }
}

static void OnButton(HWND hDlg, int control)
{
    switch (control) {
        case IDC_PLAYPAUSE:
            SetButtonPicture(IDC_PLAYPAUSE, IDB_PLAYPAUSE_HIGHLIGHT);
            TogglePause();
            break;
        case IDC_PREVIOUS:
            SetButtonPicture(IDC_PREVIOUS, IDB_PREVIOUS_HIGHLIGHT);
            PreviousTrack();
            break;
        case IDC_NEXT:
            SetButtonPicture(IDC_NEXT, IDB_NEXT_HIGHLIGHT);
            NextTrack();
            break;
        case IDC_ALBUMART:
            SettleNowPlayingPanel(hDlg);
            RunDialog(IDD_OPTIONS, hDlg, OptionsDlgProc);
            break;
        default: break;
    }
}

INT_PTR CALLBACK NowPlayingDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
        case WM_INITDIALOG: OnInitDialog(hDlg); return TRUE;
        case WM_TIMER: OnSlideStep(hDlg); return FALSE;
        case WM_SIZE: LayOutForScreen(hDlg); return FALSE;
        case WM_COMMAND:
            // A double tap (or any other notification) starts nothing.
            if (HIWORD(wParam) == STN_CLICKED) OnButton(hDlg, LOWORD(wParam));
            return TRUE;
        case WM_LBUTTONUP:
            SetButtonPicture(IDC_PLAYPAUSE, IDB_PLAYPAUSE);
            SetButtonPicture(IDC_NEXT, IDB_NEXT);
            SetButtonPicture(IDC_PREVIOUS, IDB_PREVIOUS);
            return TRUE;
        case WM_HOTKEY:
            if (wParam == VK_UP)
                VolumeUp();
            else
                VolumeDown();
            return TRUE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            // Mode 0 is neither transparent nor opaque: the DC keeps the mode it had.
            SetBkMode(reinterpret_cast<HDC>(wParam), 0);
            return reinterpret_cast<INT_PTR>(PanelBrush);
        case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(PanelBrush);
        default: return FALSE;
    }
}
