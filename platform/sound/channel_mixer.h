// The 32 software channels: which stream each one plays, its volume, and the sum of their sound.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zv {

class ChannelMixer {
public:
    static constexpr int kChannels = 32;
    static constexpr int kFullVolume = 255;

    struct Channel {
        std::uintptr_t stream = 0;  // handle of the stream sounding here, 0 when free
        int volume = kFullVolume;   // as set, possibly outside 0..255
    };

    static bool valid(int channel) { return channel >= 0 && channel < kChannels; }

    Channel& operator[](int channel) { return channels_[static_cast<std::size_t>(channel)]; }
    const Channel& operator[](int channel) const { return channels_[static_cast<std::size_t>(channel)]; }

    // Lowest channel with nothing playing; -1 when all are busy.
    int lowest_free() const;

    void reset();

    // One render pass with several sources: begin() clears the sum, add() mixes one channel's
    // decoded frames in, finish() writes the clipped sum out.
    void begin(std::size_t frames);
    std::span<std::int16_t> scratch(std::size_t frames);
    void add(int channel, std::span<const std::int16_t> interleaved);
    void finish(std::int16_t* out, std::size_t frames);

    // The common case of one source decoded straight into the output: applies the channel's gain
    // in place (no clipping possible at or below unity).
    void scale_in_place(int channel, std::span<std::int16_t> interleaved) const;

private:
    std::array<Channel, kChannels> channels_{};
    std::vector<std::int32_t> sum_;
    std::vector<std::int16_t> scratch_;
    std::size_t frames_ = 0;
};

// The gain of a stored volume, in 1/256 steps of full scale (256 = unity at 255).
int volume_gain_q8(int volume);

}  // namespace zv
