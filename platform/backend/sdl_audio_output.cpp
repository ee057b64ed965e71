#include "backend/sdl_audio_output.h"

#include <SDL.h>

#include <cstring>

namespace zv {

std::unique_ptr<SdlAudioOutput> SdlAudioOutput::open()
{
    // Only looked for here: a device opened, even paused, runs SDL's audio thread, and some drivers
    // (disk) write silence from then on. It is opened at the first play.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    const int devices = SDL_GetNumAudioDevices(0);  // -1: the driver cannot tell
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (devices == 0) return nullptr;
    return std::unique_ptr<SdlAudioOutput>(new SdlAudioOutput());
}

SdlAudioOutput::~SdlAudioOutput() { stop(); }

bool SdlAudioOutput::open_device()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    // The device's own rate, so the sound server resamples nothing after us; asked at every open,
    // as the default device may have changed while the output rested.
    SDL_AudioSpec preferred{};
    int rate = kDefaultRate;
    if (SDL_GetDefaultAudioInfo(nullptr, &preferred, 0) == 0 && preferred.freq >= 8000 && preferred.freq <= 384000)
        rate = preferred.freq;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kFramesPerCallback;
    want.callback = &SdlAudioOutput::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the hardware takes. The device opens paused.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    rate_.store(rate);
    return true;
}

void SdlAudioOutput::close_device()
{
    if (device_ == 0) return;
    // Closing waits for a callback in progress to return and ends the device's thread.
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioOutput::start(RenderFn render)
{
    if (stopped_ || !render) return false;
    render_ = std::move(render);
    return true;
}

void SdlAudioOutput::stop()
{
    stopped_ = true;
    close_device();
}

void SdlAudioOutput::suspend() { close_device(); }

bool SdlAudioOutput::resume()
{
    if (stopped_ || !render_) return false;
    if (device_ != 0) return true;
    if (!open_device()) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
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
