// The sound of one open stream as the decoder thread, the mixer and the user-interface side share
// it: the decoder, the resampler from the file's own rate to the mix rate, and a ring of decoded
// stereo frames at the mix rate ready for the mixer. A file at the mix rate is not resampled at all.
//
// The decoder is used by one thread at a time: the opener before the source is shared, then only
// the decoder thread. Everything else is guarded by the sound lock, which is never held across
// a decode, a seek or any other file operation. Sources are shared_ptr-owned, so closing a stream
// while the decoder thread reads it frees the decoder only after that read has returned.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include <vector>

#include "sound/mp3_decoder.h"
#include "sound/pcm_ring.h"
#include "sound/resampler.h"

namespace zv {

class StreamSource {
public:
    static constexpr std::size_t kRingFrames = 49152;  // at the mix rate: about 1.1 s at 44 100 Hz
    // The decoder thread is woken once fewer frames than this are ready, and then fills the ring:
    // it decodes in large batches and sleeps between them, and a read that hangs still has about
    // half a second of sound ahead of it.
    static constexpr std::size_t kRefillBelow = kRingFrames / 2;
    // Decoded per step of the decoder thread; what a step has decoded reaches the ring when the step
    // ends, so a read that hangs holds back less than this.
    static constexpr std::size_t kStepFrames = 2048;

    // `decoder`: an open one, never null. `mix_rate`: what the output plays at now
    // (OutputGate::mix_rate()).
    explicit StreamSource(std::unique_ptr<Mp3Decoder> decoder, int mix_rate = Mp3Decoder::kRate);

    // --- Under the sound lock.

    // Where the stream is, in frames of the file's own rate: where the last seek went plus what
    // the mixer has taken since, converted from the mix rate (rounded down).
    std::uint32_t position() const { return own_frame(); }
    // Frames per second of position(): the file's own rate.
    int rate() const { return rate_; }
    // Flushes what was decoded and asks the decoder thread to move to `frame` first. Moving to where
    // the stream already is keeps what was decoded, so a pause and resume go on sample-exactly.
    void request_seek(std::uint32_t frame);
    // The output now plays at `rate`: when that is another rate, what was decoded is flushed and the
    // decoder thread starts again from the position, resampled to it.
    void set_mix_rate(int rate);
    int mix_rate() const { return mix_rate_; }
    // No more decoding; a step in progress is thrown away.
    void close() { closed_ = true; }

    // Whether the decoder thread has something to do here, and how urgently (fewer ready frames
    // first).
    bool wants_decoding() const
    {
        return !closed_ && (pending_seek_ || (!decoded_to_end_ && ring_.space() >= kStepFrames));
    }
    // Whether the mixer should wake the decoder thread for this stream.
    bool needs_refill() const
    {
        return !closed_ && (pending_seek_ || (!decoded_to_end_ && ring_.size() < kRefillBelow));
    }
    std::size_t ready() const { return ring_.size(); }
    // Whether taking `frames` frames needs nothing more from the decoder: they are decoded and so
    // is what follows them, or the decoder has reached the end. Either way it is known whether the
    // stream ends with them.
    bool can_give(std::size_t frames) const { return ring_.size() > frames || decoded_to_end_; }
    bool decoded_to_end() const { return decoded_to_end_; }
    // The filter's ringing at the two ends of a resampled stream, stereo at the mix rate: what its
    // first frames spread before them, and its last frames after them. Each is cut off when the
    // stream plays alone; at a join of two streams resampled alike, each is added to the other, so
    // the join sounds as if the two had been resampled as one. Empty while not known, and always
    // when the stream is not resampled.
    std::span<const std::int16_t> edge_in() const { return edge_in_; }
    std::span<const std::int16_t> edge_out() const { return edge_out_; }
    // Queued behind `tail`: resample so that this stream's frames fall on the tail's grid of output
    // frames continued, which a join of their edges needs to be exact.
    void follow(const StreamSource& tail);
    // Whether a join from this stream's end to `next`'s start can add their edges.
    bool joins(const StreamSource& next) const
    {
        return rate_ == next.rate_ && mix_rate_ == next.mix_rate_ && !edge_out_.empty() && !next.edge_in_.empty();
    }
    // The decoder has reached the end and the mixer has taken the last frame.
    bool played_out() const { return decoded_to_end_ && ring_.size() == 0; }

