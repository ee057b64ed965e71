#include "sound/stream_source.h"

#include <algorithm>
#include <utility>

namespace zv {

void StreamSource::request_seek(std::uint32_t frame)
{
    // The ring holds what follows the position, and a pending seek already goes there.
    if (frame == position_) return;
    ++epoch_;
    pending_seek_ = frame;
    ring_.clear();
    decoded_to_end_ = false;
    position_ = frame;
}

StreamSource::Step StreamSource::begin_step()
{
    Step step;
    step.epoch = epoch_;
    step.seek = std::exchange(pending_seek_, std::nullopt);
    step.frames = std::min(kStepFrames, ring_.space());
    return step;
}

StreamSource::Decoded StreamSource::decode(const Step& step, std::span<std::int16_t> buffer)
{
    if (step.seek) decoder_->seek(*step.seek);
    Decoded d;
    d.frames = decoder_->read(buffer.first(std::min(buffer.size(), step.frames * 2)));
    d.ended = d.frames < step.frames || decoder_->ended();
    return d;
}

void StreamSource::finish_step(const Step& step, const Decoded& decoded, std::span<const std::int16_t> buffer)
{
    // A seek or a close came meanwhile: what was decoded is from the wrong place.
    if (closed_ || step.epoch != epoch_) return;
    ring_.write(buffer.first(std::min(buffer.size(), decoded.frames * 2)));
    if (decoded.ended) decoded_to_end_ = true;
}

}  // namespace zv
