// The entry routine, the instance set-up and the main window: start-up sequence, keep-alive
// timer, menu commands, activation and shutdown.
#include <cstring>

#include "app/zorvane.h"
#include "library/library.h"
#include "panels/panels.h"
#include "playback/playback.h"
#include "playlist/playlist.h"

#define IDT_KEEPALIVE 3
#define KEEPALIVE_PERIOD 55000
#define TITLE_BUFFER_CHARS 100
#define PATH_LIST_X 300
#define PATH_LIST_Y 300

HINSTANCE ModuleInstance;
HWND MainWindow;
WCHAR AppFolder[PATH_BUFFER_CHARS];
WCHAR DefaultArtPath[PATH_BUFFER_CHARS];
static SHACTIVATEINFO ActivateInfo;
static HBITMAP SkinBitmap;
HBRUSH EditBrush;
HBRUSH PanelBrush;

static const WCHAR DisplayedTitle[] = TEXT("Zorvane");

static void AppendText(LPWSTR buffer, size_t capacity, LPCWSTR tail)
{
    size_t used = 0;
    while (used < capacity && buffer[used]) ++used;
    for (size_t i = 0; tail[i] && used + 1 < capacity; ++i) buffer[used++] = tail[i];
    if (used < capacity) buffer[used] = 0;
}

