// JPEG through libjpeg-turbo's scanline interface: rows arrive a few at a time, so the filler
// byte of each is cleared while the row is still in the cache rather than in a second pass over
// the whole picture.
#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "gdi/deferred_jpeg.h"
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

void set_output(Decompressor& d, unsigned scale_eighths)
{
    d.info.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    d.info.scale_num = scale_eighths;
    d.info.scale_denom = 8;
    d.info.dct_method = JDCT_ISLOW;
}

// The output size at every scale, as the decoder itself will compute it.
bool output_sizes(Decompressor& d, std::array<SIZE, 8>& sizes)
{
    if (setjmp(d.err.escape)) return false;
    for (unsigned n = 1; n <= 8; ++n) {
        set_output(d, n);
        jpeg_calc_output_dimensions(&d.info);
        if (d.info.output_width == 0 || d.info.output_height == 0 ||
            d.info.output_width > static_cast<JDIMENSION>(kMaxPictureSide) ||
            d.info.output_height > static_cast<JDIMENSION>(kMaxPictureSide))
            return false;
        sizes[n - 1] = SIZE{static_cast<LONG>(d.info.output_width), static_cast<LONG>(d.info.output_height)};
    }
    return true;
}

// The largest scale num/8 (at most 1) that brings the longer side to kJpegTargetSide or less.
unsigned pick_scale_eighths(JDIMENSION w, JDIMENSION h)
{
    const std::uint64_t longer = w > h ? w : h;
    unsigned num = 8;
    while (num > 1 && (longer * num + 7) / 8 > static_cast<std::uint64_t>(kJpegTargetSide)) --num;
    return num;
}

// Entropy-coded data never hold 0xFF followed by 0xD9 (a data 0xFF is followed by 0 or a restart
// marker), so finding the pair after the first scan's header means the file was not cut short.
bool has_end_marker(std::span<const std::uint8_t> scan)
{
    std::size_t i = 0;
    while (i + 1 < scan.size()) {
        const void* hit = std::memchr(scan.data() + i, 0xFF, scan.size() - 1 - i);
        if (!hit) return false;
        i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - scan.data());
        if (scan[i + 1] == 0xD9) return true;
        ++i;
    }
    return false;
}

bool start(Decompressor& d, unsigned scale_eighths)
{
    if (setjmp(d.err.escape)) return false;
    set_output(d, scale_eighths);
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

std::optional<JpegGeometry> read_jpeg_geometry(std::span<const std::uint8_t> data)
{
    if (data.empty()) return std::nullopt;
    Decompressor d;
    if (!read_header(d, data.data(), data.size())) return std::nullopt;
    const JDIMENSION w = d.info.image_width, h = d.info.image_height;
    if (w == 0 || h == 0 || w > static_cast<JDIMENSION>(kMaxPictureSide) ||
        h > static_cast<JDIMENSION>(kMaxPictureSide) || std::int64_t{w} * h > kMaxPicturePixels)
        return std::nullopt;
    // The memory source has consumed everything up to the first scan's data.
    const std::size_t left = d.info.src ? d.info.src->bytes_in_buffer : 0;
    if (left > data.size() || !has_end_marker(data.subspan(data.size() - left))) return std::nullopt;
    JpegGeometry g;
    if (!output_sizes(d, g.at_eighths)) return std::nullopt;
    g.full_eighths = pick_scale_eighths(w, h);
    return g;
}

bool decode_jpeg_into(std::span<const std::uint8_t> data, unsigned eighths, SIZE expected, Surface& out)
{
    if (data.empty() || eighths < 1 || eighths > 8) return false;
    Decompressor d;
    if (!read_header(d, data.data(), data.size()) || !start(d, eighths)) return false;
    if (d.info.output_width != static_cast<JDIMENSION>(expected.cx) ||
        d.info.output_height != static_cast<JDIMENSION>(expected.cy))
        return false;
    out = Surface::uninitialized(expected.cx, expected.cy);
    if (out.empty()) return false;
    return read_rows(d, out.pixels().data(), static_cast<std::size_t>(expected.cx)) && !d.err.data_missing;
}

std::shared_ptr<Surface> decode_jpeg(std::span<const std::uint8_t> data)
{
    const std::optional<JpegGeometry> g = read_jpeg_geometry(data);
    if (!g) return nullptr;
    auto out = std::make_shared<Surface>();
    if (!decode_jpeg_into(data, g->full_eighths, g->full(), *out)) return nullptr;
    return out;
}

}  // namespace zv
