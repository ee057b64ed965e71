// Re-lays a live dialog out by another dialog template: every control the template names moves to
// the template's rectangle in one deferred batch, and gets its template content back (picture,
// icon, text or list selection), or only moves where the dialog keeps its own contents. The
// template is read in place from the module's resources, and never past the end of its resource.
#include "resources/dialog_layout.h"

#define TEMPLATE_HEADER_BYTES 18
#define ITEM_HEADER_BYTES 18
#define NUMBER_MARK 0xFFFF
#define UNNAMED_ID 0xFFFF
#define CLASS_BUTTON 0x80
#define CLASS_STATIC 0x82
#define CLASS_LISTBOX 0x83
#define CLASS_COMBOBOX 0x85

// Templates are little-endian whatever the machine; reading byte by byte also needs no alignment.
static WORD ReadWord(const BYTE* at) { return static_cast<WORD>(at[0] | (at[1] << 8)); }

static DWORD ReadDword(const BYTE* at)
{
    return static_cast<DWORD>(ReadWord(at)) | (static_cast<DWORD>(ReadWord(at + 2)) << 16);
}

static short ReadShort(const BYTE* at) { return static_cast<short>(ReadWord(at)); }

int ScreenOrientation()
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    if (height > width) return 1;
    if (height < width) return -1;
    return 0;
}

// The position just past the name-or-number field at `at`, or NULL when the field does not end
// before `end`.
const BYTE* SkipNameOrNumber(const BYTE* at, const BYTE* end)
{
    if (!at || end - at < 2) return NULL;
    if (ReadWord(at) == NUMBER_MARK) return end - at < 4 ? NULL : at + 4;
    while (end - at >= 2) {
        WORD unit = ReadWord(at);
        at += 2;
        if (unit == 0) return at;
    }
    return NULL;
}

// The next multiple of 4 counted from the template's start (the resource keeps that 4-aligned),
// or NULL when no whole item header fits there.
static const BYTE* AlignItem(const BYTE* start, const BYTE* at, const BYTE* end)
{
    size_t offset = (static_cast<size_t>(at - start) + 3) & ~static_cast<size_t>(3);
    if (offset > static_cast<size_t>(end - start) || static_cast<size_t>(end - start) - offset < ITEM_HEADER_BYTES)
        return NULL;
    return start + offset;
}

