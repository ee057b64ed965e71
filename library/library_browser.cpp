// The library browser: a full-screen dialog that walks the music folder again, listing each
// track's name (list 1010) and path (hidden list 1006) and appending the library to the playlist
// once more; "Sort By Artist" lists the artist of every path; "Back To Player" opens a panel.
#include "app/zorvane.h"
#include "library/library.h"
#include "panels/panels.h"
#include "resources/dialog_layout.h"

#define ID3_LATIN1 0
#define ID3_UTF16_BOM 1
#define ID3_UTF16_BE 2
#define ID3_UTF8 3

// Every notification of the name list scrolls it one entry further, for the life of the process.
static int ListTopIndex = 14;
static FSOUND_STREAM* TagStream;

// Decodes an ID3v2 text field (its encoding byte, then the text) into out, up to the first
// terminator or the field's end. Returns the characters written, or -1 for an encoding ID3v2
// does not define.
int DecodeTagText(const BYTE* field, int length, LPWSTR out, int capacity)
{
    if (capacity <= 0) return -1;
    out[0] = 0;
    if (!field || length < 1) return -1;
    BYTE encoding = field[0];
    const BYTE* text = field + 1;
    int bytes = length - 1;
    int n = 0;
    switch (encoding) {
        case ID3_LATIN1:
            // Latin-1 bytes are the first 256 code points.
            while (n < bytes && text[n] && n < capacity - 1) {
                out[n] = text[n];
                ++n;
            }
            break;
        case ID3_UTF8: {
            int used = 0;
            while (used < bytes && text[used]) ++used;
            if (used == 0) break;
            n = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<LPCSTR>(text), used, out, capacity - 1);
            if (n <= 0) n = 0;
            break;
        }
        case ID3_UTF16_BOM:
        case ID3_UTF16_BE: {
            bool bigEndian = encoding == ID3_UTF16_BE;
            int at = 0;
            if (encoding == ID3_UTF16_BOM && bytes >= 2) {
                if (text[0] == 0xFE && text[1] == 0xFF) {
                    bigEndian = true;
                    at = 2;
                } else if (text[0] == 0xFF && text[1] == 0xFE) {
                    at = 2;
                }
            }
            for (; at + 1 < bytes && n < capacity - 1; at += 2) {
                WCHAR unit = bigEndian ? static_cast<WCHAR>((text[at] << 8) | text[at + 1])
                                       : static_cast<WCHAR>(text[at] | (text[at + 1] << 8));
                if (unit == 0) break;
                out[n++] = unit;
            }
            // A surrogate cut off by the buffer's end would not be a character.
            if (n > 0 && out[n - 1] >= 0xD800 && out[n - 1] <= 0xDBFF) --n;
            break;
        }
        default: return -1;
    }
    out[n] = 0;
    return n;
}

// Every path of list 1006, in order, gives list 1010 its artist; a path that does not open or
// has no artist leaves no entry.
static void ListArtists(HWND hDlg)
{
    SendDlgItemMessage(hDlg, IDC_LIBRARY_NAMES, LB_RESETCONTENT, 0, 0);
    int count = static_cast<int>(SendDlgItemMessage(hDlg, IDC_LIBRARY_PATHS, LB_GETCOUNT, 0, 0));
    WCHAR item[PATH_BUFFER_CHARS];
    char narrow[PATH_BUFFER_CHARS * 3];
    WCHAR artist[TAG_TEXT_CHARS];
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendDlgItemMessage(hDlg, IDC_LIBRARY_PATHS, LB_GETTEXTLEN, i, 0);
        if (length < 0 || length >= PATH_BUFFER_CHARS) continue;
        if (SendDlgItemMessage(hDlg, IDC_LIBRARY_PATHS, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item)) == LB_ERR)
            continue;
        if (WideCharToMultiByte(CP_UTF8, 0, item, -1, narrow, sizeof(narrow), NULL, NULL) <= 0) continue;
        TagStream = FSOUND_Stream_Open(narrow, 0, 0, 0);
        if (!TagStream) continue;
        void* value = NULL;
        int valueLength = 0;
        if (FSOUND_Stream_FindTagField(TagStream, FSOUND_TAGFIELD_ID3V2, "TPE1", &value, &valueLength) &&
            DecodeTagText(static_cast<const BYTE*>(value), valueLength, artist, TAG_TEXT_CHARS) >= 0)
            SendDlgItemMessage(hDlg, IDC_LIBRARY_NAMES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(artist));
        // One stream open at a time, however long the list.
        FSOUND_Stream_Close(TagStream);
        TagStream = NULL;
    }
}