static void CopyText(LPWSTR buffer, size_t capacity, LPCWSTR text)
{
    if (capacity == 0) return;
    buffer[0] = 0;
    AppendText(buffer, capacity, text);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
    // The two black brushes live for the whole process; the platform's drawing exists only from
    // here on, so they are made first thing rather than by static initialisation.
    if (!EditBrush) EditBrush = CreateSolidBrush(RGB(0, 0, 0));
    if (!PanelBrush) PanelBrush = CreateSolidBrush(RGB(0, 0, 0));

    InitCommonControls();
    INITCOMMONCONTROLSEX icc = {sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);
    ModuleInstance = instance;
    if (!InitInstance(instance, show)) return 0;

    HACCEL accelerators = LoadAccelerators(instance, MAKEINTRESOURCE(IDR_ACCELERATORS));
    MSG msg;
    while (GetMessage(&msg, NULL, 0, 0) > 0) {
        if (!TranslateAccelerator(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

BOOL InitInstance(HINSTANCE instance, int show)
{
    ModuleInstance = instance;
    SHInitExtraControls();

    WCHAR title[TITLE_BUFFER_CHARS];
    WCHAR className[TITLE_BUFFER_CHARS];
    LoadString(instance, IDS_APP_TITLE, title, TITLE_BUFFER_CHARS);
    LoadString(instance, IDS_WINDOW_CLASS, className, TITLE_BUFFER_CHARS);

    HWND running = FindWindow(className, DisplayedTitle);
    if (running) {
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(running) | 1));
        return FALSE;
    }
    if (!RegisterMainClass(instance, className)) return FALSE;

    HWND window = CreateWindow(className, title, WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                               GetSystemMetrics(SM_CYSCREEN), NULL, NULL, instance, NULL);
    if (!window) return FALSE;
    SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
    ShowWindow(window, show);
    UpdateWindow(window);
    return TRUE;
}

ATOM RegisterMainClass(HINSTANCE instance, LPCWSTR className)
{
    WNDCLASS wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIcon(instance, MAKEINTRESOURCE(IDI_APP));
    wc.hCursor = 0;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = 0;
    wc.lpszClassName = className;
    return RegisterClass(&wc);
}

// Every dialog runs modally from its template in the program's own module; the call returns
// once the dialog has ended.
void RunDialog(int templateId, HWND owner, DLGPROC proc)
{
    HRSRC found = FindResource(ModuleInstance, MAKEINTRESOURCE(templateId), RT_DIALOG);
    HGLOBAL loaded = LoadResource(ModuleInstance, found);
    LPCDLGTEMPLATE dialog = static_cast<LPCDLGTEMPLATE>(LockResource(loaded));
    DialogBoxIndirectParam(ModuleInstance, dialog, owner, proc, 0);
}

// Cuts the executable's path back to its folder, keeping the separator.
static void DeriveAppFolder()
{
    GetModuleFileName(NULL, AppFolder, PATH_BUFFER_CHARS);
    int i = 0;
    while (i < PATH_BUFFER_CHARS && AppFolder[i]) ++i;
    while (i >= 0) {
        if (i < PATH_BUFFER_CHARS && AppFolder[i] == PATH_SEPARATOR) break;
        if (i < PATH_BUFFER_CHARS) AppFolder[i] = 0;
        --i;
    }
}

static void OnCreate(HWND hWnd)
{
    MainWindow = hWnd;
    PathList = CreateWindowEx(0, WC_LISTVIEW, NULL,
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_REPORT,
                              PATH_LIST_X, PATH_LIST_Y, 5, 5, hWnd, NULL, ModuleInstance, NULL);
    SetTimer(hWnd, IDT_KEEPALIVE, KEEPALIVE_PERIOD, NULL);

    SkinBitmap = LoadBitmap(ModuleInstance, MAKEINTRESOURCE(IDB_BACKGROUND));
    if (!SkinBitmap) MessageBox(NULL, TEXT(""), NULL, MB_ICONEXCLAMATION);

    if (!FSOUND_Init(44100, 32, 0)) MessageBox(NULL, TEXT("Fmod Init Call Failed!"), NULL, MB_ICONEXCLAMATION);

    DeriveAppFolder();
    CopyText(DefaultArtPath, PATH_BUFFER_CHARS, AppFolder);
    AppendText(DefaultArtPath, PATH_BUFFER_CHARS, TEXT("default.jpg"));
    AlbumArtBitmap = SHLoadImageFile(DefaultArtPath);

    memset(&ActivateInfo, 0, sizeof(ActivateInfo));
    ActivateInfo.cbSize = sizeof(ActivateInfo);

    ReadSettingsFile();
    CopyText(SearchPattern, PATH_BUFFER_CHARS, MusicFolder);
    AppendText(SearchPattern, PATH_BUFFER_CHARS, TEXT("*"));
    CountTracks(SearchPattern, MusicFolder);

    PlaylistView = CreatePlaylistView(hWnd, TrackCount);
    ClearPlaylist(PlaylistView);
    SetWindowText(hWnd, DisplayedTitle);
    AddTracks(SearchPattern, MusicFolder);

    // The player's face comes first: the main window shows once the user leaves this panel.
    RunDialog(IDD_NOWPLAYING, hWnd, NowPlayingDlgProc);
}

// The path list is a 5 x 5 control kept just right of the client area, where it is never seen:
// at x 300 it would show inside a turned 320-wide window. It moves up and down with the
// playlist, as every child of the main window does.
static void OnSize(HWND hWnd)
{
    FitPlaylistToWindow(hWnd);
    RECT client;
    GetClientRect(hWnd, &client);
    int x = client.right > PATH_LIST_X ? client.right : PATH_LIST_X;
    MoveWindow(PathList, x, PATH_LIST_Y + ScrollOffset, 5, 5, TRUE);
}

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_CREATE: OnCreate(hWnd); return 0;
        case WM_DESTROY:
            DeleteObject(SkinBitmap);
            PostQuitMessage(0);
            FSOUND_Stream_Close(CurrentStream);
            return 0;
        case WM_ACTIVATE:
            SHHandleWMActivate(hWnd, wParam, lParam, &ActivateInfo, 0);
            // While the main window is in front it takes every stylus event, so the playlist's
            // drag and tap handling sees them in its own coordinates.
            if (LOWORD(wParam) != WA_INACTIVE) SetCapture(hWnd);
            return 0;
        case WM_SETTINGCHANGE:
            SHHandleWMSettingChange(hWnd, wParam, lParam, &ActivateInfo);
            // The main window always covers the screen: a turn gives it the new shape, and the
            // size message that follows lays the playlist out for it.
            SetWindowPos(hWnd, NULL, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                         SWP_NOZORDER | SWP_NOACTIVATE);
            if (GetActiveWindow() == hWnd) SetCapture(hWnd);
            return 0;
        case WM_SIZE: OnSize(hWnd); return 0;
        case WM_DRAWITEM: return DrawPlaylistItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_MEASUREITEM: return MeasurePlaylistItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        case WM_CTLCOLOREDIT: return PlaylistEditColor(reinterpret_cast<HDC>(wParam));
        case WM_MOUSEMOVE: return OnStylusMove(hWnd, lParam);
        case WM_LBUTTONDOWN: return OnStylusDown(hWnd, lParam);
        case WM_LBUTTONUP: return OnStylusUp(hWnd, lParam);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDM_EXIT: SendMessage(hWnd, WM_CLOSE, 0, 0); return 0;
                case IDM_LIBRARY: RunDialog(IDD_LIBRARY, hWnd, LibraryDlgProc); return 0;
                default: return DefWindowProc(hWnd, message, wParam, lParam);
            }
        case WM_APPCOMMAND:
            // The media keys and the desktop's media controls, whatever panel is in front.
            switch (GET_APPCOMMAND_LPARAM(lParam)) {
                case APPCOMMAND_MEDIA_PLAY_PAUSE: TogglePause(); return TRUE;
                case APPCOMMAND_MEDIA_STOP:
                    if (IsPlaying == 1) TogglePause();
                    return TRUE;
                case APPCOMMAND_MEDIA_NEXTTRACK: NextTrack(); return TRUE;
                case APPCOMMAND_MEDIA_PREVIOUSTRACK: PreviousTrack(); return TRUE;
                case APPCOMMAND_VOLUME_UP: VolumeUp(); return TRUE;
                case APPCOMMAND_VOLUME_DOWN: VolumeDown(); return TRUE;
                default: return DefWindowProc(hWnd, message, wParam, lParam);
            }
        case WM_TIMER:
            if (wParam == IDT_KEEPALIVE) {
                SystemIdleTimerReset();
                return 1;
            }
            if (wParam == IDT_FLICK) return OnFlickTimer(hWnd);
            return 1;
        default: return DefWindowProc(hWnd, message, wParam, lParam);
    }
}
