#include "sound/clocked_audio_output.h"

#include <utility>

#include "sound/mp3_decoder.h"

namespace zv {

void ClockedAudioOutput::open_locked()
{
    open_ = true;
    opened_ms_ = clock_.now_ms();
    rendered_ = 0;
}

bool ClockedAudioOutput::start(RenderFn render)
{
    std::lock_guard lock(mutex_);
    render_ = std::move(render);
    open_ = false;
    return static_cast<bool>(render_);
}

void ClockedAudioOutput::stop()
{
    std::lock_guard lock(mutex_);
    render_ = nullptr;
    open_ = false;
}

void ClockedAudioOutput::suspend()
{
    std::lock_guard lock(mutex_);
    open_ = false;
}

bool ClockedAudioOutput::resume()
{
    std::lock_guard lock(mutex_);
    if (!render_) return false;
    if (!open_) open_locked();
    return true;
}

std::size_t ClockedAudioOutput::catch_up()
{
    std::lock_guard lock(mutex_);
    if (!open_) return 0;
    const std::uint64_t due = (clock_.now_ms() - opened_ms_) * Mp3Decoder::kRate / 1000;
    std::size_t done = 0;
    for (; rendered_ + kBufferFrames <= due; rendered_ += kBufferFrames, done += kBufferFrames) {
        const std::size_t at = heard_.size();
        heard_.resize(at + kBufferFrames * 2);
        render_(heard_.data() + at, kBufferFrames);
    }
    return done;
}

std::vector<std::int16_t> ClockedAudioOutput::take_heard()
{
    std::lock_guard lock(mutex_);
    return std::exchange(heard_, {});
}

}  // namespace zv
