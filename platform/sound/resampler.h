// A stream resampler for interleaved 16-bit sound, over libsoxr at high quality: linear phase,
// the output aligned with the input (no filter delay to account for).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

struct soxr;

namespace zv {

class Resampler {
public:
    // Null when the rates or the channel count are out of range or libsoxr refuses them.
    static std::unique_ptr<Resampler> create(int in_rate, int out_rate, int channels);

    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    int channels() const { return channels_; }

    struct Done {
        std::size_t in = 0;   // input frames consumed
        std::size_t out = 0;  // output frames written
    };
    // Takes what it can of `in` and writes what it has of the output into `out` (both interleaved
    // with channels() samples a frame). Input it did not take must be handed again.
    Done process(std::span<const std::int16_t> in, std::span<std::int16_t> out);
    // After the last input: writes what the filter still holds; 0 once all of it is out.
    std::size_t flush(std::span<std::int16_t> out);
    // Forgets the signal so far, ready for another from its start (after a seek).
    void clear();

private:
    Resampler(soxr* handle, int channels) : handle_(handle), channels_(channels) {}

    soxr* handle_;
    int channels_;
};

}  // namespace zv
