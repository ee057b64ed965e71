#include "gdi/scaler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "gdi/pixel_ops.h"
#include "gdi/rect_math.h"

namespace zv {

namespace {

// Weights are 8-bit so that red and blue share one 32-bit multiply-accumulate (each lane stays
// below 2^16); every destination pixel's weights sum to exactly 256, so flat areas stay flat.
constexpr std::uint32_t kWeightOne = 256;

// Per destination index: a contiguous run of source indices and their weights.
struct AxisTaps {
    std::vector<std::int32_t> start;
    std::vector<std::uint32_t> first;  // offset into weight; one extra entry at the end
    std::vector<std::uint32_t> weight;

    std::size_t count(std::size_t i) const { return first[i + 1] - first[i]; }
};

// Appends one destination index's taps: `idx` ascending (clamping may repeat an index; repeats
// are merged), `w` any positive weights.
void add_taps(AxisTaps& t, const std::vector<int>& idx, const std::vector<double>& w)
{
    std::vector<int> ix;
    std::vector<double> wt;
    for (std::size_t k = 0; k < idx.size(); ++k) {
        if (!ix.empty() && ix.back() == idx[k]) {
            wt.back() += w[k];
        } else {
            ix.push_back(idx[k]);
            wt.push_back(w[k]);
        }
    }
    double total = 0;
    for (double v : wt) total += v;
    t.start.push_back(ix.front());
    t.first.push_back(static_cast<std::uint32_t>(t.weight.size()));
    std::uint32_t sum = 0;
    std::size_t largest = 0;
    for (std::size_t k = 0; k < wt.size(); ++k) {
        const auto q = static_cast<std::uint32_t>(std::lround(wt[k] / total * kWeightOne));
        t.weight.push_back(q);
        sum += q;
        if (wt[k] > wt[largest]) largest = k;
    }
    std::uint32_t& heaviest = t.weight[t.weight.size() - wt.size() + largest];
    heaviest = heaviest + kWeightOne - sum;
}

// dst indices [d0, d1) of a run of length dn mapped onto source [s0, s0 + sn), reading only
// [lo, hi). Area average when shrinking, bilinear when growing.
AxisTaps build_axis(int d0, int d1, int dn, int s0, int sn, int lo, int hi, bool flip)
{
    AxisTaps t;
    t.start.reserve(static_cast<std::size_t>(d1 - d0));
    t.first.reserve(static_cast<std::size_t>(d1 - d0) + 1);
    const double scale = static_cast<double>(sn) / dn;
    std::vector<double> w;
    std::vector<int> idx;
    for (int i = d0; i < d1; ++i) {
        const int ii = flip ? dn - 1 - i : i;
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
        add_taps(t, idx, w);
    }
    t.first.push_back(static_cast<std::uint32_t>(t.weight.size()));
    return t;
}

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
    const AxisTaps xt =
        build_axis(c.left - d.left, c.right - d.left, dw, p.src_rect.left, sw, v.left, v.right, p.flip_x);
    const AxisTaps yt =
        build_axis(c.top - d.top, c.bottom - d.top, dh, p.src_rect.top, sh, v.top, v.bottom, p.flip_y);
    // Only the source columns some destination pixel reads.
    int col0 = v.right, col1 = v.left;
    for (std::size_t i = 0; i < xt.start.size(); ++i) {
        col0 = std::min(col0, xt.start[i]);
        col1 = std::max(col1, xt.start[i] + static_cast<int>(xt.count(i)));
    }
    const auto ncols = static_cast<std::size_t>(col1 - col0);
    std::vector<std::uint32_t> column(ncols), acc_rb(ncols), acc_g(ncols);

    // Vertical first: each destination row is a weighted sum of whole source rows (a vector
    // loop), then each pixel of that row is resampled across.
    for (LONG y = c.top; y < c.bottom; ++y) {
        const auto yi = static_cast<std::size_t>(y - c.top);
        const std::size_t n = yt.count(yi);
        const std::uint32_t* line;
        if (n == 1) {
            line = in->row(yt.start[yi]) + col0;
        } else {
            std::fill(acc_rb.begin(), acc_rb.end(), 0u);
            std::fill(acc_g.begin(), acc_g.end(), 0u);
            for (std::size_t k = 0; k < n; ++k) {
                const std::uint32_t* r = in->row(yt.start[yi] + static_cast<int>(k)) + col0;
                const std::uint32_t w = yt.weight[yt.first[yi] + k];
                accumulate_weighted(acc_rb.data(), acc_g.data(), r, ncols, w);
            }
            for (std::size_t x = 0; x < ncols; ++x) column[x] = pack_weighted(acc_rb[x], acc_g[x]);
            line = column.data();
        }
        std::uint32_t* out = dst.row(y) + c.left;
        for (std::size_t x = 0; x < xt.start.size(); ++x) {
            const std::uint32_t* s = line + (xt.start[x] - col0);
            const std::uint32_t* w = &xt.weight[xt.first[x]];
            const std::size_t m = xt.count(x);
            std::uint32_t rb = 0, g = 0;
            for (std::size_t k = 0; k < m; ++k) {
                rb += (s[k] & 0x00FF00FFu) * w[k];
                g += ((s[k] >> 8) & 0xFFu) * w[k];
            }
            out[x] = pack_weighted(rb, g);
        }
    }
}

}  // namespace zv
