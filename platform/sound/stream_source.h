// The sound of one open stream as the decoder thread, the mixer and the user-interface side share
// it: the decoder, and a ring of decoded frames ready for the mixer.
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

#include "sound/mp3_decoder.h"
#include "sound/pcm_ring.h"

namespace zv {

class StreamSource {
public:
    static constexpr std::size_t kRingFrames = 49152;  // about 1.1 s at 44 100 Hz
    // The decoder thread is woken once fewer frames than this are ready, and then fills the ring:
    // it decodes in large batches and sleeps between them, and a read that hangs still has about
    // half a second of sound ahead of it.
    static constexpr std::size_t kRefillBelow = kRingFrames / 2;
    // Decoded per step of the decoder thread; what a step has decoded reaches the ring when the step
    // ends, so a read that hangs holds back less than this.
    static constexpr std::size_t kStepFrames = 2048;

    explicit StreamSource(std::unique_ptr<Mp3Decoder> decoder) : decoder_(std::move(decoder)), ring_(kRingFrames) {}

    // --- Under the sound lock.

    // PCM frames the mixer has taken since the start or the last seek, plus where that seek went.
    std::uint32_t position() const { return position_; }
    // Frames per second of position(): the file's own rate.
    int rate() const { return Mp3Decoder::kRate; }
    // Flushes what was decoded and asks the decoder thread to move to `frame` first. Moving to where
    // the stream already is keeps what was decoded, so a pause and resume go on sample-exactly.
    void request_seek(std::uint32_t frame);
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
    // The decoder has reached the end and the mixer has taken the last frame.
    bool played_out() const { return decoded_to_end_ && ring_.size() == 0; }

    // Mixer: takes up to `frames` ready frames, handing them to `use(piece, first_frame)`.
    template <class Use>
    std::size_t take(std::size_t frames, Use&& use)
    {
        const std::size_t n = ring_.take(frames, use);
        position_ += static_cast<std::uint32_t>(n);
        return n;
    }

    // --- One step of the decoder thread: begin and finish under the lock, decode without it.
    struct Step {
        std::uint64_t epoch = 0;
        std::optional<std::uint32_t> seek;
        std::size_t frames = 0;
    };
    struct Decoded {
        std::size_t frames = 0;
        bool ended = false;
    };
    Step begin_step();
    Decoded decode(const Step& step, std::span<std::int16_t> buffer);  // file reads: no lock held
    void finish_step(const Step& step, const Decoded& decoded, std::span<const std::int16_t> buffer);

private:
    std::unique_ptr<Mp3Decoder> decoder_;
    PcmRing ring_;
    std::uint64_t epoch_ = 0;  // bumped by every seek, so a step begun before it is thrown away
    std::optional<std::uint32_t> pending_seek_;
    bool decoded_to_end_ = false;
    bool closed_ = false;
    std::uint32_t position_ = 0;
};

}  // namespace zv
