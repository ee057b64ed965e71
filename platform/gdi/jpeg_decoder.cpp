// JPEG through libjpeg-turbo's scanline interface: rows arrive a few at a time, so the filler
// byte of each is cleared while the row is still in the cache rather than in a second pass over
// the whole picture.
#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "gdi/image_decoders.h"
#include "gdi/pixel_ops.h"

namespace zv {

namespace {

// libjpeg reports errors through a callback that must not return; it jumps back to the phase
// that called into the library. Each phase below holds only plain data, so the jump skips no
// destructor.
struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf escape;
    bool data_missing = false;
};

[[noreturn]] void on_error(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1); }

// Warnings are not printed. Harmless oddities (stray bytes between markers) are let through; a
// picture whose data ends early is damaged and not shown.
void on_message(j_common_ptr info, int level)
{
    if (level >= 0) return;
    auto* e = reinterpret_cast<ErrorManager*>(info->err);
    ++e->pub.num_warnings;
    if (e->pub.msg_code == JWRN_JPEG_EOF || e->pub.msg_code == JWRN_HIT_MARKER) e->data_missing = true;
}

void no_output(j_common_ptr) {}

struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorManager err{};

    Decompressor()
    {
        info.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = on_error;
        err.pub.emit_message = on_message;
        err.pub.output_message = no_output;
        jpeg_create_decompress(&info);
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

bool read_header(Decompressor& d, const std::uint8_t* data, std::size_t size)
{
    if (setjmp(d.err.escape)) return false;
    jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
    return jpeg_read_header(&d.info, TRUE) == JPEG_HEADER_OK;
}

// The largest scale num/8 (at most 1) that brings the longer side to kJpegTargetSide or less.
unsigned pick_scale_eighths(JDIMENSION w, JDIMENSION h)
{
    const std::uint64_t longer = w > h ? w : h;
    unsigned num = 8;
    while (num > 1 && (longer * num + 7) / 8 > static_cast<std::uint64_t>(kJpegTargetSide)) --num;
    return num;
}

bool start(Decompressor& d, unsigned scale_eighths)
{
    if (setjmp(d.err.escape)) return false;
    d.info.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    d.info.scale_num = scale_eighths;
    d.info.scale_denom = 8;
    d.info.dct_method = JDCT_ISLOW;
    return jpeg_start_decompress(&d.info) == TRUE && d.info.output_components == 4;
}

bool read_rows(Decompressor& d, std::uint32_t* pixels, std::size_t stride)
{
    if (setjmp(d.err.escape)) return false;
    constexpr JDIMENSION kBatch = 8;
    JSAMPROW rows[kBatch];
    while (d.info.output_scanline < d.info.output_height) {
        const JDIMENSION first = d.info.output_scanline;
        const JDIMENSION left = d.info.output_height - first;
        const JDIMENSION want = left < kBatch ? left : kBatch;
        for (JDIMENSION r = 0; r < want; ++r)
            rows[r] = reinterpret_cast<JSAMPROW>(pixels + (static_cast<std::size_t>(first) + r) * stride);
        const JDIMENSION got = jpeg_read_scanlines(&d.info, rows, want);
        if (got == 0) return false;  // a memory source never suspends; nothing more will come
        clear_filler_bytes(pixels + static_cast<std::size_t>(first) * stride, static_cast<std::size_t>(got) * stride);
    }
    return jpeg_finish_decompress(&d.info) == TRUE;
}

}  // namespace

std::shared_ptr<Surface> decode_jpeg(std::span<const std::uint8_t> data)
{
    if (data.empty()) return nullptr;
    Decompressor d;
    if (!read_header(d, data.data(), data.size())) return nullptr;
    const JDIMENSION w = d.info.image_width, h = d.info.image_height;
    if (w == 0 || h == 0 || w > static_cast<JDIMENSION>(kMaxPictureSide) ||
        h > static_cast<JDIMENSION>(kMaxPictureSide) || std::int64_t{w} * h > kMaxPicturePixels)
        return nullptr;
    if (!start(d, pick_scale_eighths(w, h))) return nullptr;
    const auto ow = static_cast<int>(d.info.output_width), oh = static_cast<int>(d.info.output_height);
    if (ow <= 0 || oh <= 0) return nullptr;
    auto out = std::make_shared<Surface>(Surface::uninitialized(ow, oh));
    if (!read_rows(d, out->pixels().data(), static_cast<std::size_t>(ow))) return nullptr;
    if (d.err.data_missing) return nullptr;
    return out;
}

}  // namespace zv
