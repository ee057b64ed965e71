// The stream player: one current stream, play, pause and resume, volume steps, and moving
// through the track list (next wraps to the first track, previous stops at the first, and both
// pass over files that cannot be played).
#include <cstring>

#include "app/zorvane.h"
#include "playback/playback.h"

FSOUND_STREAM* CurrentStream;
int CurrentChannel;
int CurrentVolume = 50;
int IsPlaying = 1;
unsigned int PausedPosition;

#define VOLUME_STEP 20
#define SOUND_RATE 44100
#define SOUND_CHANNELS 32

int PlayFile(const char* path)
{
    if (FSOUND_Stream_GetOpenState(CurrentStream) == 0) FSOUND_Stream_Stop(CurrentStream);
    // The replaced stream is stopped, so nothing of it can call back any more: release it before
    // opening the next, so playing through a long list never holds more than one open file.
    FSOUND_Stream_Close(CurrentStream);
    CurrentStream = FSOUND_Stream_Open(path, 0, 0, 0);
    if (!FSOUND_Stream_SetEndCallback(CurrentStream, OnStreamEnd, 0)) FSOUND_Init(SOUND_RATE, SOUND_CHANNELS, 0);
    if (!CurrentStream) {
        FSOUND_Init(SOUND_RATE, SOUND_CHANNELS, 0);
        return -1;
    }
    IsPlaying = 1;
    CurrentChannel = FSOUND_Stream_Play(FSOUND_FREE, CurrentStream);
    FSOUND_SetVolume(FSOUND_ALL, CurrentVolume);
    RefreshTrackInfo();
    return 1;
}

// The path of item `index` of PathList as PlayFile takes it; empty when there is no such item.
static const char* TrackPath(int index)
{
    static WCHAR path[PATH_BUFFER_CHARS];
    path[0] = 0;
    LVITEM item;
    memset(&item, 0, sizeof(item));
    item.iSubItem = 0;
    item.pszText = path;
    item.cchTextMax = PATH_BUFFER_CHARS;
    SendMessage(PathList, LVM_GETITEMTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));

    static char narrowPath[PATH_BUFFER_CHARS];
    if (WideCharToMultiByte(CP_ACP, 0, path, -1, narrowPath, PATH_BUFFER_CHARS, NULL, NULL) <= 0) narrowPath[0] = 0;
    return narrowPath;
}

// Lights the current track's row, on screen at once.
static void SelectCurrentTrack()
{
    LVITEM state;
    memset(&state, 0, sizeof(state));
    state.state = LVIS_FOCUSED | LVIS_SELECTED;
    state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessage(PlaylistView, LVM_SETITEMSTATE, static_cast<WPARAM>(CurrentTrack), reinterpret_cast<LPARAM>(&state));
    UpdateWindow(MainWindow);
}

// 1 when the track at CurrentTrack sounds, -1 when its file cannot be played.
int PlayCurrentTrack()
{
    const char* path = TrackPath(CurrentTrack);
    SelectCurrentTrack();
    return PlayFile(path);
}

static void StepForward()
{
    if (CurrentTrack != TrackCount) ++CurrentTrack;
    if (CurrentTrack == TrackCount) CurrentTrack = 0;
}

static void StepBack()
{
    if (CurrentTrack != 0) --CurrentTrack;
}

// After a try that failed: steps on while the file cannot be played, `tries` steps at most,
// without lighting the rows passed over (a whole library gone, as with a drive pulled out, costs
// one open a track, not a repaint each), then lights the row it stopped at.
static void PassOverUnplayable(void (*step)(), int tries)
{
    for (; tries > 0; --tries) {
        step();
        if (PlayFile(TrackPath(CurrentTrack)) > 0) break;
    }
    SelectCurrentTrack();
}

// A file deleted since the scan, or one that only looks like a track, is passed over. After one
// whole lap without a playable file the player stays silent instead of going round for ever.
int NextTrack()
{
    StepForward();
    if (PlayCurrentTrack() < 0) PassOverUnplayable(StepForward, TrackCount - 1);
    return 1;
}

// Passes over what cannot be played towards the first track, and stops there.
int PreviousTrack()
{
    StepBack();
    if (PlayCurrentTrack() < 0) PassOverUnplayable(StepBack, CurrentTrack);
    return 1;
}

signed char OnStreamEnd(FSOUND_STREAM*, void*, int, void*)
{
    NextTrack();
    return 0;
}

int TogglePause()
{
    if (IsPlaying == 1) {
        FSOUND_Stream_Stop(CurrentStream);
        PausedPosition = FSOUND_Stream_GetPosition(CurrentStream);
        IsPlaying = 0;
    } else if (IsPlaying == 0) {
        FSOUND_Stream_SetPosition(CurrentStream, PausedPosition);
        CurrentChannel = FSOUND_Stream_Play(FSOUND_FREE, CurrentStream);
        FSOUND_SetVolume(FSOUND_ALL, CurrentVolume);
        IsPlaying = 1;
    }
    return 1;
}

void VolumeUp()
{
    CurrentVolume = FSOUND_GetVolume(CurrentChannel);
    if (CurrentVolume > 254) return;
    CurrentVolume += VOLUME_STEP;
    FSOUND_SetVolume(FSOUND_ALL, CurrentVolume);
}

void VolumeDown()
{
    CurrentVolume = FSOUND_GetVolume(CurrentChannel);
    if (CurrentVolume <= 0) return;
    CurrentVolume -= VOLUME_STEP;
    FSOUND_SetVolume(FSOUND_ALL, CurrentVolume);
}
