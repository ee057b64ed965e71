#include "gdi/scaler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gdi/pixel_ops.h"
#include "gdi/rect_math.h"

// The resampling loops are built twice, and the AVX2 build is taken where the CPU has it. Not
// under the thread sanitizer: the choice is made by a resolver that runs while the program is
// being loaded, before that sanitizer's runtime is ready.
#if defined(__SANITIZE_THREAD__)
#define ZV_VECTOR_CLONES
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZV_VECTOR_CLONES
#endif
#endif
#ifndef ZV_VECTOR_CLONES
#define ZV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif

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
// are merged, in place), `w` any positive weights. The weights are quantised from their running
// sum, so they add up to exactly kWeightOne however many there are, and none goes negative.
void add_taps(AxisTaps& t, std::vector<int>& idx, std::vector<double>& w)
{
    std::size_t n = 0;
    for (std::size_t k = 0; k < idx.size(); ++k) {
        if (n > 0 && idx[n - 1] == idx[k]) {
            w[n - 1] += w[k];
        } else {
            idx[n] = idx[k];
            w[n] = w[k];
            ++n;
        }
    }
    double total = 0;
    for (std::size_t k = 0; k < n; ++k) total += w[k];
    t.start.push_back(idx[0]);
    t.first.push_back(static_cast<std::uint32_t>(t.weight.size()));
    double running = 0;
    std::uint32_t given = 0;
    for (std::size_t k = 0; k < n; ++k) {
        running += w[k];
        const auto upto =
            k + 1 == n ? kWeightOne
                       : std::min(kWeightOne, static_cast<std::uint32_t>(std::lround(running / total * kWeightOne)));
        t.weight.push_back(upto > given ? upto - given : 0);
        given = std::max(given, upto);
    }
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

// out[i] = the weighted sum of rows[k][i] over k, each channel rounded back to 8 bits. Red and
// blue share one 32-bit word as two 16-bit lanes, green has its own; with weights <= 256 that sum
// to 256, no lane overflows, so 16-bit multiplies do. Eight pixels a step, their sums kept in
// registers across the rows.
using Pixel8 = std::uint32_t __attribute__((vector_size(32)));
using Lane16 = std::uint16_t __attribute__((vector_size(32)));
// Weights as plain arrays, read with memcpy: without AVX the compiler aligns a 32-byte vector
// to 16 bytes only, so a stored Lane16 may not be where the AVX2 build's aligned loads expect.
using LaneWeights = std::array<std::uint16_t, 16>;

ZV_VECTOR_CLONES void blend_rows(std::uint32_t* out, const std::uint32_t* const* rows, const LaneWeights* weights,
                                 std::size_t row_count, std::size_t n)
{
    constexpr std::size_t kStep = 8;
    const Pixel8 mrb = Pixel8{} + 0x00FF00FFu;
    const Pixel8 m8 = Pixel8{} + 0xFFu;
    const Pixel8 half_rb = Pixel8{} + 0x00800080u;
    const Pixel8 half_g = Pixel8{} + 0x80u;
    const Pixel8 mg = Pixel8{} + 0xFF00u;
    std::size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        Lane16 rb = {}, g = {};
        for (std::size_t k = 0; k < row_count; ++k) {
            Pixel8 s;
            std::memcpy(&s, rows[k] + i, sizeof s);
            const Pixel8 srb = s & mrb, sg = (s >> 8) & m8;
            Lane16 lrb, lg;
            std::memcpy(&lrb, &srb, sizeof lrb);
            std::memcpy(&lg, &sg, sizeof lg);
            Lane16 w;
            std::memcpy(&w, weights[k].data(), sizeof w);
            rb += lrb * w;
            g += lg * w;
        }
        Pixel8 vrb, vg;
        std::memcpy(&vrb, &rb, sizeof vrb);
        std::memcpy(&vg, &g, sizeof vg);
        const Pixel8 packed = (((vrb + half_rb) >> 8) & mrb) | ((vg + half_g) & mg);
        std::memcpy(out + i, &packed, sizeof packed);
    }
    for (; i < n; ++i) {
        std::uint32_t rb = 0, g = 0;
        for (std::size_t k = 0; k < row_count; ++k) {
            rb += (rows[k][i] & 0x00FF00FFu) * weights[k][0];
            g += ((rows[k][i] >> 8) & 0xFFu) * weights[k][0];
        }
        out[i] = (((rb + 0x00800080u) >> 8) & 0x00FF00FFu) | ((g + 0x80u) & 0xFF00u);
    }
}

// The horizontal taps laid out for a vector kernel: each destination pixel reads its source run
// four pixels at a time, their channels widened to 16-bit lanes and multiplied by each pixel's
// weight repeated over its four lanes. A run that is not a multiple of four gets zero-weighted
// extra pixels, so the line it reads needs kLineSlack pixels past its end.
constexpr std::size_t kQuad = 4;
constexpr std::size_t kLineSlack = kQuad - 1;
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
using Bytes4 = std::uint8_t __attribute__((vector_size(4)));
using Lane8 = std::uint16_t __attribute__((vector_size(16)));
using Lane4 = std::uint16_t __attribute__((vector_size(8)));

