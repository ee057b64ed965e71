#include "sound/stream_source.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

namespace zv {

namespace {

// Decoded from the file per read while resampling, in frames of its own rate.
constexpr std::size_t kInputFrames = 2048;
// Silence fed before and after a resampled file, in its own frames: longer than the filter's
// reach, so its edges ring out whole.
constexpr std::size_t kEdgeFrames = 1024;

// libsoxr lines up the centres of input and output frames: the output frames whose centres lie
// before the centre of own frame `n` of what it was given, at `from` to `to` frames a second.
std::uint64_t frames_before(std::uint64_t n, int from, int to)
{
    const std::uint64_t twice = 2 * n * static_cast<std::uint64_t>(to);  // ceil((2 n to - from) / (2 from))
    const auto f = static_cast<std::uint64_t>(from);
    return twice <= f ? 0 : (twice - f + 2 * f - 1) / (2 * f);
}

std::size_t common_period(int rate, int mix_rate) { return static_cast<std::size_t>(rate / std::gcd(rate, mix_rate)); }

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
    if (frame == own_frame()) return;
    restart(frame);
}

void StreamSource::set_mix_rate(int rate)
{
    if (rate <= 0 || rate == mix_rate_) return;
    const std::uint32_t at = own_frame();  // counted at the old rate
    mix_rate_ = rate;
    // What the ring holds was made for the old rate.
    restart(at);
}

void StreamSource::restart(std::uint32_t frame)
{
    ++epoch_;
    pending_seek_ = frame;
    ring_.clear();
    decoded_to_end_ = false;
    seeked_to_ = frame;
    taken_ = 0;
    edge_in_.clear();
    edge_out_.clear();
}

StreamSource::Step StreamSource::begin_step()
{
    Step step;
    step.epoch = epoch_;
    step.seek = std::exchange(pending_seek_, std::nullopt);
    step.frames = std::min(kStepFrames, ring_.space());
    step.mix_rate = mix_rate_;
    step.shift = shift_;
    return step;
}

void StreamSource::follow(const StreamSource& tail)
{
    if (tail.rate_ != rate_ || tail.mix_rate_ != mix_rate_ || rate_ == mix_rate_ || !tail.decoded_to_end_) return;
    // The tail's grid (itself shifted, if it followed another) goes on past its last frame at a
    // whole number of common periods: this stream's first frame is that much further on.
    const std::size_t shift =
        static_cast<std::size_t>((tail.file_frames_ + tail.shift_) % common_period(rate_, mix_rate_));
    if (shift == shift_) return;
    shift_ = shift;
    restart(seeked_to_);
}

void StreamSource::configure(int mix_rate, std::size_t shift)
{
    const bool same = resampler_ && resampled_to_ == mix_rate;
    resampled_to_ = mix_rate;
    input_at_ = input_frames_ = 0;
    input_ended_ = drained_ = failed_ = false;
    fed_ = made_ = 0;
    edge_in_made_.clear();
    edge_out_made_.clear();
    // The silence around the file is a whole number of periods the two rates share, so that the
    // file's first frame lands on an output frame; none for rates whose period is too long.
    const std::size_t period = common_period(rate_, mix_rate);
    const std::size_t silence = period <= kEdgeFrames * 4 ? (kEdgeFrames + period - 1) / period * period : 0;
    silence_before_ = silence_after_ = rate_ == mix_rate ? 0 : silence;
    if (silence_before_) silence_before_ += shift;
    lead_ = silence_before_;
    edge_frames_ = static_cast<std::size_t>(frames_before(lead_, rate_, mix_rate));
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
    if (silence_before_) return produce_silence(silence_before_, out);
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
        fed_ += done.in;
        return done.out;
    }
    if (silence_after_) return produce_silence(silence_after_, out);
    // The file has ended: what the filter still holds is the sound's last frames.
    const std::size_t got = resampler_->flush(out);
    drained_ = got == 0;
    return got;
}

std::size_t StreamSource::produce_silence(std::size_t& frames_left, std::span<std::int16_t> out)
{
    const auto ch = static_cast<std::size_t>(decoder_->channels());
    std::fill(input_.begin(), input_.end(), std::int16_t{0});
    const std::size_t n = std::min(frames_left, input_.size() / ch);
    const Resampler::Done done = resampler_->process(std::span(input_).first(n * ch), out);
    if (done.in == 0 && done.out == 0) drained_ = true;
    frames_left -= std::min(frames_left, done.in);
    return done.out;
}

StreamSource::Decoded StreamSource::decode(const Step& step, std::span<std::int16_t> buffer)
{
    if (step.seek) decoder_->seek(*step.seek);
    if (step.seek || resampled_to_ != step.mix_rate) configure(step.mix_rate, step.shift);
    Decoded d;
    const std::size_t want = std::min(buffer.size() / 2, step.frames);
    const bool mono = decoder_->channels() == 1;
    // Frames [from, to) of scratch_ as stereo at `out`: one channel sounds on both sides.
    auto stereo = [&](std::size_t from, std::size_t to, std::int16_t* out) {
        if (!mono) {
            std::copy(scratch_.begin() + static_cast<std::ptrdiff_t>(from * 2),
                      scratch_.begin() + static_cast<std::ptrdiff_t>(to * 2), out);
            return;
        }
        for (std::size_t i = from; i < to; ++i, out += 2) out[0] = out[1] = scratch_[i];
    };
    auto append = [&](std::vector<std::int16_t>& edge, std::size_t from, std::size_t to) {
        const std::size_t at = edge.size();
        edge.resize(at + (to - from) * 2);
        stereo(from, to, edge.data() + at);
    };
    while (!failed_ && !drained_ && d.frames < want) {
        const std::size_t got = produce(want - d.frames);
        // The frames before the file's first are the edge before it; once the whole file is in,
        // those past its last are the edge after it.
        const std::size_t in_end = made_ < edge_frames_ ? std::min<std::uint64_t>(got, edge_frames_ - made_) : 0;
        std::size_t out_begin = got;
        if (edge_frames_ && input_ended_ && input_at_ == input_frames_) {
            const std::uint64_t file_end = frames_before(lead_ + fed_, rate_, resampled_to_);
            out_begin = file_end <= made_ ? in_end : std::clamp<std::uint64_t>(file_end - made_, in_end, got);
        }
        append(edge_in_made_, 0, in_end);
        stereo(in_end, out_begin, buffer.data() + d.frames * 2);
        d.frames += out_begin - in_end;
        append(edge_out_made_, out_begin, got);
        made_ += got;
    }
    d.ended = failed_ || drained_;
    return d;
}

void StreamSource::finish_step(const Step& step, const Decoded& decoded, std::span<const std::int16_t> buffer)
{
    // A seek or a close came meanwhile: what was decoded is from the wrong place.
    if (closed_ || step.epoch != epoch_) return;
    ring_.write(buffer.first(std::min(buffer.size(), decoded.frames * 2)));
    if (edge_in_.empty() && edge_frames_ && edge_in_made_.size() == edge_frames_ * 2) edge_in_ = edge_in_made_;
    if (decoded.ended) {
        decoded_to_end_ = true;
        file_frames_ = fed_;
        if (edge_frames_) edge_out_ = edge_out_made_;
    }
}

}  // namespace zv