    // Mixer: takes up to `frames` ready frames, handing them to `use(piece, first_frame)`.
    template <class Use>
    std::size_t take(std::size_t frames, Use&& use)
    {
        const std::size_t n = ring_.take(frames, use);
        taken_ += n;
        return n;
    }

    // --- One step of the decoder thread: begin and finish under the lock, decode without it.
    struct Step {
        std::uint64_t epoch = 0;
        std::optional<std::uint32_t> seek;
        std::size_t frames = 0;  // at most, at the mix rate
        int mix_rate = Mp3Decoder::kRate;
        std::size_t shift = 0;  // own frames of silence before the file, beyond the edge's
    };
    struct Decoded {
        std::size_t frames = 0;
        bool ended = false;
    };
    Step begin_step();
    // File reads and resampling: no lock held. `buffer` takes interleaved stereo at the mix rate.
    Decoded decode(const Step& step, std::span<std::int16_t> buffer);
    void finish_step(const Step& step, const Decoded& decoded, std::span<const std::int16_t> buffer);

private:
    void restart(std::uint32_t frame);  // flush, and decode from `frame`
    std::uint32_t own_frame() const;
    // Decoder thread: a resampler from the file's rate to `mix_rate`, none when they are equal.
    void configure(int mix_rate, std::size_t shift);
    // Decoder thread: the next frames at the mix rate, in the file's channel count, into scratch_.
    std::size_t produce(std::size_t frames);
    // Decoder thread: resamples silence (before the file's first frame or after its last).
    std::size_t produce_silence(std::size_t& frames_left, std::span<std::int16_t> out);

    // The decoder thread's (the opener's before the source is shared).
    std::unique_ptr<Mp3Decoder> decoder_;
    std::unique_ptr<Resampler> resampler_;
    int resampled_to_ = 0;             // the mix rate decoding is set up for; 0 before the first step
    bool failed_ = false;              // no resampler could be made: the stream ends
    std::vector<std::int16_t> input_;  // decoded at the file's rate, not yet resampled
    std::size_t input_at_ = 0, input_frames_ = 0;
    bool input_ended_ = false;  // the decoder has given its last frame
    bool drained_ = false;      // and the resampler too
    std::vector<std::int16_t> scratch_;
    // The edges: silence fed around the file (a whole number of the rates' common period, so the
    // file's first frame falls on an output frame), and what came out of it.
    std::size_t silence_before_ = 0, silence_after_ = 0;
    std::uint64_t lead_ = 0;       // own frames of silence before the file
    std::size_t edge_frames_ = 0;  // output frames of the silence before
    std::uint64_t fed_ = 0;        // file frames given to the resampler
    std::uint64_t made_ = 0;       // frames it gave since it was set up
    std::vector<std::int16_t> edge_in_made_, edge_out_made_;

    // Under the sound lock.
    const int rate_;  // the file's own
    int mix_rate_;
    PcmRing ring_;
    std::uint64_t epoch_ = 0;  // bumped by every seek, so a step begun before it is thrown away
    std::optional<std::uint32_t> pending_seek_;
    bool decoded_to_end_ = false;
    bool closed_ = false;
    std::uint32_t seeked_to_ = 0;  // where the last seek went
    std::uint64_t taken_ = 0;      // mix-rate frames the mixer has taken since
    std::vector<std::int16_t> edge_in_, edge_out_;
    std::size_t shift_ = 0;          // see Step::shift
    std::uint64_t file_frames_ = 0;  // own frames resampled since the last seek, once all are
};

}  // namespace zv
