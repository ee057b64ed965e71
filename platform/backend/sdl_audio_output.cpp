#include "backend/sdl_audio_output.h"

#include <SDL.h>

#include <cstring>

namespace zv {

std::unique_ptr<SdlAudioOutput> SdlAudioOutput::open()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioOutput::callback;
    // The object does not exist yet; the device stays paused until start() has set userdata's target.
    auto out = std::unique_ptr<SdlAudioOutput>(new SdlAudioOutput(0));
    want.userdata = out.get();
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the hardware takes.
    const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (dev == 0) {
        out->closed_ = true;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    out->device_ = dev;
    return out;
}

SdlAudioOutput::~SdlAudioOutput() { stop(); }

bool SdlAudioOutput::start(RenderFn render)
{
    if (closed_ || !render) return false;
    SDL_LockAudioDevice(device_);
    render_ = std::move(render);
    SDL_UnlockAudioDevice(device_);
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudioOutput::stop()
{
    if (closed_) return;
    closed_ = true;
    // Closing waits for a callback in progress to return.
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudioOutput::callback(void* self, std::uint8_t* stream, int len)
{
    auto* out = static_cast<SdlAudioOutput*>(self);
    const auto frames = static_cast<std::size_t>(len > 0 ? len : 0) / (2 * sizeof(std::int16_t));
    if (!out->render_) {
        std::memset(stream, 0, static_cast<std::size_t>(len > 0 ? len : 0));
        return;
    }
    out->render_(reinterpret_cast<std::int16_t*>(stream), frames);
}

}  // namespace zv
