#include "sound/pulled_audio_output.h"

#include <algorithm>

namespace zv {

bool PulledAudioOutput::start(RenderFn render)
{
    std::lock_guard lock(mutex_);
    render_ = std::move(render);
    return static_cast<bool>(render_);
}

void PulledAudioOutput::stop()
{
    std::lock_guard lock(mutex_);
    render_ = nullptr;
}

std::size_t PulledAudioOutput::pull(std::int16_t* out, std::size_t frames)
{
    std::lock_guard lock(mutex_);
    if (!render_) {
        std::fill_n(out, frames * 2, std::int16_t{0});
        return 0;
    }
    render_(out, frames);
    return frames;
}

}  // namespace zv