// The new picture goes to the control and the one it replaced is freed. A control that is no
// picture control of that kind (a list box, a button, a static of another type) does not take it:
// then it is ours to free.
static void ReapplyPicture(HINSTANCE module, HWND dialog, int id, DWORD style, WORD number)
{
    if ((style & SS_ICON) == SS_ICON) {
        SendDlgItemMessage(dialog, id, STM_GETIMAGE, IMAGE_ICON, 0);
        HICON icon = LoadIcon(module, MAKEINTRESOURCE(number));
        if (!icon) return;
        HICON replaced = reinterpret_cast<HICON>(
            SendDlgItemMessage(dialog, id, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
        if (replaced && replaced != icon) DestroyIcon(replaced);
        if (reinterpret_cast<HICON>(SendDlgItemMessage(dialog, id, STM_GETIMAGE, IMAGE_ICON, 0)) != icon)
            DestroyIcon(icon);
    } else if ((style & SS_BITMAP) == SS_BITMAP) {
        SendDlgItemMessage(dialog, id, STM_GETIMAGE, IMAGE_BITMAP, 0);
        HBITMAP bitmap = LoadBitmap(module, MAKEINTRESOURCE(number));
        if (!bitmap) return;
        HBITMAP replaced = reinterpret_cast<HBITMAP>(
            SendDlgItemMessage(dialog, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
        if (replaced && replaced != bitmap) DeleteObject(replaced);
        if (reinterpret_cast<HBITMAP>(SendDlgItemMessage(dialog, id, STM_GETIMAGE, IMAGE_BITMAP, 0)) != bitmap)
            DeleteObject(bitmap);
    }
}

void ReapplyControlContent(HINSTANCE module, HWND dialog, const BYTE* item, const BYTE* classField,
                           const BYTE* titleField, const BYTE* end)
{
    if (ReadWord(classField) != NUMBER_MARK) return;
    DWORD style = ReadDword(item);
    int id = ReadWord(item + 16);
    switch (ReadWord(classField + 2)) {
        case CLASS_BUTTON:
        case CLASS_STATIC: {
            if (ReadWord(titleField) == NUMBER_MARK) {
                ReapplyPicture(module, dialog, id, style, ReadWord(titleField + 2));
                return;
            }
            // The title is copied out of the template: resource bytes carry no alignment promise.
            WCHAR text[PATH_BUFFER_CHARS];
            int n = 0;
            for (const BYTE* at = titleField; at + 2 <= end && n < PATH_BUFFER_CHARS - 1; at += 2) {
                WORD unit = ReadWord(at);
                if (unit == 0) break;
                text[n++] = unit;
            }
            text[n] = 0;
            SetDlgItemText(dialog, id, text);
            return;
        }
        case CLASS_LISTBOX: {
            LRESULT selected = SendDlgItemMessage(dialog, id, LB_GETCURSEL, 0, 0);
            if (selected != LB_ERR) SendDlgItemMessage(dialog, id, LB_SETCURSEL, selected, 0);
            return;
        }
        case CLASS_COMBOBOX: {
            LRESULT selected = SendDlgItemMessage(dialog, id, CB_GETCURSEL, 0, 0);
            if (selected != CB_ERR) SendDlgItemMessage(dialog, id, CB_SETCURSEL, selected, 0);
            return;
        }
        default: return;
    }
}

// A bitmap control is as large as its bitmap: a move gives it the template's place, not its size.
static void KeepPictureSize(HWND control, RECT* rect)
{
    HBITMAP shown = reinterpret_cast<HBITMAP>(SendMessage(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP picture;
    if (!shown || GetObject(shown, sizeof(picture), &picture) != sizeof(picture)) return;
    rect->right = rect->left + picture.bmWidth;
    rect->bottom = rect->top + picture.bmHeight;
}

// Walks the template's items. With content, each control also gets its template content back and
// every unnamed item is moved (the last one wins, and the walk reports the ambiguity). Without,
// only the first unnamed item moves the control GetDlgItem finds (the later ones cannot be told
// apart and are skipped), and a control that shows a picture keeps the picture's size.
static BOOL WalkDialogLayout(HINSTANCE module, HWND dialog, const BYTE* bytes, DWORD size, BOOL withContent)
{
    if (!bytes || size < TEMPLATE_HEADER_BYTES) return FALSE;
    const BYTE* start = bytes;
    const BYTE* end = bytes + size;
    DWORD dialogStyle = ReadDword(start);
    int count = ReadWord(start + 8);

    const BYTE* at = start + TEMPLATE_HEADER_BYTES;
    at = SkipNameOrNumber(at, end);  // menu
    at = SkipNameOrNumber(at, end);  // class
    at = SkipNameOrNumber(at, end);  // caption
    if (at && (dialogStyle & DS_SETFONT)) {
        at = end - at >= 2 ? at + 2 : NULL;  // point size
        at = SkipNameOrNumber(at, end);      // face name
    }
    if (!at) return FALSE;

    HDWP batch = BeginDeferWindowPos(count);
    if (!batch) return FALSE;
    BOOL ok = TRUE;
    int unnamed = 0;
    for (int i = 0; i < count; ++i) {
        const BYTE* item = AlignItem(start, at, end);
        if (!item) {
            ok = FALSE;
            break;
        }
        const BYTE* classField = item + ITEM_HEADER_BYTES;
        const BYTE* titleField = SkipNameOrNumber(classField, end);
        const BYTE* extra = SkipNameOrNumber(titleField, end);
        if (!extra || end - extra < 2) {
            ok = FALSE;
            break;
        }
        WORD extraSize = ReadWord(extra);
        if (extraSize > end - extra) {
            ok = FALSE;
            break;
        }
        const BYTE* next = extraSize ? extra + extraSize : extra + 2;

        int id = ReadWord(item + 16);
        if (id == UNNAMED_ID) ++unnamed;
        at = next;
        if (!withContent && id == UNNAMED_ID && unnamed >= 2) continue;
        HWND control = GetDlgItem(dialog, id);
        RECT rect;
        rect.left = ReadShort(item + 8);
        rect.top = ReadShort(item + 10);
        rect.right = rect.left + ReadShort(item + 12);
        rect.bottom = rect.top + ReadShort(item + 14);
        if (!control || !MapDialogRect(dialog, &rect)) {
            ok = FALSE;
        } else {
            // A failed move leaves the batch usable; the control keeps its place, the rest move.
            if (!withContent) KeepPictureSize(control, &rect);
            if (!DeferWindowPos(batch, control, NULL, rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, SWP_NOZORDER))
                ok = FALSE;
            if (withContent) ReapplyControlContent(module, dialog, item, classField, titleField, end);
        }
    }
    if (!EndDeferWindowPos(batch)) ok = FALSE;
    // Unnamed items all find the same control, so their layout cannot be told apart.
    if (withContent && unnamed >= 2) return FALSE;
    return ok;
}

BOOL ApplyDialogLayoutBytes(HINSTANCE module, HWND dialog, const BYTE* bytes, DWORD size)
{
    return WalkDialogLayout(module, dialog, bytes, size, TRUE);
}

BOOL MoveDialogControlsBytes(HWND dialog, const BYTE* bytes, DWORD size)
{
    return WalkDialogLayout(NULL, dialog, bytes, size, FALSE);
}

static const BYTE* FindTemplate(HINSTANCE module, int templateId, DWORD* size)
{
    HRSRC found = FindResource(module, MAKEINTRESOURCE(templateId), RT_DIALOG);
    if (!found) return NULL;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return NULL;
    *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(loaded));
}

BOOL ApplyDialogLayout(HINSTANCE module, HWND dialog, int templateId)
{
    DWORD size = 0;
    const BYTE* bytes = FindTemplate(module, templateId, &size);
    return bytes ? ApplyDialogLayoutBytes(module, dialog, bytes, size) : FALSE;
}

BOOL MoveDialogControls(HINSTANCE module, HWND dialog, int templateId)
{
    DWORD size = 0;
    const BYTE* bytes = FindTemplate(module, templateId, &size);
    return bytes ? MoveDialogControlsBytes(dialog, bytes, size) : FALSE;
}