struct QuadTaps {
    std::vector<std::int32_t> start;   // relative to the line's first column
    std::vector<std::uint32_t> first;  // offset into weight, in quads; one extra entry at the end
    std::vector<LaneWeights> weight;
};

QuadTaps group_taps(const AxisTaps& t, int col0)
{
    QuadTaps q;
    const std::size_t n = t.start.size();
    q.start.reserve(n);
    q.first.reserve(n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        q.start.push_back(t.start[i] - col0);
        q.first.push_back(static_cast<std::uint32_t>(q.weight.size()));
        const std::uint32_t* w = &t.weight[t.first[i]];
        const std::size_t m = t.count(i);
        for (std::size_t k = 0; k < m; k += kQuad) {
            LaneWeights lanes = {};
            for (std::size_t p = 0; p < kQuad && k + p < m; ++p)
                for (std::size_t c = 0; c < 4; ++c) lanes[p * 4 + c] = static_cast<std::uint16_t>(w[k + p]);
            q.weight.push_back(lanes);
        }
    }
    q.first.push_back(static_cast<std::uint32_t>(q.weight.size()));
    return q;
}

ZV_VECTOR_CLONES void resample_line(std::uint32_t* out, const std::uint32_t* line, const QuadTaps& t)
{
    const std::size_t n = t.start.size();
    for (std::size_t x = 0; x < n; ++x) {
        const auto* s = reinterpret_cast<const std::uint8_t*>(line + t.start[x]);
        const LaneWeights* w = &t.weight[t.first[x]];
        const std::size_t quads = t.first[x + 1] - t.first[x];
        Lane16 acc = {};
        for (std::size_t k = 0; k < quads; ++k) {
            Bytes16 four;
            std::memcpy(&four, s + 16 * k, sizeof four);
            Lane16 wk;
            std::memcpy(&wk, w[k].data(), sizeof wk);
            acc += __builtin_convertvector(four, Lane16) * wk;
        }
        // The four pixels' sums of each channel, added (each stays below 2^16, as the weights sum
        // to 256), rounded back to 8 bits.
        const Lane8 two = __builtin_shufflevector(acc, acc, 0, 1, 2, 3, 4, 5, 6, 7) +
                          __builtin_shufflevector(acc, acc, 8, 9, 10, 11, 12, 13, 14, 15);
        const Lane4 one = __builtin_shufflevector(two, two, 0, 1, 2, 3) + __builtin_shufflevector(two, two, 4, 5, 6, 7);
        const Bytes4 px = __builtin_convertvector((one + 0x80) >> 8, Bytes4);
        std::uint32_t v;
        std::memcpy(&v, &px, sizeof v);
        out[x] = v & 0x00FFFFFFu;
    }
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
    const AxisTaps yt = build_axis(c.top - d.top, c.bottom - d.top, dh, p.src_rect.top, sh, v.top, v.bottom, p.flip_y);
    // Only the source columns some destination pixel reads.
    int col0 = v.right, col1 = v.left;
    for (std::size_t i = 0; i < xt.start.size(); ++i) {
        col0 = std::min(col0, xt.start[i]);
        col1 = std::max(col1, xt.start[i] + static_cast<int>(xt.count(i)));
    }
    const auto ncols = static_cast<std::size_t>(col1 - col0);
    const QuadTaps xq = group_taps(xt, col0);
    // One source column per destination pixel, in order (a shrink in height only, such as a
    // reduced JPEG decode already at the destination's width): the line is copied, not resampled.
    bool copy_across = !p.flip_x && ncols == xt.start.size();
    for (std::size_t i = 0; copy_across && i < xt.start.size(); ++i)
        copy_across = xt.count(i) == 1 && xt.start[i] == col0 + static_cast<int>(i);
    std::vector<std::uint32_t> line(ncols + kLineSlack, 0);  // the slack stays zero
    std::vector<const std::uint32_t*> rows;
    // Each vertical weight spread over a vector, once, for every destination row to use.
    std::vector<LaneWeights> row_weights(yt.weight.size());
    for (std::size_t k = 0; k < yt.weight.size(); ++k) row_weights[k].fill(static_cast<std::uint16_t>(yt.weight[k]));

    // Vertical first: each destination row is a weighted sum of whole source rows (a vector
    // loop), then each pixel of that row is resampled across.
    for (LONG y = c.top; y < c.bottom; ++y) {
        const auto yi = static_cast<std::size_t>(y - c.top);
        const std::size_t n = yt.count(yi);
        if (n == 1) {
            std::memcpy(line.data(), in->row(yt.start[yi]) + col0, ncols * sizeof(std::uint32_t));
        } else {
            rows.clear();
            for (std::size_t k = 0; k < n; ++k) rows.push_back(in->row(yt.start[yi] + static_cast<int>(k)) + col0);
            blend_rows(line.data(), rows.data(), &row_weights[yt.first[yi]], n, ncols);
        }
        std::uint32_t* out = dst.row(y) + c.left;
        if (copy_across) {
            for (std::size_t i = 0; i < ncols; ++i) out[i] = line[i] & 0x00FFFFFFu;
        } else {
            resample_line(out, line.data(), xq);
        }
    }
}

}  // namespace zv
