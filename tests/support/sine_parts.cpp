#include "tests/support/sine_parts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sound/channel_mixer.h"
#include "sound/mp3_decoder.h"
#include "sound/resampler.h"
#include "tools/fixtures.h"

namespace zv::test {

namespace {

constexpr int kQuiet = 64;  // a sample this near zero is silence; the sine passes zero in one
constexpr std::size_t kFitFrames = 2048;
constexpr std::size_t kNearJoin = 256;

double left(const std::vector<std::int16_t>& pcm, std::size_t frame) { return pcm[frame * 2]; }

}  // namespace

SineParts write_sine_parts(const std::filesystem::path& folder, int rate, std::size_t frames,
                           const std::vector<std::size_t>& cuts, const std::string& stem)
{
    SineParts parts;
    parts.rate = rate;
    parts.frames = frames;
    parts.joins = cuts;
    std::vector<std::int16_t> pcm(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = parts.amplitude * std::sin(2 * std::numbers::pi * parts.hz * static_cast<double>(i) / rate);
        pcm[i * 2] = pcm[i * 2 + 1] = static_cast<std::int16_t>(std::lround(v));
    }
    std::vector<std::size_t> bounds = cuts;
    bounds.insert(bounds.begin(), 0);
    bounds.push_back(frames);
    fixtures::Mp3Tags tags;
    tags.id3v2_version = 0;
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
        const auto path = folder / (stem + std::to_string(k + 1) + ".mp3");
        const std::span<const std::int16_t> piece(pcm.data() + bounds[k] * 2, (bounds[k + 1] - bounds[k]) * 2);
        if (!fixtures::write_pcm_mp3(path, piece, rate, 2, 192, tags)) return {};
        parts.paths.push_back(path.string());
    }
    return parts;
}

JoinHearing hear_joins(const std::vector<std::int16_t>& heard, int rate, const SineParts& parts)
{
    JoinHearing h;
    const std::size_t frames = heard.size() / 2;
    std::size_t first = 0;
    while (first < frames && std::abs(left(heard, first)) < kQuiet) ++first;
    std::size_t last = frames;
    while (last > first && std::abs(left(heard, last - 1)) < kQuiet) --last;
    if (first == frames) return h;
    // The sine starts at zero: its first frame is the one before the first that sounds.
    h.start = first > 0 ? first - 1 : 0;
    h.length = last - h.start;
    for (std::size_t i = first, run = 0; i < last; ++i) {
        run = std::abs(left(heard, i)) < kQuiet ? run + 1 : 0;
        h.longest_quiet = std::max(h.longest_quiet, run);
    }
    const double w = 2 * std::numbers::pi * parts.hz / rate;
    // Least squares a·sin + b·cos over `count` frames from `from`; then the largest distance of
    // the frames in [lo, hi) from that sine, as a share of the amplitude.
    auto stray = [&](std::size_t from, std::size_t count, std::size_t lo, std::size_t hi) {
        if (lo < from || hi > frames || from + count > frames) return 1.0;
        double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            const double s = std::sin(w * static_cast<double>(i)), c = std::cos(w * static_cast<double>(i));
            const double y = left(heard, i);
            ss += s * s, sc += s * c, cc += c * c, ys += y * s, yc += y * c;
        }
        const double det = ss * cc - sc * sc;
        const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
        double worst = 0;
        for (std::size_t i = lo; i < hi; ++i) {
            const double fit = a * std::sin(w * static_cast<double>(i)) + b * std::cos(w * static_cast<double>(i));
            worst = std::max(worst, std::abs(left(heard, i) - fit));
        }
        return worst / parts.amplitude;
    };
    auto at_rate = [&](std::size_t source_frame) {
        return static_cast<std::size_t>(std::llround(static_cast<double>(source_frame) * rate / parts.rate));
    };
    for (std::size_t join_in_source : parts.joins) {
        const std::size_t join = h.start + at_rate(join_in_source);
        const std::size_t fit_from = join > kNearJoin + kFitFrames ? join - kNearJoin - kFitFrames : 0;
        h.deviation.push_back(stray(fit_from, kFitFrames, join - kNearJoin, join + kNearJoin));
    }
    // The encoder's first and last few frames are left out: they ramp.
    h.whole_deviation =
        stray(h.start + kNearJoin, kFitFrames, h.start + kNearJoin, h.start + at_rate(parts.frames) - kNearJoin);
    return h;
}

std::vector<std::int16_t> as_one_stream(const SineParts& parts, int rate, int volume)
{
    std::vector<std::int16_t> joined;
    for (const std::string& p : parts.paths) {
        std::vector<std::int16_t> pcm(parts.frames * 2);
        pcm.resize(Mp3Decoder::open(p)->read(pcm) * 2);
        joined.insert(joined.end(), pcm.begin(), pcm.end());
    }
    std::vector<std::int16_t> out = joined;
    if (parts.rate != rate) {
        out.assign(joined.size() * 2 + 8192, 0);
        auto r = Resampler::create(parts.rate, rate, 2);
        std::size_t made = 0;
        for (std::size_t in = 0; in < joined.size();) {
            const auto done = r->process(std::span(joined).subspan(in), std::span(out).subspan(made));
            in += done.in * 2;
            made += done.out * 2;
        }
        while (const std::size_t n = r->flush(std::span(out).subspan(made))) made += n * 2;
        out.resize(made);
    }
    std::vector<std::int16_t> heard(out.size());
    ChannelMixer::scale(out, heard.data(), volume_gain_q16(volume));
    return heard;
}

}  // namespace zv::test
