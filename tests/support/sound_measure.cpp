#include "tests/support/sound_measure.h"

#include <cmath>

namespace zv::fixtures {

double dominant_frequency(const std::int16_t* stereo, std::size_t frames, int rate)
{
    if (!stereo || frames < 2 || rate <= 0) return 0.0;
    // Rising zero crossings, placed between samples by interpolation; a small dead band keeps
    // codec noise around silence from counting.
    constexpr int kBand = 64;
    double first = -1, last = -1;
    std::size_t count = 0;
    bool below = stereo[0] < -kBand;
    for (std::size_t i = 1; i < frames; ++i) {
        const int v = stereo[i * 2];
        if (v < -kBand) {
            below = true;
        } else if (below && v >= 0) {
            const int prev = stereo[(i - 1) * 2];
            const double at = static_cast<double>(i - 1) + (prev < 0 ? static_cast<double>(-prev) / (v - prev) : 0.0);
            if (first < 0) first = at;
            last = at;
            ++count;
            below = false;
        }
    }
    if (count < 2 || last <= first) return 0.0;
    return static_cast<double>(count - 1) * rate / (last - first);
}

double rms_level(const std::int16_t* stereo, std::size_t frames)
{
    if (!stereo || frames == 0) return 0.0;
    double sum = 0;
    for (std::size_t i = 0; i < frames * 2; ++i) sum += static_cast<double>(stereo[i]) * stereo[i];
    return std::sqrt(sum / static_cast<double>(frames * 2));
}

}  // namespace zv::fixtures