// Reads the music folder again and appends the library to the playlist once more, following the
// fill so that the two lists show what it found.
static void FillLibrary(HWND hDlg)
{
    WCHAR folder[PATH_BUFFER_CHARS];
    if (!ReadSettingsLine(folder, PATH_BUFFER_CHARS)) {
        // Tells the user where the settings file is looked for.
        MessageBox(hDlg, AppFolder, NULL, MB_ICONEXCLAMATION);
        folder[0] = 0;
    }
    WCHAR pattern[PATH_BUFFER_CHARS];
    int n = 0;
    while (folder[n] && n < PATH_BUFFER_CHARS - 2) {
        pattern[n] = folder[n];
        ++n;
    }
    if (folder[n]) return;  // no room for the pattern: nothing is walked
    pattern[n] = '*';
    pattern[n + 1] = 0;
    ScanListener = hDlg;
    AddTracks(pattern, folder);
    ScanListener = NULL;
}

static void LayOutForScreen(HWND hDlg)
{
    int orientation = ScreenOrientation();
    if (orientation == 1)
        ApplyDialogLayout(ModuleInstance, hDlg, IDD_LIBRARY);
    else if (orientation == -1)
        ApplyDialogLayout(ModuleInstance, hDlg, IDD_LIBRARY_LANDSCAPE);
}

INT_PTR CALLBACK LibraryDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_INITDIALOG:
            SHFullScreen(hDlg, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
            ShowWindow(hDlg, SW_HIDE);
            MoveWindow(hDlg, 0, 0, PANEL_WIDTH, PANEL_HEIGHT, FALSE);
            FillLibrary(hDlg);
            return TRUE;
        case WM_COMMAND:
            if (lParam == SCAN_TRACK_ADDED) {
                SendDlgItemMessage(hDlg, IDC_LIBRARY_PATHS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FullPathBuffer));
                SendDlgItemMessage(hDlg, IDC_LIBRARY_NAMES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(NameBuffer));
            }
            switch (LOWORD(wParam)) {
                case IDOK: EndDialog(hDlg, IDOK); return TRUE;
                case IDC_LIBRARY_BACK: RunDialog(IDD_NOWPLAYING, hDlg, NowPlayingDlgProc); return TRUE;
                case IDC_LIBRARY_NAMES:
                    SendDlgItemMessage(hDlg, IDC_LIBRARY_NAMES, LB_SETTOPINDEX, ListTopIndex, 0);
                    ++ListTopIndex;
                    return TRUE;
                case IDC_LIBRARY_SORT: ListArtists(hDlg); return TRUE;
                default: return FALSE;
            }
        case WM_SIZE: LayOutForScreen(hDlg); return FALSE;
        case WM_ACTIVATE:
            // Keys go to the browser while it is in front (the playlist behind takes the stylus
            // when it is active, which here would take the buttons' taps).
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hDlg);
            return FALSE;
        case WM_SETTINGCHANGE:
            if (GetActiveWindow() == hDlg) SetFocus(hDlg);
            return FALSE;
        case WM_CLOSE: EndDialog(hDlg, IDCANCEL); return TRUE;
        default: return FALSE;
    }
}
