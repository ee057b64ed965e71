#include "sound/pulled_audio_output.h"

#include <algorithm>

namespace zv {

bool PulledAudioOutput::start(RenderFn render)
{
    std::lock_guard lock(mutex_);
    render_ = std::move(render);
    open_ = false;
    return static_cast<bool>(render_);
}

void PulledAudioOutput::stop()
{
    std::lock_guard lock(mutex_);
    render_ = nullptr;
    open_ = false;
}

void PulledAudioOutput::suspend()
{
    std::lock_guard lock(mutex_);
    open_ = false;
}

bool PulledAudioOutput::resume()
{
    std::lock_guard lock(mutex_);
    if (!render_) return false;
    if (!open_) ++opens_;
    open_ = true;
    return true;
}

std::size_t PulledAudioOutput::pull(std::int16_t* out, std::size_t frames)
{
    std::lock_guard lock(mutex_);
    if (!open_) {
        std::fill_n(out, frames * 2, std::int16_t{0});
        return 0;
    }
    render_(out, frames);
    return frames;
}

bool PulledAudioOutput::device_open() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

int PulledAudioOutput::opens() const
{
    std::lock_guard lock(mutex_);
    return opens_;
}

}  // namespace zv
