// The sum of the sounding channels for one pass of the output: each channel adds its frames times
// its gain, and the sum is rounded once and clipped to 16 bits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zv {

class ChannelMixer {
public:
    static constexpr int kChannels = 32;
    static constexpr int kFullVolume = 255;
    static constexpr std::int32_t kUnityGain = 1 << 16;
    static constexpr std::size_t kMaxFrames = 2048;  // per pass

    static bool valid(int channel) { return channel >= 0 && channel < kChannels; }

    ChannelMixer() : sum_(kMaxFrames * 2) {}

    // Clears the sum for a pass of `frames` (at most kMaxFrames) frames.
    void begin(std::size_t frames);
    // Adds interleaved frames, starting at frame `at` of the pass, times `gain` (Q16).
    void add(std::span<const std::int16_t> interleaved, std::size_t at, std::int32_t gain);
    // Writes the pass's frames, rounded and clipped.
    void finish(std::int16_t* out) const;

    // The common case of a single source: its frames times `gain` (at most unity), rounded, straight
    // into the output. The same result as a pass with that source alone.
    static void scale(std::span<const std::int16_t> interleaved, std::int16_t* out, std::int32_t gain);

private:
    std::vector<std::int64_t> sum_;  // Q16; 64 bits, so 32 channels at full scale never wrap
    std::size_t frames_ = 0;
};

// The gain of a stored volume in Q16: round(volume × 65536 / 255), volume clamped to 0..255, so
// 255 is exactly unity.
std::int32_t volume_gain_q16(int volume);

}  // namespace zv
