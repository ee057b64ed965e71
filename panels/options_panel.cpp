// The options panel: a strip that slides in along the top over the now-playing panel, with
// volume up and down, display off, exit, back to the playlist and back to the now-playing panel.
#include "app/zorvane.h"
#include "panels/panels.h"
#include "playback/playback.h"

#define IDT_OPTIONS_SLIDE 2
#define OPTIONS_HEIGHT 90

// Where the next slide starts; separate from the now-playing panel's.
static int OptionsSlideX = -230;

static void OnSlideStep(HWND hDlg)
{
    if (OptionsSlideX < 0) {
        MoveWindow(hDlg, OptionsSlideX + SLIDE_STEP, 0, PANEL_WIDTH, OPTIONS_HEIGHT, FALSE);
        OptionsSlideX += SLIDE_STEP;
    }
    if (OptionsSlideX >= 0) {
        OptionsSlideX = -PANEL_WIDTH;
        KillTimer(hDlg, IDT_OPTIONS_SLIDE);
    }
}

static void SwitchDisplayOff()
{
    VIDEO_POWER_MANAGEMENT power;
    power.Length = sizeof(power);
    power.DPMSVersion = 1;
    power.PowerState = VideoPowerOff;
    HDC screen = GetDC(NULL);
    ExtEscape(screen, SETPOWERMANAGEMENT, sizeof(power), reinterpret_cast<LPCSTR>(&power), 0, NULL);
    ReleaseDC(NULL, screen);
}

static INT_PTR OnCommand(HWND hDlg, int control)
{
    switch (control) {
        case IDC_TOPLAYLIST:
            EndDialog(hDlg, 0);
            EndDialog(NowPlayingPanel, 0);
            return TRUE;
        case IDC_VOLUP: VolumeUp(); return TRUE;
        case IDC_VOLDOWN: VolumeDown(); return TRUE;
        case IDC_EXIT: PostQuitMessage(0); return TRUE;
        case IDC_DISPLAYOFF: SwitchDisplayOff(); return FALSE;
        case IDC_BACKTOPANEL: EndDialog(hDlg, 0); return TRUE;
        default: return FALSE;
    }
}

INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
        case WM_INITDIALOG: SetTimer(hDlg, IDT_OPTIONS_SLIDE, SLIDE_PERIOD, NULL); return FALSE;
        case WM_TIMER: OnSlideStep(hDlg); return FALSE;
        case WM_COMMAND:
            if (HIWORD(wParam) != STN_CLICKED) return FALSE;
            return OnCommand(hDlg, LOWORD(wParam));
        case WM_CTLCOLORSTATIC:
            SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            SetBkMode(reinterpret_cast<HDC>(wParam), OPAQUE);
            return reinterpret_cast<INT_PTR>(PanelBrush);
        case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(PanelBrush);
        default: return FALSE;
    }
}
