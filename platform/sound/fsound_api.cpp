// The FSOUND_ entry points: each validates the live system and the stream handle, then forwards.
#include "fmod.h"

#include <cstdint>

#include "sound/sound_system.h"

namespace {

std::uintptr_t raw(FSOUND_STREAM* stream) { return reinterpret_cast<std::uintptr_t>(stream); }

signed char flag(bool ok) { return ok ? 1 : 0; }

}  // namespace

signed char FSOUND_Init(int, int, unsigned int)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->init());
}

void FSOUND_Close()
{
    if (zv::SoundSystem* sys = zv::SoundSystem::current()) sys->close();
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* name_or_data, unsigned int, int, int)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    if (!sys) return nullptr;
    return zv::to_handle<FSOUND_STREAM*>(sys->open_stream(name_or_data));
}

signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userdata)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->set_end_callback(raw(stream), callback, userdata));
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return sys ? sys->play(channel, raw(stream)) : -1;
}

signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->stop(raw(stream)));
}

int FSOUND_Stream_GetOpenState(FSOUND_STREAM* stream)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return sys && sys->is_open(raw(stream)) ? 0 : -1;
}

unsigned int FSOUND_Stream_GetPosition(FSOUND_STREAM* stream)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return sys ? sys->position(raw(stream)) : 0;
}

signed char FSOUND_Stream_SetPosition(FSOUND_STREAM* stream, unsigned int position)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->set_position(raw(stream), position));
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->close_stream(raw(stream)));
}

int FSOUND_GetVolume(int channel)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return sys ? sys->volume(channel) : 0;
}

signed char FSOUND_SetVolume(int channel, int vol)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->set_volume(channel, vol));
}

signed char FSOUND_Stream_GetNumTagFields(FSOUND_STREAM* stream, int* num)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->tag_count(raw(stream), num));
}

signed char FSOUND_Stream_GetTagField(FSOUND_STREAM* stream, int num, int* type, char** name, void** value, int* length)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->tag_field(raw(stream), num, type, name, value, length));
}

signed char FSOUND_Stream_FindTagField(FSOUND_STREAM* stream, int type, const char* name, void** value, int* length)
{
    zv::SoundSystem* sys = zv::SoundSystem::current();
    return flag(sys && sys->find_tag(raw(stream), type, name, value, length));
}
