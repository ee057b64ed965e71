// Zorvane's shared globals, program constants and the routines the program's parts call on each
// other. Resource numbers live in resources/resource.h.
#pragma once
#include <windows.h>

#include <aygshell.h>
#include <commctrl.h>
#include <fmod.h>

#include "resources/resource.h"

// Timers
#define IDT_KEEPALIVE 3
#define KEEPALIVE_PERIOD 55000
#define IDT_FLICK 12345
#define IDT_NOWPLAYING_SLIDE 1
#define IDT_OPTIONS_SLIDE 2
#define SLIDE_PERIOD 10
#define SLIDE_STEP 10

#define TITLE_BUFFER_CHARS 100
#define TRACK_TEXT_CHARS 64  // a playlist row shows at most 63 characters
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

void ReadSettingsFile();
BOOL ReadSettingsLine(LPWSTR folder, int capacity);
void CountTracks(LPCWSTR pattern, LPCWSTR folder);
void AddTracks(LPCWSTR pattern, LPCWSTR folder);
void AddNameItem(LPCWSTR name);
void AddPathItem(LPCWSTR path);
void ClearPlaylist(HWND list);

// Library browser
INT_PTR CALLBACK LibraryDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
int DecodeTagText(const BYTE* field, int length, LPWSTR out, int capacity);

// Orientation relayout
int ScreenOrientation();
BOOL ApplyDialogLayout(HINSTANCE module, HWND dialog, int templateId);
BOOL ApplyDialogLayoutBytes(HINSTANCE module, HWND dialog, const BYTE* bytes, DWORD size);
void ReapplyControlContent(HINSTANCE module, HWND dialog, const BYTE* item, const BYTE* classField,
                           const BYTE* titleField, const BYTE* end);
const BYTE* SkipNameOrNumber(const BYTE* at, const BYTE* end);

// Playlist view
#define ITEM_HEIGHT 40
#define VISIBLE_LIST_HEIGHT 290
extern int ListHeight;
extern int ScrollOffset;
extern HDC BackBufferDC;

HWND CreatePlaylistView(HWND parent, int count);
LRESULT CALLBACK PlaylistSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT PaintPlaylist(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DrawPlaylistItem(const DRAWITEMSTRUCT* item);
LRESULT MeasurePlaylistItem(MEASUREITEMSTRUCT* item);
LRESULT PlaylistEditColor(HDC dc);
void FillVerticalGradient(HDC dc, RECT rect, int startRed, int startGreen, int startBlue, int endRed, int endGreen,
                          int endBlue);
HFONT CreateItemFont();

// Touch scrolling
LRESULT ScrollPlaylist(HWND hWnd, int delta);
LRESULT OnStylusDown(HWND hWnd, LPARAM lParam);
LRESULT OnStylusMove(HWND hWnd, LPARAM lParam);
LRESULT OnStylusUp(HWND hWnd, LPARAM lParam);
LRESULT OnFlickTimer(HWND hWnd);

// Stream player
extern FSOUND_STREAM* CurrentStream;
extern int CurrentChannel;
extern int CurrentVolume;
extern int IsPlaying;
extern unsigned int PausedPosition;

int PlayFile(const char* path);
int PlayCurrentTrack();
int NextTrack();
int PreviousTrack();
int TogglePause();
void VolumeUp();
void VolumeDown();
signed char OnStreamEnd(FSOUND_STREAM* stream, void* buffer, int length, void* userData);

// Track tags and album art
extern WCHAR NowPlayingText[NOW_PLAYING_CHARS];
extern WCHAR TagText[TAG_TEXT_CHARS];
extern HBITMAP AlbumArtBitmap;
extern HWND NowPlayingPanel;

void RefreshTrackInfo();

// Panels
#define PANEL_WIDTH 240
#define PANEL_HEIGHT 320
#define OPTIONS_HEIGHT 90

INT_PTR CALLBACK NowPlayingDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
void SettleNowPlayingPanel(HWND hDlg);
INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
