#include "tools/dense_track.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

#include "tools/fixtures.h"

namespace zv::fixtures {

bool write_dense_track_to(const std::filesystem::path& p, int seconds, int rate)
{
    const std::size_t frames = static_cast<std::size_t>(seconds) * static_cast<std::size_t>(rate);
    std::vector<std::int16_t> pcm(frames * 2);
    unsigned noise = 1;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        for (double hz : {110.0, 220.0, 277.2, 329.6, 440.0, 659.3, 1318.5, 2637.0})
            v += std::sin(2 * std::numbers::pi * hz * t) * (0.12 + 0.05 * std::sin(t * hz / 200));
        noise = noise * 1664525u + 1013904223u;
        v += 0.05 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        const auto s = static_cast<std::int16_t>(std::clamp(v, -1.0, 1.0) * 30000);
        pcm[i * 2] = s;
        pcm[i * 2 + 1] = static_cast<std::int16_t>(s / 2 + (pcm[i * 2] >> 2));
    }
    Mp3Tags tags;
    tags.id3v2_version = 0;
    return write_pcm_mp3(p, pcm, rate, 2, 320, tags);
}

std::string write_dense_track(const char* name, int seconds, int rate)
{
    const auto p = std::filesystem::temp_directory_path() / name;
    if (!write_dense_track_to(p, seconds, rate)) std::fprintf(stderr, "cannot write %s\n", p.c_str());
    return p.string();
}

}  // namespace zv::fixtures
