#include "sound/stream_source.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace zv {

namespace {

// Decoded from the file per read while resampling, in frames of its own rate.
constexpr std::size_t kInputFrames = 2048;

}  // namespace

StreamSource::StreamSource(std::unique_ptr<Mp3Decoder> decoder, int mix_rate)
    : decoder_(std::move(decoder)),
      input_(kInputFrames * 2),
      scratch_(kStepFrames * 2),
      rate_(decoder_->rate()),
      mix_rate_(mix_rate > 0 ? mix_rate : Mp3Decoder::kRate),
      ring_(kRingFrames)
{
}

std::uint32_t StreamSource::own_frame() const
{
    const std::uint64_t own = rate_ == mix_rate_
                                  ? taken_
                                  : taken_ * static_cast<std::uint64_t>(rate_) / static_cast<std::uint64_t>(mix_rate_);
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(seeked_to_ + own, std::numeric_limits<std::uint32_t>::max()));
}

void StreamSource::request_seek(std::uint32_t frame)
{
    // The ring holds what follows the position, and a pending seek already goes there.
    if (frame == position_) return;
    restart(frame);
}

void StreamSource::set_mix_rate(int rate)
{
    if (rate <= 0 || rate == mix_rate_) return;
    mix_rate_ = rate;
    // What the ring holds was made for the old rate.
    restart(position_);
}

void StreamSource::restart(std::uint32_t frame)
{
    ++epoch_;
    pending_seek_ = frame;
    ring_.clear();
    decoded_to_end_ = false;
    position_ = frame;
    seeked_to_ = frame;
    taken_ = 0;
}

StreamSource::Step StreamSource::begin_step()
{
    Step step;
    step.epoch = epoch_;
    step.seek = std::exchange(pending_seek_, std::nullopt);
    step.frames = std::min(kStepFrames, ring_.space());
    step.mix_rate = mix_rate_;
    return step;
}

void StreamSource::configure(int mix_rate)
{
    const bool same = resampler_ && resampled_to_ == mix_rate;
    resampled_to_ = mix_rate;
    input_at_ = input_frames_ = 0;
    input_ended_ = drained_ = failed_ = false;
    if (rate_ == mix_rate) {
        resampler_.reset();
    } else if (same) {
        resampler_->clear();  // after a seek: the same filter, without what it held
    } else {
        resampler_ = Resampler::create(rate_, mix_rate, decoder_->channels());
        failed_ = !resampler_;
    }
}

std::size_t StreamSource::produce(std::size_t frames)
{
    const auto ch = static_cast<std::size_t>(decoder_->channels());
    std::span<std::int16_t> out(scratch_.data(), std::min(frames, scratch_.size() / ch) * ch);
    if (!resampler_) {
        const std::size_t got = decoder_->read(out);
        drained_ = decoder_->ended();
        return got;
    }
    if (input_at_ == input_frames_ && !input_ended_) {
        input_at_ = 0;
        input_frames_ = decoder_->read(std::span(input_).first(kInputFrames * ch));
        input_ended_ = decoder_->ended();
    }
    if (input_at_ < input_frames_) {
        const Resampler::Done done =
            resampler_->process(std::span(input_).subspan(input_at_ * ch, (input_frames_ - input_at_) * ch), out);
        // A resampler that neither takes nor gives would spin: end the stream there.
        if (done.in == 0 && done.out == 0) drained_ = true;
        input_at_ += done.in;
        return done.out;
    }
    // The file has ended: what the filter still holds is the sound's last frames.
    const std::size_t got = resampler_->flush(out);
    drained_ = got == 0;
    return got;
}

StreamSource::Decoded StreamSource::decode(const Step& step, std::span<std::int16_t> buffer)
{
    if (step.seek) decoder_->seek(*step.seek);
    if (step.seek || resampled_to_ != step.mix_rate) configure(step.mix_rate);
    Decoded d;
    const std::size_t want = std::min(buffer.size() / 2, step.frames);
    const bool mono = decoder_->channels() == 1;
    while (!failed_ && !drained_ && d.frames < want) {
        std::int16_t* to = buffer.data() + d.frames * 2;
        const std::size_t got = produce(want - d.frames);
        if (mono) {
            // One channel sounds on both sides.
            for (std::size_t i = 0; i < got; ++i) to[i * 2] = to[i * 2 + 1] = scratch_[i];
        } else {
            std::copy_n(scratch_.begin(), got * 2, to);
        }
        d.frames += got;
    }
    d.ended = failed_ || drained_;
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
