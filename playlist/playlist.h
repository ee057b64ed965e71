// What the playlist view offers the main window: creating and painting the list control, and
// the drag, flick and tap handling the main window routes to it.
#pragma once
#include <windows.h>

#define ITEM_HEIGHT 40
#define IDT_FLICK 12345
// The band under the list's lowest resting place, the same in either orientation: on a 320-row
// client area the list's bottom edge stops at row 290.
#define LIST_BOTTOM_MARGIN 30

// Playlist view
HWND CreatePlaylistView(HWND parent, int count);
LRESULT CALLBACK PlaylistSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT PaintPlaylist(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DrawPlaylistItem(const DRAWITEMSTRUCT* item);
LRESULT MeasurePlaylistItem(MEASUREITEMSTRUCT* item);
LRESULT PlaylistEditColor(HDC dc);
void FillVerticalGradient(HDC dc, RECT rect, int startRed, int startGreen, int startBlue, int endRed, int endGreen,
                          int endBlue);
HFONT CreateItemFont();
void FitPlaylistToWindow(HWND parent);

// Touch scrolling
LRESULT ScrollPlaylist(HWND hWnd, int delta);
LRESULT OnStylusDown(HWND hWnd, LPARAM lParam);
LRESULT OnStylusMove(HWND hWnd, LPARAM lParam);
LRESULT OnStylusUp(HWND hWnd, LPARAM lParam);
LRESULT OnFlickTimer(HWND hWnd);
void KeepPlaylistInView(HWND hWnd);
