#include "sound/resampler.h"

#include <soxr.h>

namespace zv {

std::unique_ptr<Resampler> Resampler::create(int in_rate, int out_rate, int channels)
{
    // MPEG audio has 8 to 48 kHz and one or two channels; devices stay within these bounds.
    if (in_rate < 1000 || in_rate > 768000 || out_rate < 1000 || out_rate > 768000) return nullptr;
    if (channels < 1 || channels > 2) return nullptr;
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    // Rounded to 16 bits, not dithered: dither would add more noise than rounding does, and the
    // mixer's gain rounds after it without dither anyway.
    io.flags = SOXR_NO_DITHER;
    // High quality (20 bits): flat to about 91 % of the lower rate's Nyquist frequency, aliases
    // below what 16 bits hold, in single precision. Very high (28 bits) works in double precision
    // at half as much again for nothing a 16-bit output can carry.
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // the decoder thread is the thread
    soxr_error_t error = nullptr;
    soxr_t h = soxr_create(in_rate, out_rate, static_cast<unsigned>(channels), &error, &io, &quality, &runtime);
    if (!h || error) {
        if (h) soxr_delete(h);
        return nullptr;
    }
    return std::unique_ptr<Resampler>(new Resampler(h, channels));
}

Resampler::~Resampler() { soxr_delete(handle_); }

Resampler::Done Resampler::process(std::span<const std::int16_t> in, std::span<std::int16_t> out)
{
    const auto ch = static_cast<std::size_t>(channels_);
    Done d;
    // soxr reads a null input as the end of the signal: nothing to give is not that.
    if (in.size() < ch || out.size() < ch) return d;
    if (soxr_process(handle_, in.data(), in.size() / ch, &d.in, out.data(), out.size() / ch, &d.out)) return {};
    return d;
}

std::size_t Resampler::flush(std::span<std::int16_t> out)
{
    const auto ch = static_cast<std::size_t>(channels_);
    if (out.size() < ch) return 0;
    std::size_t done = 0;
    if (soxr_process(handle_, nullptr, 0, nullptr, out.data(), out.size() / ch, &done)) return 0;
    return done;
}

void Resampler::clear() { soxr_clear(handle_); }

}  // namespace zv
