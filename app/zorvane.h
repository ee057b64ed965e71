// Zorvane's shared globals, the program-wide text sizes and the application shell's routines.
// What each part offers the others is declared in that part's own header (playback/playback.h,
// library/library.h, playlist/playlist.h, panels/panels.h, resources/dialog_layout.h); resource
// numbers live in resources/resource.h.
#pragma once
#include <windows.h>

#include <aygshell.h>
#include <commctrl.h>
#include <fmod.h>

#include "resources/resource.h"

#define TAG_TEXT_CHARS 200
#define NOW_PLAYING_CHARS 300

// Application shell
extern HINSTANCE ModuleInstance;
extern HWND MainWindow;
extern WCHAR AppFolder[PATH_BUFFER_CHARS];
extern WCHAR DefaultArtPath[PATH_BUFFER_CHARS];
extern HBRUSH EditBrush;
extern HBRUSH PanelBrush;

BOOL InitInstance(HINSTANCE instance, int show);
void RunDialog(int templateId, HWND owner, DLGPROC proc);
ATOM RegisterMainClass(HINSTANCE instance, LPCWSTR className);
LRESULT CALLBACK MainWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Music library
extern WCHAR MusicFolder[PATH_BUFFER_CHARS];
extern WCHAR SearchPattern[PATH_BUFFER_CHARS];
extern int TrackCount;
extern int ItemCounter;
extern HWND PlaylistView;
extern HWND PathList;
extern int CurrentTrack;
extern WCHAR NameBuffer[PATH_BUFFER_CHARS];
extern WCHAR FullPathBuffer[PATH_BUFFER_CHARS];
// While set, the fill pass sends this window WM_COMMAND with lParam SCAN_TRACK_ADDED after each
// track it appends; NameBuffer and FullPathBuffer then hold that track.
extern HWND ScanListener;
#define SCAN_TRACK_ADDED 16

// Playlist view
extern int ListHeight;
// How far down the main window the list may show rows: its client height less the bottom band.
extern int VisibleListHeight;
extern int ScrollOffset;
extern HDC BackBufferDC;

// Stream player
extern FSOUND_STREAM* CurrentStream;
extern int CurrentChannel;
extern int CurrentVolume;
extern int IsPlaying;
extern unsigned int PausedPosition;

// Track tags and album art
extern WCHAR NowPlayingText[NOW_PLAYING_CHARS];
extern WCHAR TagText[TAG_TEXT_CHARS];
extern HBITMAP AlbumArtBitmap;
extern HWND NowPlayingPanel;
