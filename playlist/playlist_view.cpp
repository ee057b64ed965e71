// The playlist view: an owner-drawn list control as tall as all its items, painted through a
// screen-sized back buffer so that only the slice on screen is rendered and copied.
#include <cstring>

#include "app/zorvane.h"
#include "playlist/playlist.h"

#define TRACK_TEXT_CHARS 64  // a playlist row shows at most 63 characters

int ListHeight;
int VisibleListHeight;
int ScrollOffset;
static WNDPROC BaseListProc;
HDC BackBufferDC;
static HBITMAP BackBufferBitmap;
static RECT ListClientRect;
static RECT MainClientRect;

static PAINTSTRUCT ListPaint;
static HDC ListPaintDC;

static int VisibleHeightFor(const RECT& client)
{
    int height = client.bottom - client.top - LIST_BOTTOM_MARGIN;
    return height > 0 ? height : 0;
}

HWND CreatePlaylistView(HWND parent, int count)
{
    RECT client;
    GetClientRect(parent, &client);
    ListHeight = count * ITEM_HEIGHT;
    VisibleListHeight = VisibleHeightFor(client);
    HWND list = CreateWindowEx(
        0, WC_LISTVIEW, NULL,
        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | LVS_NOCOLUMNHEADER | LVS_OWNERDRAWFIXED | LVS_SINGLESEL | LVS_REPORT,
        0, 0, client.right - client.left, ListHeight, parent,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_PLAYLIST)), ModuleInstance, NULL);
    SendMessage(list, LVM_SETITEMCOUNT, 500, 0);

    LVCOLUMN column;
    column.mask = LVCF_WIDTH;
    column.cx = client.right - client.left;
    SendMessage(list, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&column));

    BaseListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(list, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(PlaylistSubclassProc)));

    GetClientRect(list, &ListClientRect);
    GetClientRect(MainWindow, &MainClientRect);

    ListPaintDC = BeginPaint(list, &ListPaint);
    BackBufferDC = CreateCompatibleDC(ListPaintDC);
    BackBufferBitmap = CreateCompatibleBitmap(ListPaintDC, MainClientRect.right - MainClientRect.left,
                                              MainClientRect.bottom - MainClientRect.top);
    SelectObject(BackBufferDC, BackBufferBitmap);
    // Item text is drawn straight over its background, so the selected row's gradient shows
    // behind its letters.
    SetBkMode(BackBufferDC, TRANSPARENT);
    EndPaint(list, &ListPaint);
    // The paint cycle above took the creation-time invalid area; the list still needs its
    // first paint.
    InvalidateRect(list, NULL, FALSE);
    return list;
}

// The main window changed shape (the screen turned): the list takes the new width, the back
// buffer the new client size, and the list is moved only as far as it takes to keep the lit
// row and the list's end in view.
void FitPlaylistToWindow(HWND parent)
{
    if (!PlaylistView) return;
    RECT client;
    GetClientRect(parent, &client);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    VisibleListHeight = VisibleHeightFor(client);
    MoveWindow(PlaylistView, 0, ScrollOffset, width, ListHeight, FALSE);
    GetClientRect(PlaylistView, &ListClientRect);

    if (width != MainClientRect.right - MainClientRect.left || height != MainClientRect.bottom - MainClientRect.top) {
        HDC dc = GetDC(PlaylistView);
        HBITMAP resized = CreateCompatibleBitmap(dc, width, height);
        ReleaseDC(PlaylistView, dc);
        // Without a new buffer the old one stays, and with it the size the paint copies.
        if (resized) {
            SelectObject(BackBufferDC, resized);
            DeleteObject(BackBufferBitmap);
            BackBufferBitmap = resized;
            MainClientRect = client;
        }
    }
    KeepPlaylistInView(parent);
    InvalidateRect(PlaylistView, NULL, FALSE);
}

LRESULT CALLBACK PlaylistSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_PAINT: return PaintPlaylist(hWnd, message, wParam, lParam);
        case WM_ERASEBKGND: return 1;
        default: return CallWindowProc(BaseListProc, hWnd, message, wParam, lParam);
    }
}

LRESULT PaintPlaylist(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    ListPaintDC = BeginPaint(hWnd, &ListPaint);
    SetViewportOrgEx(BackBufferDC, 0, ScrollOffset, NULL);
    CallWindowProc(BaseListProc, hWnd, message, reinterpret_cast<WPARAM>(BackBufferDC), lParam);
    BitBlt(ListPaintDC, ListClientRect.left, ListClientRect.top - ScrollOffset,
           ListClientRect.right - ListClientRect.left, MainClientRect.bottom - MainClientRect.top, BackBufferDC,
           ListClientRect.left, ListClientRect.top - ScrollOffset, SRCCOPY);
    EndPaint(hWnd, &ListPaint);
    return 0;
}

