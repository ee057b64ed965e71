#include "tests/support/sound_measure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

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

double thd_n_db(std::span<const std::int16_t> interleaved, int channels, int rate, double hz)
{
    if (channels < 1 || rate <= 0) return 0.0;
    const std::size_t n = interleaved.size() / static_cast<std::size_t>(channels);
    if (n < 3) return 0.0;
    // Normal equations of x ≈ a·sin + b·cos + c.
    const double w = 2 * std::numbers::pi * hz / rate;
    std::array<std::array<double, 4>, 3> m{};
    for (std::size_t i = 0; i < n; ++i) {
        const std::array<double, 3> basis{std::sin(w * static_cast<double>(i)), std::cos(w * static_cast<double>(i)),
                                          1.0};
        const double x = interleaved[i * static_cast<std::size_t>(channels)];
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) m[r][c] += basis[r] * basis[c];
            m[r][3] += basis[r] * x;
        }
    }
    // Gaussian elimination with partial pivoting.
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 3; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col])) pivot = r;
        std::swap(m[col], m[pivot]);
        if (std::abs(m[col][col]) < 1e-12) return 0.0;
        for (int r = 0; r < 3; ++r) {
            if (r == col) continue;
            const double f = m[r][col] / m[col][col];
            for (int c = col; c < 4; ++c) m[r][c] -= f * m[col][c];
        }
    }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], dc = m[2][3] / m[2][2];
    double signal = 0, residual = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = w * static_cast<double>(i);
        const double fit = a * std::sin(t) + b * std::cos(t);
        const double e = interleaved[i * static_cast<std::size_t>(channels)] - fit - dc;
        signal += fit * fit;
        residual += e * e;
    }
    if (signal <= 0) return 0.0;
    return 10 * std::log10(std::max(residual, 1e-12) / signal);
}

}  // namespace zv::fixtures
