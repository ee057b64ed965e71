#include "sound/channel_mixer.h"

#include <algorithm>

namespace zv {

int volume_gain_q8(int volume)
{
    const int v = std::clamp(volume, 0, ChannelMixer::kFullVolume);
    // Rounded so 255 is exactly unity.
    return (v * 256 + ChannelMixer::kFullVolume / 2) / ChannelMixer::kFullVolume;
}

int ChannelMixer::lowest_free() const
{
    for (int i = 0; i < kChannels; ++i)
        if (channels_[static_cast<std::size_t>(i)].stream == 0) return i;
    return -1;
}

void ChannelMixer::reset() { channels_ = {}; }

void ChannelMixer::begin(std::size_t frames)
{
    frames_ = frames;
    if (sum_.size() < frames * 2) sum_.resize(frames * 2);
    std::fill_n(sum_.begin(), frames * 2, 0);
}

std::span<std::int16_t> ChannelMixer::scratch(std::size_t frames)
{
    if (scratch_.size() < frames * 2) scratch_.resize(frames * 2);
    return {scratch_.data(), frames * 2};
}

void ChannelMixer::add(int channel, std::span<const std::int16_t> interleaved)
{
    const int gain = volume_gain_q8((*this)[channel].volume);
    const std::size_t n = std::min(interleaved.size(), frames_ * 2);
    std::int32_t* sum = sum_.data();
    const std::int16_t* src = interleaved.data();
    for (std::size_t i = 0; i < n; ++i) sum[i] += (src[i] * gain) >> 8;
}

void ChannelMixer::scale_in_place(int channel, std::span<std::int16_t> interleaved) const
{
    const int gain = volume_gain_q8((*this)[channel].volume);
    if (gain == 256) return;
    std::int16_t* p = interleaved.data();
    const std::size_t n = interleaved.size();
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::int16_t>((p[i] * gain) >> 8);
}

void ChannelMixer::finish(std::int16_t* out, std::size_t frames)
{
    const std::size_t n = std::min(frames, frames_) * 2;
    const std::int32_t* sum = sum_.data();
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(sum[i], INT16_MIN, INT16_MAX));
    std::fill(out + n, out + frames * 2, std::int16_t{0});
}

}  // namespace zv
