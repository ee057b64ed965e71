#include "gdi/scaler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "gdi/rect_math.h"

namespace zv {

namespace {

constexpr int kWeightBits = 14;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;

// For each destination index, the source indices it reads and their weights.
struct AxisTaps {
    std::vector<std::uint32_t> first;  // offset into index/weight, one per destination index + 1
    std::vector<std::int32_t> index;
    std::vector<std::int32_t> weight;

    std::size_t count(std::size_t i) const { return first[i + 1] - first[i]; }
};

void normalise(std::vector<double>& w, std::vector<std::int32_t>& out)
{
    double total = 0;
    for (double v : w) total += v;
    std::int32_t sum = 0;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        auto q = static_cast<std::int32_t>(std::lround(w[i] / total * kWeightOne));
        out.push_back(q);
        sum += q;
        if (w[i] > w[largest]) largest = i;
    }
    // Rounding leftovers go to the heaviest tap, so flat areas stay exactly flat.
    out[out.size() - w.size() + largest] += kWeightOne - sum;
}

// dst indices [d0, d1) of a run of length dn mapped onto source [s0, s0 + sn), reading only
// [lo, hi).
AxisTaps build_axis(int d0, int d1, int dn, int s0, int sn, int lo, int hi, bool flip)
{
    AxisTaps t;
    t.first.reserve(static_cast<std::size_t>(d1 - d0) + 1);
    const double scale = static_cast<double>(sn) / dn;
    std::vector<double> w;
    std::vector<std::int32_t> idx;
    for (int i = d0; i < d1; ++i) {
        const int ii = flip ? dn - 1 - i : i;
        t.first.push_back(static_cast<std::uint32_t>(t.index.size()));
        w.clear();
        idx.clear();
        if (scale > 1.0) {
            const double a = s0 + ii * scale;
            const double b = a + scale;
            const int j0 = std::max(lo, static_cast<int>(std::floor(a)));
            const int j1 = std::min(hi, static_cast<int>(std::ceil(b)));
            for (int j = j0; j < j1; ++j) {
                const double ov = std::min<double>(j + 1, b) - std::max<double>(j, a);
                if (ov > 1e-9) {
                    idx.push_back(j);
                    w.push_back(ov);
                }
            }
            if (idx.empty()) {
                idx.push_back(std::clamp(static_cast<int>(std::floor(a)), lo, hi - 1));
                w.push_back(1.0);
            }
        } else {
            const double c = s0 + (ii + 0.5) * scale - 0.5;
            const double fl = std::floor(c);
            const double f = c - fl;
            const int j = static_cast<int>(fl);
            idx.push_back(std::clamp(j, lo, hi - 1));
            w.push_back(1.0 - f);
            if (f > 1e-9) {
                idx.push_back(std::clamp(j + 1, lo, hi - 1));
                w.push_back(f);
            }
        }
        t.index.insert(t.index.end(), idx.begin(), idx.end());
        normalise(w, t.weight);
    }
    t.first.push_back(static_cast<std::uint32_t>(t.index.size()));
    return t;
}

// Source rows resampled horizontally, cached by row; rows are visited in near order.
class RowCache {
public:
    RowCache(const Surface& src, const AxisTaps& xt, std::size_t width) : src_(src), xt_(xt), width_(width)
    {
        for (auto& s : slots_) s.data.resize(width);
    }

    const std::uint32_t* row(int y)
    {
        Slot& s = slots_[static_cast<std::size_t>(y) % slots_.size()];
        if (s.y != y) {
            resample(src_.row(y), s.data.data());
            s.y = y;
        }
        return s.data.data();
    }

private:
    void resample(const std::uint32_t* in, std::uint32_t* out) const
    {
        for (std::size_t x = 0; x < width_; ++x) {
            std::uint32_t r = 0, g = 0, b = 0;
            const std::size_t n = xt_.count(x);
            const std::int32_t* ix = &xt_.index[xt_.first[x]];
            const std::int32_t* wt = &xt_.weight[xt_.first[x]];
            for (std::size_t k = 0; k < n; ++k) {
                const std::uint32_t p = in[ix[k]];
                const auto w = static_cast<std::uint32_t>(wt[k]);
                r += ((p >> 16) & 0xFF) * w;
                g += ((p >> 8) & 0xFF) * w;
                b += (p & 0xFF) * w;
            }
            constexpr std::uint32_t half = kWeightOne / 2;
            out[x] = (((r + half) >> kWeightBits) << 16) | (((g + half) >> kWeightBits) << 8) |
                     ((b + half) >> kWeightBits);
        }
    }

    struct Slot {
        int y = -1;
        std::vector<std::uint32_t> data;
    };
    const Surface& src_;
    const AxisTaps& xt_;
    std::size_t width_;
    std::array<Slot, 16> slots_;
};

}  // namespace

void stretch_copy(Surface& dst, const Surface& src, const StretchParams& p)
{
    const RECT& d = p.dst_rect;
    const RECT c = rect_intersect(rect_intersect(d, p.dst_clip), dst.bounds());
    const RECT v = rect_intersect(p.src_valid, src.bounds());
    if (rect_empty(c) || rect_empty(v)) return;

    // Reading and writing one surface: resample from a snapshot.
    Surface snapshot;
    const Surface* in = &src;
    if (&src == &dst) {
        snapshot = src;
        in = &snapshot;
    }

    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int sw = p.src_rect.right - p.src_rect.left, sh = p.src_rect.bottom - p.src_rect.top;
    const AxisTaps xt = build_axis(c.left - d.left, c.right - d.left, dw, p.src_rect.left, sw, v.left, v.right,
                                   p.flip_x);
    const AxisTaps yt = build_axis(c.top - d.top, c.bottom - d.top, dh, p.src_rect.top, sh, v.top, v.bottom,
                                   p.flip_y);
    const auto cw = static_cast<std::size_t>(c.right - c.left);
    RowCache rows(*in, xt, cw);
    std::vector<std::uint32_t> acc(cw * 3);

    for (LONG y = c.top; y < c.bottom; ++y) {
        const std::size_t yi = static_cast<std::size_t>(y - c.top);
        std::uint32_t* out = dst.row(y) + c.left;
        const std::size_t n = yt.count(yi);
        if (n == 1) {
            const std::uint32_t* r = rows.row(yt.index[yt.first[yi]]);
            std::copy(r, r + cw, out);
            continue;
        }
        std::fill(acc.begin(), acc.end(), 0u);
        for (std::size_t k = 0; k < n; ++k) {
            const std::uint32_t* r = rows.row(yt.index[yt.first[yi] + k]);
            const auto w = static_cast<std::uint32_t>(yt.weight[yt.first[yi] + k]);
            for (std::size_t x = 0; x < cw; ++x) {
                acc[3 * x] += ((r[x] >> 16) & 0xFF) * w;
                acc[3 * x + 1] += ((r[x] >> 8) & 0xFF) * w;
                acc[3 * x + 2] += (r[x] & 0xFF) * w;
            }
        }
        constexpr std::uint32_t half = kWeightOne / 2;
        for (std::size_t x = 0; x < cw; ++x)
            out[x] = (((acc[3 * x] + half) >> kWeightBits) << 16) | (((acc[3 * x + 1] + half) >> kWeightBits) << 8) |
                     ((acc[3 * x + 2] + half) >> kWeightBits);
    }
}

}  // namespace zv
