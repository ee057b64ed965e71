// Drag, flick and tap on the playlist. The main window moves the whole list control; a tap
// plays the track under the stylus.
#include <cmath>
#include <cstring>

#include "app/zorvane.h"
#include "panels/panels.h"
#include "playback/playback.h"
#include "playlist/playlist.h"

static int PressY;
static DWORD PressTick;
static int DragAnchorY;
static BYTE DragMoved;
static BYTE FlickActive;
static BYTE SwallowTap;
static int FlickDirection;
static double FlickSpeed;

#define DRAG_THRESHOLD 3
#define SPEED_FACTOR 30
#define FLICK_THRESHOLD 5.0
#define FLICK_DECAY 0.985
#define FLICK_STOP 0.01
#define FLICK_PERIOD 20

static int StylusX(LPARAM lParam) { return static_cast<int>(LOWORD(lParam)); }
static int StylusY(LPARAM lParam) { return static_cast<int>(HIWORD(lParam)); }

LRESULT ScrollPlaylist(HWND hWnd, int delta)
{
    // A bound ends a flick outright, so the next press is an ordinary one and its tap plays.
    if (ScrollOffset + delta > 0) {
        KillTimer(hWnd, IDT_FLICK);
        FlickActive = 0;
        delta = -ScrollOffset;
    }
    if (VisibleListHeight - ScrollOffset - delta > ListHeight) {
        KillTimer(hWnd, IDT_FLICK);
        FlickActive = 0;
        delta = VisibleListHeight - ListHeight - ScrollOffset;
    }
    ScrollWindowEx(hWnd, 0, delta, NULL, NULL, NULL, NULL, SW_SCROLLCHILDREN);
    ScrollOffset += delta;
    return 1;
}

// After the visible height changed: the list keeps its place unless that leaves the lit row
// partly hidden or a gap under a long list's end. Unlike ScrollPlaylist it does not push a
// short list down to the bottom line, so a turn alone never moves a list that fits.
void KeepPlaylistInView(HWND hWnd)
{
    int target = ScrollOffset;
    int lit = static_cast<int>(SendMessage(PlaylistView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    // Rows appended below the list's edge are never shown, so there is nothing to bring into view.
    if (lit >= 0 && lit < ListHeight / ITEM_HEIGHT) {
        int top = lit * ITEM_HEIGHT;
        if (target + top + ITEM_HEIGHT > VisibleListHeight) target = VisibleListHeight - top - ITEM_HEIGHT;
        if (target + top < 0) target = -top;
    }
    // A long list may rest anywhere from its top at row 0 to its bottom on the visible line; a
    // short one anywhere it is wholly in view.
    int lowest = VisibleListHeight - ListHeight;
    int low = lowest < 0 ? lowest : 0;
    int high = lowest < 0 ? 0 : lowest;
    if (target < low) target = low;
    if (target > high) target = high;
    if (target == ScrollOffset) return;
    ScrollWindowEx(hWnd, 0, target - ScrollOffset, NULL, NULL, NULL, NULL, SW_SCROLLCHILDREN);
    ScrollOffset = target;
}

LRESULT OnStylusDown(HWND hWnd, LPARAM lParam)
{
    PressY = StylusY(lParam);
    DragAnchorY = PressY;
    PressTick = GetTickCount();
    if (FlickActive == 1) {
        SwallowTap = 1;
        KillTimer(hWnd, IDT_FLICK);
        FlickActive = 0;
    }
    return 1;
}

LRESULT OnStylusMove(HWND hWnd, LPARAM lParam)
{
    int y = StylusY(lParam);
    DragMoved = 1;
    if (y < DragAnchorY - DRAG_THRESHOLD) {
        FlickDirection = -1;
        ScrollPlaylist(hWnd, y - DragAnchorY);
        DragAnchorY = y;
    } else if (y > DragAnchorY + DRAG_THRESHOLD) {
        FlickDirection = 1;
        ScrollPlaylist(hWnd, y - DragAnchorY);
        DragAnchorY = y;
    }
    if (PressY == DragAnchorY) DragMoved = 0;
    return 1;
}

LRESULT OnStylusUp(HWND hWnd, LPARAM lParam)
{
    int x = StylusX(lParam);
    int y = StylusY(lParam);
    if (DragMoved == 1) {
        DWORD elapsed = GetTickCount() - PressTick;
        // Press and release within one millisecond count as one millisecond apart.
        if (elapsed == 0) elapsed = 1;
        unsigned int distance = static_cast<unsigned int>(y > PressY ? y - PressY : PressY - y);
        FlickSpeed = static_cast<double>((distance * SPEED_FACTOR) / elapsed);
        if (FlickSpeed > FLICK_THRESHOLD) {
            DragMoved = 0;
            SetTimer(hWnd, IDT_FLICK, FLICK_PERIOD, NULL);
            FlickActive = 1;
        }
    } else if (SwallowTap == 1) {
        SwallowTap = 0;
    } else {
        LVHITTESTINFO hit;
        memset(&hit, 0, sizeof(hit));
        hit.pt.x = x;
        hit.pt.y = y - ScrollOffset;
        int item = static_cast<int>(SendMessage(PlaylistView, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        // A tap that hits no row (below a short list, or on an empty one) does nothing.
        if (item < 0) return 1;
        CurrentTrack = item;
        // A track that cannot be played opens no panel: there is nothing to show for it.
        if (PlayCurrentTrack() > 0) RunDialog(IDD_NOWPLAYING, MainWindow, NowPlayingDlgProc);
    }
    return 1;
}

LRESULT OnFlickTimer(HWND hWnd)
{
    if (FlickSpeed <= FLICK_STOP) {
        KillTimer(hWnd, IDT_FLICK);
        FlickActive = 0;
        SwallowTap = 0;
        FlickSpeed = 0.0;
    } else {
        FlickActive = 1;
        // Rounding down loses at least a pixel of speed per tick, so a flick ends after as many
        // moving ticks as its starting speed.
        FlickSpeed = floor(FlickSpeed * FLICK_DECAY);
        int delta = static_cast<int>(FlickSpeed * FlickDirection);
        ScrollPlaylist(hWnd, delta);
    }
    return 0;
}
