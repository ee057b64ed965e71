// The now-playing text and album art of the track that just started: the artist and title from
// the tags, and the embedded cover written out to album.jpg, loaded back and scaled for the panel.
#include <cstdio>
#include <cstring>

#include "app/zorvane.h"
#include "playback/playback.h"

WCHAR NowPlayingText[NOW_PLAYING_CHARS];
WCHAR TagText[TAG_TEXT_CHARS];
HBITMAP AlbumArtBitmap;
HWND NowPlayingPanel;
static WCHAR AlbumArtPath[PATH_BUFFER_CHARS];

#define ART_WIDTH 250
#define ART_HEIGHT 232
// The cover value: encoding, MIME type, picture type, then the description or the picture.
#define APIC_PICTURE_OFFSET 13
// Shorter than this, a cover value holds no picture byte past a possible empty description.
#define APIC_MIN_LENGTH 15

// Appends as much of text as fits, always leaving buffer terminated.
static void AppendBounded(LPWSTR buffer, int capacity, LPCWSTR text)
{
    int i = 0;
    while (i < capacity - 1 && buffer[i]) ++i;
    for (int j = 0; i < capacity - 1 && text[j]; ++i, ++j) buffer[i] = text[j];
    buffer[i] = 0;
}

// A tag value (zero-terminated, ANSI code page) into TagText; a value too long for it keeps its
// first 199 characters.
static void ConvertTagValue(const void* value)
{
    // A value that does not fit leaves its longest whole-character prefix, terminated.
    if (!value || (MultiByteToWideChar(CP_ACP, 0, static_cast<const char*>(value), -1, TagText, TAG_TEXT_CHARS) == 0 &&
                   GetLastError() != ERROR_INSUFFICIENT_BUFFER))
        TagText[0] = 0;
    TagText[TAG_TEXT_CHARS - 1] = 0;
}

// TRUE when the file holds exactly these bytes. Read a block at a time through the platform's
// file calls (regular files only), stopping at the first block that differs or runs past the end
// of the picture, so a different cover costs one block.
static BOOL FileHoldsBytes(LPCWSTR path, const unsigned char* bytes, size_t size)
{
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    static unsigned char block[65536];
    size_t compared = 0;
    BOOL same = TRUE;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof(block), &got, NULL)) {
            same = FALSE;
            break;
        }
        if (got == 0) break;
        if (got > size - compared || memcmp(block, bytes + compared, got) != 0) {
            same = FALSE;
            break;
        }
        compared += got;
    }
    CloseHandle(file);
    return same && compared == size;
}

// The picture bytes of a cover value go to a file beside album.jpg that then replaces it, so the
// cover file is always whole. When album.jpg already holds them (the next track of the same
// album) it is left as it is. FALSE when album.jpg does not hold the picture.
static BOOL WriteAlbumArt(const unsigned char* value, int length)
{
    AlbumArtPath[0] = 0;
    AppendBounded(AlbumArtPath, PATH_BUFFER_CHARS, AppFolder);
    AppendBounded(AlbumArtPath, PATH_BUFFER_CHARS, TEXT("album.jpg"));
    static char finalPath[PATH_BUFFER_CHARS];
    static char partPath[PATH_BUFFER_CHARS];
    if (WideCharToMultiByte(CP_ACP, 0, AlbumArtPath, -1, finalPath, PATH_BUFFER_CHARS, NULL, NULL) <= 0) return FALSE;
    size_t used = strlen(finalPath);
    if (used + sizeof(".part") > PATH_BUFFER_CHARS) return FALSE;
    memcpy(partPath, finalPath, used);
    memcpy(partPath + used, ".part", sizeof(".part"));

    const unsigned char* picture = value + APIC_PICTURE_OFFSET;
    size_t size = static_cast<size_t>(length - APIC_PICTURE_OFFSET);
    if (picture[0] == 0) {
        ++picture;
        --size;
    }
    if (FileHoldsBytes(AlbumArtPath, picture, size)) return TRUE;

    FILE* file = fopen(partPath, "wb");
    if (!file) return FALSE;
    BOOL written = fwrite(picture, 1, size, file) == size;
    if (fclose(file) != 0) written = FALSE;
    // The old cover goes first: renaming over an existing file makes ext4 flush the new one to
    // disk, which cost more than decoding the cover. album.jpg is rewritten at every new cover,
    // and a crash in between leaves none, never a torn one.
    if (written) remove(finalPath);
    if (!written || rename(partPath, finalPath) != 0) {
        remove(partPath);
        return FALSE;
    }
    return TRUE;
}

