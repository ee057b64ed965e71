// The FSOUND_ sound-library functions the player uses: streams of MP3 files played on 32 mixed
// channels, with tag fields. Booleans are one signed byte, nonzero for success.
#pragma once

struct FSOUND_STREAM;  // opaque; a handle that no longer names an open stream is ignored

#define FSOUND_FREE (-1)
#define FSOUND_ALL (-3)

#define FSOUND_TAGFIELD_ID3V1 1
#define FSOUND_TAGFIELD_ID3V2 2

// Runs on the user-interface thread once a playing stream has delivered its last sample.
using FSOUND_STREAMCALLBACK = signed char (*)(FSOUND_STREAM* stream, void* buff, int len, void* userdata);

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
void FSOUND_Close();

FSOUND_STREAM* FSOUND_Stream_Open(const char* name_or_data, unsigned int mode, int offset, int length);
signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userdata);
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream);
int FSOUND_Stream_GetOpenState(FSOUND_STREAM* stream);
unsigned int FSOUND_Stream_GetPosition(FSOUND_STREAM* stream);
signed char FSOUND_Stream_SetPosition(FSOUND_STREAM* stream, unsigned int position);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);

int FSOUND_GetVolume(int channel);
signed char FSOUND_SetVolume(int channel, int vol);

signed char FSOUND_Stream_GetNumTagFields(FSOUND_STREAM* stream, int* num);
signed char FSOUND_Stream_GetTagField(FSOUND_STREAM* stream, int num, int* type, char** name, void** value,
                                      int* length);
signed char FSOUND_Stream_FindTagField(FSOUND_STREAM* stream, int type, const char* name, void** value, int* length);