HFONT CreateItemFont()
{
    LOGFONT font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = 12;
    font.lfWeight = FW_SEMIBOLD;
    font.lfCharSet = EASTEUROPE_CHARSET;
    font.lfOutPrecision = OUT_RASTER_PRECIS;
    font.lfQuality = CLEARTYPE_QUALITY;
    const WCHAR face[] = TEXT("Arial");
    for (int i = 0; i < LF_FACESIZE; ++i) {
        font.lfFaceName[i] = face[i];
        if (!face[i]) break;
    }
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    return CreateFontIndirect(&font);
}

void FillVerticalGradient(HDC dc, RECT rect, int startRed, int startGreen, int startBlue, int endRed, int endGreen,
                          int endBlue)
{
    double height = static_cast<double>(rect.bottom - rect.top);
    double stepRed = (endRed - startRed) / height;
    double stepGreen = (endGreen - startGreen) / height;
    double stepBlue = (endBlue - startBlue) / height;
    double red = startRed, green = startGreen, blue = startBlue;
    RECT line = rect;
    for (int i = 0; i < height; ++i) {
        line.bottom = line.top + 1;
        COLORREF color = (static_cast<int>(red) & 0xFF) | ((static_cast<int>(green) & 0xFF) << 8) |
                         ((static_cast<int>(blue) & 0xFF) << 16);
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &line, brush);
        DeleteObject(brush);
        red += stepRed;
        green += stepGreen;
        blue += stepBlue;
        ++line.top;
    }
}

static void ReadItemText(UINT index, LPWSTR text)
{
    LVITEM item;
    memset(&item, 0, sizeof(item));
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = TRACK_TEXT_CHARS;
    text[0] = 0;
    SendMessage(PlaylistView, LVM_GETITEMTEXT, index, reinterpret_cast<LPARAM>(&item));
}

// File names are shown as they are: an "&" in one is a character, not a mnemonic marker.
#define ITEM_TEXT_FORMAT (DT_VCENTER | DT_WORDBREAK | DT_NOCLIP | DT_NOPREFIX)

LRESULT DrawPlaylistItem(const DRAWITEMSTRUCT* source)
{
    if (!source || source->CtlType != ODT_LISTVIEW) return 1;
    DRAWITEMSTRUCT d = *source;
    WCHAR text[TRACK_TEXT_CHARS];
    HFONT font = NULL;
    HGDIOBJ oldFont = NULL;
    if (d.itemState & ODS_SELECTED) {
        FillVerticalGradient(d.hDC, d.rcItem, 0, 156, 248, 0, 85, 217);
        font = CreateItemFont();
        oldFont = SelectObject(d.hDC, font);
        ReadItemText(d.itemID, text);
        OffsetRect(&d.rcItem, 12, 0);
        OffsetRect(&d.rcItem, 1, 1);
        SetTextColor(d.hDC, 0x005A5A4B);
        DrawText(d.hDC, text, -1, &d.rcItem, ITEM_TEXT_FORMAT);
        OffsetRect(&d.rcItem, -1, -1);
        SetTextColor(d.hDC, 0x00FFFDF0);
        DrawText(d.hDC, text, -1, &d.rcItem, ITEM_TEXT_FORMAT);
    } else {
        HPEN pen = CreatePen(PS_SOLID, 1, 0x00E6E6E6);
        HGDIOBJ oldPen = SelectObject(d.hDC, pen);
        Rectangle(d.hDC, d.rcItem.left - 1, d.rcItem.top, d.rcItem.right, d.rcItem.bottom);
        SelectObject(d.hDC, oldPen);
        DeleteObject(pen);
        HBRUSH fill = CreateSolidBrush(0x00FAFAFA);
        d.rcItem.top += 1;
        d.rcItem.bottom -= 1;
        SetTextColor(d.hDC, 0x001F1F1F);
        FillRect(d.hDC, &d.rcItem, fill);
        DeleteObject(fill);
        font = CreateItemFont();
        oldFont = SelectObject(d.hDC, font);
        ReadItemText(d.itemID, text);
        OffsetRect(&d.rcItem, 12, 0);
        DrawText(d.hDC, text, -1, &d.rcItem, ITEM_TEXT_FORMAT);
    }
    if (font) {
        SelectObject(d.hDC, oldFont);
        DeleteObject(font);
    }
    return 1;
}

LRESULT MeasurePlaylistItem(MEASUREITEMSTRUCT* item)
{
    if (item) item->itemHeight = ITEM_HEIGHT;
    return 1;
}

LRESULT PlaylistEditColor(HDC dc)
{
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(EditBrush);
}
