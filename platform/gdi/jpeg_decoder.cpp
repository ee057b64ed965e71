#include <turbojpeg.h>

#include <bit>
#include <cstring>

#include "gdi/image_decoders.h"

namespace zv {

namespace {
struct TjHandle {
    tjhandle h = tjInitDecompress();
    ~TjHandle()
    {
        if (h) tjDestroy(h);
    }
};

// The largest DCT scale (at most 1) that brings the longer side to kJpegTargetSide or less.
tjscalingfactor pick_scale(int w, int h)
{
    tjscalingfactor best{1, 1};
    const int longer = w > h ? w : h;
    if (longer <= kJpegTargetSide) return best;
    int n = 0;
    tjscalingfactor* f = tjGetScalingFactors(&n);
    double best_ratio = 0;
    for (int i = 0; f && i < n; ++i) {
        if (f[i].num > f[i].denom) continue;
        const double ratio = static_cast<double>(f[i].num) / f[i].denom;
        if (TJSCALED(longer, f[i]) <= kJpegTargetSide && ratio > best_ratio) {
            best = f[i];
            best_ratio = ratio;
        }
    }
    return best;
}
}  // namespace

std::shared_ptr<Surface> decode_jpeg(std::span<const std::uint8_t> data)
{
    TjHandle tj;
    if (!tj.h || data.empty()) return nullptr;
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    auto* buf = const_cast<unsigned char*>(data.data());
    const auto size = static_cast<unsigned long>(data.size());
    if (tjDecompressHeader3(tj.h, buf, size, &w, &h, &subsamp, &colorspace) != 0) return nullptr;
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide ||
        std::int64_t{w} * h > kMaxPicturePixels)
        return nullptr;
    const tjscalingfactor sf = pick_scale(w, h);
    const int sw = TJSCALED(w, sf), sh = TJSCALED(h, sf);
    if (sw <= 0 || sh <= 0) return nullptr;
    auto out = std::make_shared<Surface>(Surface::uninitialized(sw, sh));
    const int format = std::endian::native == std::endian::little ? TJPF_BGRX : TJPF_XRGB;
    if (tjDecompress2(tj.h, buf, size, reinterpret_cast<unsigned char*>(out->pixels().data()), sw, sw * 4, sh,
                      format, TJFLAG_ACCURATEDCT) != 0) {
        // Harmless oddities (stray bytes between markers) are warnings; a picture that ends early
        // is damaged and not shown.
        if (tjGetErrorCode(tj.h) == TJERR_FATAL) return nullptr;
        const char* msg = tjGetErrorStr2(tj.h);
        if (msg && (std::strstr(msg, "Premature end") || std::strstr(msg, "premature end"))) return nullptr;
    }
    for (auto& p : out->pixels()) p &= 0x00FFFFFFu;
    return out;
}

}  // namespace zv
