// What the music library offers the others: the settings file, the two passes over the music
// folder, the track lists, and the library browser dialog.
#pragma once
#include <windows.h>

// Library folder and track scan
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