// Hands the new picture to the panel's art control, then lets the old one go.
static void ShowAlbumArt(HBITMAP bitmap)
{
    HBITMAP previous = AlbumArtBitmap;
    AlbumArtBitmap = bitmap;
    SendDlgItemMessage(NowPlayingPanel, IDC_ALBUMART, STM_SETIMAGE, IMAGE_BITMAP,
                       reinterpret_cast<LPARAM>(AlbumArtBitmap));
    if (previous && previous != AlbumArtBitmap) DeleteObject(previous);
}

// album.jpg loaded back and squeezed to the art control's size; the copy starts one pixel left
// of the edge, so the rightmost column keeps the new bitmap's black.
static void ShowCoverArt()
{
    HBITMAP cover = SHLoadImageFile(AlbumArtPath);
    HDC source = CreateCompatibleDC(NULL);
    HDC dest = CreateCompatibleDC(NULL);
    HGDIOBJ oldSource = SelectObject(source, cover);
    BITMAP header;
    memset(&header, 0, sizeof(header));
    GetObject(cover, sizeof(header), &header);

    HBITMAP scaled = CreateCompatibleBitmap(source, ART_WIDTH, ART_HEIGHT);
    HGDIOBJ oldDest = SelectObject(dest, scaled);
    if (cover) StretchBlt(dest, -1, 0, ART_WIDTH, ART_HEIGHT, source, 0, 0, header.bmWidth, header.bmHeight, SRCCOPY);

    SelectObject(dest, oldDest);
    SelectObject(source, oldSource);
    DeleteDC(dest);
    DeleteDC(source);
    if (cover) DeleteObject(cover);
    ShowAlbumArt(scaled);
}

void RefreshTrackInfo()
{
    int count = 0;
    if (!FSOUND_Stream_GetNumTagFields(CurrentStream, &count) || count == 0) return;

    int type = 0;
    char* name = NULL;
    void* value = NULL;
    int length = 0;
    if (!FSOUND_Stream_GetTagField(CurrentStream, 0, &type, &name, &value, &length)) return;
    if (type != FSOUND_TAGFIELD_ID3V1 && type != FSOUND_TAGFIELD_ID3V2) return;

    NowPlayingText[0] = 0;
    if (FSOUND_Stream_FindTagField(CurrentStream, FSOUND_TAGFIELD_ID3V2, "ARTIST", &value, &length)) {
        ConvertTagValue(value);
        AppendBounded(NowPlayingText, NOW_PLAYING_CHARS, TagText);
    } else {
        AppendBounded(NowPlayingText, NOW_PLAYING_CHARS, TEXT("Unknown Artist"));
    }
    AppendBounded(NowPlayingText, NOW_PLAYING_CHARS, TEXT(" - "));
    if (FSOUND_Stream_FindTagField(CurrentStream, FSOUND_TAGFIELD_ID3V2, "TITLE", &value, &length)) {
        ConvertTagValue(value);
        AppendBounded(NowPlayingText, NOW_PLAYING_CHARS, TagText);
    } else {
        AppendBounded(NowPlayingText, NOW_PLAYING_CHARS, TEXT("Unknown Title"));
    }
    SetDlgItemText(NowPlayingPanel, IDC_NOWPLAYING_TEXT, NowPlayingText);

    if (!FSOUND_Stream_FindTagField(CurrentStream, FSOUND_TAGFIELD_ID3V2, "APIC", &value, &length)) {
        ShowAlbumArt(SHLoadImageFile(DefaultArtPath));
        return;
    }
    // Too short to hold a picture byte: the previous picture stays.
    if (!value || length < APIC_MIN_LENGTH) return;
    if (!WriteAlbumArt(static_cast<const unsigned char*>(value), length)) return;
    ShowCoverArt();
}
