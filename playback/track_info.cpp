// The now-playing text and album art of the track that just started.
#include "app/zorvane.h"

WCHAR NowPlayingText[NOW_PLAYING_CHARS];
WCHAR TagText[TAG_TEXT_CHARS];
HBITMAP AlbumArtBitmap;
HWND NowPlayingPanel;

void RefreshTrackInfo()
{
    // Filled in with the tag and album-art work.
}
