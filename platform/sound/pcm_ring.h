// A fixed number of interleaved stereo 16-bit frames, first in, first out. It does no locking of
// its own: the sound lock guards it while the decoder thread appends and the mixer takes.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace zv {

class PcmRing {
public:
    explicit PcmRing(std::size_t frames) : capacity_(std::max<std::size_t>(frames, 1)) {}

    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return size_; }
    std::size_t space() const { return capacity() - size_; }
    void clear()
    {
        head_ = 0;
        size_ = 0;
    }

    // Appends as many whole frames of `interleaved` as fit; returns the frames taken.
    std::size_t write(std::span<const std::int16_t> interleaved)
    {
        const std::size_t frames = std::min(interleaved.size() / 2, space());
        // Taken on the first write, uninitialised: a stream opened only for its tags never needs it,
        // and only written frames are ever read.
        if (frames && !samples_) samples_ = std::make_unique_for_overwrite<std::int16_t[]>(capacity_ * 2);
        std::size_t tail = (head_ + size_) % capacity();
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(frames - done, capacity() - tail);
            std::copy_n(interleaved.begin() + static_cast<std::ptrdiff_t>(done * 2), n * 2, samples_.get() + tail * 2);
            done += n;
            tail = (tail + n) % capacity();
        }
        size_ += frames;
        return frames;
    }

    // Hands the oldest `frames` frames (no more than are held) to `use(piece, first_frame)` in at
    // most two contiguous pieces and drops them; returns the frames taken.
    template <class Use>
    std::size_t take(std::size_t frames, Use&& use)
    {
        frames = std::min(frames, size_);
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(frames - done, capacity() - head_);
            use(std::span<const std::int16_t>(samples_.get() + head_ * 2, n * 2), done);
            done += n;
            head_ = (head_ + n) % capacity();
        }
        size_ -= frames;
        return frames;
    }

private:
    std::size_t capacity_;                     // frames
    std::unique_ptr<std::int16_t[]> samples_;  // capacity_ frames once written
    std::size_t head_ = 0;                     // the oldest frame
    std::size_t size_ = 0;
};

}  // namespace zv
