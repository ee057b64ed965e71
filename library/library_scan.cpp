// The settings file, the two passes over the music folder, and the two index-aligned track
// lists: PlaylistView shows each track's file name, PathList holds its full path.
#include <cstdio>
#include <vector>

#include "app/zorvane.h"
#include "library/library.h"

static char SettingsFilePath[PATH_BUFFER_CHARS];
WCHAR MusicFolder[PATH_BUFFER_CHARS];
WCHAR SearchPattern[PATH_BUFFER_CHARS];
int TrackCount;
int ItemCounter;
HWND PlaylistView;
HWND PathList;
int CurrentTrack;

// The walk's shared buffers: the name of the last track appended and the full path of the last
// file examined.
WCHAR NameBuffer[PATH_BUFFER_CHARS];
WCHAR FullPathBuffer[PATH_BUFFER_CHARS];
HWND ScanListener;

static const char SettingsFileName[] = "direc.zvn";

static size_t TextLength(LPCWSTR text)
{
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// Writes a + b + c into out; false (and nothing usable) when it does not fit.
static bool JoinPath(LPWSTR out, size_t capacity, LPCWSTR a, LPCWSTR b, LPCWSTR c)
{
    size_t la = TextLength(a), lb = TextLength(b), lc = TextLength(c);
    if (la + lb + lc + 1 > capacity) return false;
    size_t at = 0;
    for (size_t i = 0; i < la; ++i) out[at++] = a[i];
    for (size_t i = 0; i < lb; ++i) out[at++] = b[i];
    for (size_t i = 0; i < lc; ++i) out[at++] = c[i];
    out[at] = 0;
    return true;
}

void ReadSettingsFile()
{
    int n = WideCharToMultiByte(CP_UTF8, 0, AppFolder, -1, SettingsFilePath, PATH_BUFFER_CHARS, NULL, NULL);
    if (n <= 0) SettingsFilePath[0] = 0;
    size_t used = 0;
    while (used < sizeof(SettingsFilePath) && SettingsFilePath[used]) ++used;
    if (used + sizeof(SettingsFileName) > sizeof(SettingsFilePath)) {
        SettingsFilePath[0] = 0;
        MusicFolder[0] = 0;
        return;
    }
    for (size_t i = 0; i < sizeof(SettingsFileName); ++i) SettingsFilePath[used + i] = SettingsFileName[i];
    ReadSettingsLine(MusicFolder, PATH_BUFFER_CHARS);
}

BOOL ReadSettingsLine(LPWSTR folder, int capacity)
{
    folder[0] = 0;
    WCHAR widePath[PATH_BUFFER_CHARS];
    if (!SettingsFilePath[0] || MultiByteToWideChar(CP_UTF8, 0, SettingsFilePath, -1, widePath, PATH_BUFFER_CHARS) <= 0)
        return FALSE;
    // Only a regular file is read, and opening it never blocks (a FIFO in its place would).
    HANDLE file = CreateFile(widePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    char line[PATH_BUFFER_CHARS];
    DWORD got = 0;
    if (!ReadFile(file, line, sizeof(line) - 1, &got, NULL)) got = 0;
    CloseHandle(file);
    line[got] = 0;
    // One line: what follows the first line break is not part of it.
    for (DWORD i = 0; i < got; ++i) {
        if (line[i] == '\n') {
            line[i + 1] = 0;
            break;
        }
    }
    // Editors end the line with a line break; a folder name never does.
    size_t len = 0;
    while (line[len]) ++len;
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r')) line[--len] = 0;
    if (MultiByteToWideChar(CP_ACP, 0, line, -1, folder, capacity) <= 0) folder[0] = 0;
    return TRUE;
}

// A track is any file whose full path holds ".mp3" in any letter case: files copied from other
// systems are often named "SONG.MP3".
static bool NamesATrack(LPCWSTR path)
{
    static const WCHAR marker[] = {'.', 'm', 'p', '3'};
    for (size_t at = 0; path[at]; ++at) {
        size_t i = 0;
        while (i < sizeof(marker) / sizeof(marker[0])) {
            WCHAR c = path[at + i];
            if (c >= 'A' && c <= 'Z') c = static_cast<WCHAR>(c - 'A' + 'a');
            if (c != marker[i]) break;
            ++i;
        }
        if (i == sizeof(marker) / sizeof(marker[0])) return true;
    }
    return false;
}

// One walk over pattern/folder: counting tracks, or appending them to both lists.
static void WalkFolder(LPCWSTR pattern, LPCWSTR folder, bool fill)
{
    WIN32_FIND_DATA found;
    // Names and attributes are all the walk looks at.
    HANDLE search = FindFirstFileEx(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, NULL, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    // Sub-folder paths live on the heap: a deep tree must not exhaust the stack.
    std::vector<WCHAR> subFolder(PATH_BUFFER_CHARS);
    std::vector<WCHAR> subPattern(PATH_BUFFER_CHARS);
    do {
        if (found.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) {
            if (!JoinPath(subFolder.data(), PATH_BUFFER_CHARS, folder, found.cFileName, PATH_SEPARATOR_STR)) continue;
            if (!JoinPath(subPattern.data(), PATH_BUFFER_CHARS, subFolder.data(), TEXT("*"), TEXT(""))) continue;
            WalkFolder(subPattern.data(), subFolder.data(), fill);
            continue;
        }
        // A name that does not fit the path buffer is skipped by both passes alike.
        if (!JoinPath(FullPathBuffer, PATH_BUFFER_CHARS, folder, found.cFileName, TEXT(""))) continue;
        if (!NamesATrack(FullPathBuffer)) continue;
        if (!fill) {
            ++TrackCount;
            continue;
        }
        JoinPath(NameBuffer, PATH_BUFFER_CHARS, found.cFileName, TEXT(""), TEXT(""));
        AddNameItem(NameBuffer);
        AddPathItem(FullPathBuffer);
        // A window that asked to follow the fill reads the track from the two buffers.
        if (ScanListener) SendMessage(ScanListener, WM_COMMAND, 0, SCAN_TRACK_ADDED);
    } while (FindNextFile(search, &found));
    FindClose(search);
}

void CountTracks(LPCWSTR pattern, LPCWSTR folder) { WalkFolder(pattern, folder, false); }

void AddTracks(LPCWSTR pattern, LPCWSTR folder) { WalkFolder(pattern, folder, true); }

static void InsertItem(HWND list, int index, LPCWSTR text, LPARAM param)
{
    LVITEM item;
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = index;
    item.iSubItem = 0;
    item.state = 0;
    item.stateMask = 0;
    item.pszText = const_cast<LPWSTR>(text);
    item.cchTextMax = 0;
    item.iImage = 0;
    item.lParam = param;
    item.iIndent = 0;
    SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
}

void AddNameItem(LPCWSTR name)
{
    int index = ItemCounter;
    ++ItemCounter;
    InsertItem(PlaylistView, index, name, ItemCounter);
}

void AddPathItem(LPCWSTR path) { InsertItem(PathList, ItemCounter, path, ItemCounter); }

void ClearPlaylist(HWND list)
{
    ItemCounter = 0;
    SendMessage(list, LVM_DELETEALLITEMS, 0, 0);
}
