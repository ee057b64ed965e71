#include "sound/channel_mixer.h"

#include <algorithm>

namespace zv {

std::int32_t volume_gain_q16(int volume)
{
    const std::int32_t v = std::clamp(volume, 0, ChannelMixer::kFullVolume);
    return (v * ChannelMixer::kUnityGain + ChannelMixer::kFullVolume / 2) / ChannelMixer::kFullVolume;
}

void ChannelMixer::begin(std::size_t frames)
{
    frames_ = std::min(frames, kMaxFrames);
    std::fill_n(sum_.begin(), frames_ * 2, std::int64_t{0});
}

void ChannelMixer::add(std::span<const std::int16_t> interleaved, std::size_t at, std::int32_t gain)
{
    if (at >= frames_ || gain == 0) return;
    const std::size_t n = std::min(interleaved.size(), (frames_ - at) * 2);
    std::int64_t* sum = sum_.data() + at * 2;
    const std::int16_t* src = interleaved.data();
    for (std::size_t i = 0; i < n; ++i) sum[i] += std::int64_t{src[i]} * gain;
}

void ChannelMixer::scale(std::span<const std::int16_t> interleaved, std::int16_t* out, std::int32_t gain)
{
    if (gain == kUnityGain) {
        std::copy(interleaved.begin(), interleaved.end(), out);
        return;
    }
    // 32 bits suffice at or below unity: |sample × gain| <= 2^31.
    constexpr std::int32_t kHalf = kUnityGain / 2;
    const std::int16_t* src = interleaved.data();
    const std::size_t n = interleaved.size();
    const std::int32_t g = std::clamp(gain, 0, kUnityGain);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp((src[i] * g + kHalf) >> 16, INT16_MIN + 0, INT16_MAX + 0));
}

void ChannelMixer::finish(std::int16_t* out) const
{
    constexpr std::int64_t kHalf = kUnityGain / 2;
    const std::int64_t* sum = sum_.data();
    for (std::size_t i = 0; i < frames_ * 2; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>((sum[i] + kHalf) >> 16, INT16_MIN, INT16_MAX));
}

}  // namespace zv
