// What the playback part offers the others: the stream player and the track-info refresh.
#pragma once
#include <windows.h>

#include <fmod.h>

// Stream player
int PlayFile(const char* path);
int PlayCurrentTrack();
int NextTrack();
int PreviousTrack();
int TogglePause();
void VolumeUp();
void VolumeDown();
signed char OnStreamEnd(FSOUND_STREAM* stream, void* buffer, int length, void* userData);

// Track tags and album art
void RefreshTrackInfo();
