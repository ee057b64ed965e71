// What the panels offer the others: the now-playing and options dialog procedures, and the
// full-screen panel size the library browser takes as well.
#pragma once
#include <windows.h>

#define PANEL_WIDTH 240
#define PANEL_HEIGHT 320
// Both panels slide in from the left, one step a tick.
#define SLIDE_PERIOD 10
#define SLIDE_STEP 10

INT_PTR CALLBACK NowPlayingDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
void SettleNowPlayingPanel(HWND hDlg);
INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
