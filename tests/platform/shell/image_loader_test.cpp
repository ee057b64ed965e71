// SHLoadImageFile: JPEG and PNG by content, damaged files, huge pictures, odd file names. Bitmaps
// loaded from JPEG bytes stay compressed until drawn: a shrinking StretchBlt decodes at the
// smallest DCT scale that covers the destination, every other use decodes at its own size.
#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "aygshell.h"
#include "files/codepage.h"
#include "gdi/deferred_jpeg.h"
#include "gdi/image_decoders.h"
#include "tests/platform/gdi/gdi_fixture.h"
#include "tests/support/fixture_dir.h"
#include "tools/fixtures.h"

namespace zv::test {
namespace {

std::vector<std::uint8_t> encode_jpeg(int w, int h, int pixel_format, const std::vector<std::uint8_t>& pixels,
                                      int subsamp)
{
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int pitch = w * tjPixelSize[pixel_format];
    const int rc = tjCompress2(tj, pixels.data(), w, pitch, h, pixel_format, &out, &size, subsamp, 90, 0);
    std::vector<std::uint8_t> bytes;
    if (rc == 0) bytes.assign(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

// A smooth RGB gradient, w x h.
std::vector<std::uint8_t> gradient(int w, int h)
{
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &px[(static_cast<std::size_t>(y) * w + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 255 / (w - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (h - 1));
            p[2] = 0x80;
        }
    return px;
}

std::vector<std::uint8_t> encode_png_rgba(int w, int h, const std::vector<std::uint8_t>& rgba)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<std::uint8_t> out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
    out.resize(size);
    return out;
}

using Bytes = std::vector<std::uint8_t>;

const Bytes& cover()
{
    static const Bytes bytes = fixtures::make_cover_jpeg(1000, 1000, 7);
    return bytes;
}

BITMAP header(HBITMAP b)
{
    BITMAP bm{};
    GetObject(b, sizeof bm, &bm);
    return bm;
}

// A compressed picture answers its size but shows no bits.
bool still_compressed(HBITMAP b) { return header(b).bmWidth > 0 && header(b).bmBits == nullptr; }

class JpegScaledDecode : public GdiFixture {
protected:
    // The whole picture squeezed into a fresh w x h canvas from x = -1, as the now-playing cover is.
    Surface shrink(HBITMAP picture, int w, int h)
    {
        make_canvas(w, h);
        HDC src = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(src, picture);
        EXPECT_TRUE(
            StretchBlt(dc_, -1, 0, w, h, src, 0, 0, header(picture).bmWidth, header(picture).bmHeight, SRCCOPY));
        SelectObject(src, old);
        DeleteDC(src);
        return *canvas_;
    }
};

TEST_F(JpegScaledDecode, ReducedDecodeOnlyForShrinksAndDamagedDrawsBlack)
{
    const std::size_t objects = gdi_.object_count();
    HBITMAP lazy = create_bitmap_from_picture(cover());
    HBITMAP eager = create_bitmap_from_surface(decode_jpeg(cover()));
    ASSERT_TRUE(lazy && eager);
    EXPECT_EQ(header(lazy).bmWidth, 1000);
    EXPECT_EQ(header(lazy).bmHeight, 1000);

    const Surface got = shrink(lazy, 250, 232), want = shrink(eager, 250, 232);
    EXPECT_TRUE(still_compressed(lazy)) << "only the reduced decode ran";
    // Measured with libjpeg-turbo 2.1: mean 0.46 per channel, largest 3 (the 2/8 DCT decode
    // rounds differently from averaging 4 x 4 decoded pixels); the bounds leave room for others.
    int total = 0, worst = 0;
    for (std::size_t i = 0; i < got.pixels().size(); ++i)
        for (int shift : {0, 8, 16}) {
            const int d = std::abs(static_cast<int>((got.pixels()[i] >> shift) & 0xFF) -
                                   static_cast<int>((want.pixels()[i] >> shift) & 0xFF));
            total += d;
            worst = std::max(worst, d);
        }
    EXPECT_LE(total, 3 * 250 * 232) << "a mean difference of at most 1 per channel";
    EXPECT_LE(worst, 8);

    DeleteObject(lazy);
    DeleteObject(eager);
    EXPECT_EQ(gdi_.object_count(), objects);

    // Cut short, it is refused at load (no end marker); with the end marker put back after half
    // the data, the header is sound and the scan is not: it draws black at any size.
    const Bytes cut(cover().begin(), cover().begin() + static_cast<long>(cover().size() / 2));
    EXPECT_EQ(create_bitmap_from_picture(cut), nullptr);
    Bytes damaged = cut;
    damaged.insert(damaged.end(), {0xFF, 0xD9});
    HBITMAP b = create_bitmap_from_picture(damaged);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(still_compressed(b));
    EXPECT_EQ(shrink(b, 250, 232).pixels(), Surface(250, 232).pixels());
    EXPECT_EQ(bitmap_surface(b)->pixels(), Surface(1000, 1000).pixels()) << "and so at its own size";
    DeleteObject(b);

    // Any other use decodes at its own size exactly; a shrink at the smallest scale that covers.
    static RECT clip_box;
    const Bytes bytes = fixtures::make_cover_jpeg(96, 64, 3);
    const std::shared_ptr<Surface> full = decode_jpeg(bytes);
    ASSERT_TRUE(full);
    make_canvas(96, 64);
    const std::pair<const char*, void (*)(HDC canvas, HDC picture)> uses[] = {
        {"StretchBlt enlarging", [](HDC c, HDC p) { StretchBlt(c, 0, 0, 96, 64, p, 0, 0, 48, 32, SRCCOPY); }},
        {"BitBlt", [](HDC c, HDC p) { BitBlt(c, 0, 0, 96, 64, p, 0, 0, SRCCOPY); }},
        {"clip box of its DC", [](HDC, HDC p) { GetClipBox(p, &clip_box); }},
    };
    for (auto [name, run] : uses) {
        HBITMAP b = create_bitmap_from_picture(bytes);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, b);
        run(dc_, dc);
        EXPECT_FALSE(still_compressed(b)) << name;
        EXPECT_EQ(bitmap_surface(b)->pixels(), full->pixels()) << name;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(b);
    }
    EXPECT_EQ(canvas_->pixels(), full->pixels()) << "the copy at its own size";
    EXPECT_EQ(clip_box.right, 96);
    EXPECT_EQ(clip_box.bottom, 64);

    // The scale is the smallest that covers the destination.
    const auto square = read_jpeg_geometry(cover());
    const auto small = read_jpeg_geometry(fixtures::make_cover_jpeg(300, 300, 1));
    ASSERT_TRUE(square && small);
    // clang-format off
    const std::tuple<const JpegGeometry&, RECT, int, int, unsigned> rows[] = {
        {*square, {0, 0, 1000, 1000}, 250, 232, 2},
        {*square, {0, 0, 1000, 1000}, 126, 126, 2},  // 125 would not cover 126
        {*square, {0, 0, 1000, 1000}, 125, 40, 1},
        {*square, {0, 0, 1000, 1000}, 600, 100, 5},
        {*square, {0, 0, 500, 1000}, 125, 250, 2},   // half the picture
        {*square, {3, 0, 1000, 1000}, 100, 100, 8},  // an edge between pixels of every reduced decode
        {*square, {0, 0, 1000, 1000}, 1000, 1000, 8},
        {*small, {0, 0, 300, 300}, 299, 299, 8},
    };
    // clang-format on
    for (const auto& [g, src, w, h, eighths] : rows)
        EXPECT_EQ(stretch_eighths(g, src, w, h), eighths) << src.right - src.left << " -> " << w << " x " << h;
}

class ImageLoader : public JpegScaledDecode {
protected:
    void TearDown() override
    {
        for (HBITMAP b : loaded_) DeleteObject(b);
        JpegScaledDecode::TearDown();
    }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = (dir_.path() / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    HBITMAP load(const std::u16string& path)
    {
        HBITMAP b = SHLoadImageFile(path.c_str());
        if (b) loaded_.push_back(b);
        return b;
    }
    HBITMAP load(const std::string& path) { return load(std::u16string(path.begin(), path.end())); }

    zv::test::FixtureDir dir_;
    std::vector<HBITMAP> loaded_;
};

TEST_F(ImageLoader, JpegAndPngByContentUnderAnyNameDamagedOrForeignFilesGiveNullAndHugeOnesDecodeReduced)
{
    const auto bytes = encode_jpeg(64, 48, TJPF_RGB, gradient(64, 48), TJSAMP_444);
    HBITMAP b = load(write("cover.jpg", bytes));
    ASSERT_NE(b, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObject(b, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(std::tie(bm.bmWidth, bm.bmHeight), std::tuple(64, 48));
    auto s = bitmap_surface(b);
    const std::uint32_t top_left = s->pixel(0, 0), bottom_right = s->pixel(63, 47);
    EXPECT_LT((top_left >> 16) & 0xFF, 12u);
    EXPECT_LT((top_left >> 8) & 0xFF, 12u);
    EXPECT_NEAR(static_cast<int>(top_left & 0xFF), 0x80, 8);
    EXPECT_GT((bottom_right >> 16) & 0xFF, 243u);
    EXPECT_GT((bottom_right >> 8) & 0xFF, 243u);
    EXPECT_EQ(top_left >> 24, 0u) << "no alpha byte in the surface";

    std::vector<std::uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 0, 0, 0, 255, 128, 255, 255, 255, 255};
    b = load(write("really_a_png.jpg", encode_png_rgba(2, 2, rgba)));
    ASSERT_NE(b, nullptr);
    s = bitmap_surface(b);
    EXPECT_EQ(s->pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(s->pixel(1, 0), 0u) << "transparent is composited onto black";
    EXPECT_NEAR(static_cast<int>(s->pixel(0, 1)), 0x80, 1);
    EXPECT_EQ(s->pixel(1, 1), 0xFFFFFFu);

    const auto jpeg = encode_jpeg(8, 8, TJPF_RGB, gradient(8, 8), TJSAMP_420);
    EXPECT_NE(load(write("really_a_jpeg.png", jpeg)), nullptr);
    EXPECT_NE(load(write("no_extension", jpeg)), nullptr);
    // Names that are not UTF-8 (each bad byte as U+DC00 + byte, as the code page maps it), and
    // names that are.
    EXPECT_NE(load(zv::widen(write("cover\xff\xfe.jpg", jpeg))), nullptr);
    write("Обложка.jpg", jpeg);
    EXPECT_NE(load(zv::widen(dir_.path().string()) + u"/Обложка.jpg"), nullptr);

    // Damaged and foreign files give null.
    const auto big_jpeg = encode_jpeg(64, 64, TJPF_RGB, gradient(64, 64), TJSAMP_420);
    std::vector<std::uint8_t> grey(16 * 16 * 4, 200);
    const auto png = encode_png_rgba(16, 16, grey);

    EXPECT_EQ(load(write("garbage.jpg", std::vector<std::uint8_t>(1000, 0x5A))), nullptr);
    EXPECT_EQ(load(write("empty.jpg", {})), nullptr);
    EXPECT_EQ(load(write("bmp.jpg", {'B', 'M', 0, 0, 0, 0})), nullptr);
    EXPECT_EQ(load(write("half.jpg", {big_jpeg.begin(), big_jpeg.begin() + static_cast<long>(big_jpeg.size() / 2)})),
              nullptr);
    EXPECT_EQ(load(write("header_only.jpg", {big_jpeg.begin(), big_jpeg.begin() + 20})), nullptr);
    EXPECT_EQ(load(write("half.png", {png.begin(), png.begin() + static_cast<long>(png.size() / 2)})), nullptr);
    EXPECT_EQ(load(write("sig_only.png", {png.begin(), png.begin() + 8})), nullptr);
    EXPECT_EQ(load((dir_.path() / "missing.jpg").string()), nullptr);
    EXPECT_EQ(load(dir_.path().string()), nullptr) << "a folder";
    EXPECT_EQ(load("/sys/devices/system/cpu/online"), nullptr) << "shorter than its size says, read to its end";
    EXPECT_EQ(SHLoadImageFile(nullptr), nullptr);
    EXPECT_EQ(SHLoadImageFile(u""), nullptr);

    // A frame header claiming an absurd size is refused before any allocation.
    auto huge = big_jpeg;
    for (std::size_t i = 0; i + 9 < huge.size(); ++i)
        if (huge[i] == 0xFF && (huge[i + 1] == 0xC0 || huge[i + 1] == 0xC2)) {
            huge[i + 5] = huge[i + 7] = 0xFF;  // 65535 x 65535
            huge[i + 6] = huge[i + 8] = 0xFF;
            break;
        }
    EXPECT_EQ(load(write("huge_header.jpg", huge)), nullptr);

    // A huge cover decodes reduced.
    const int side = 6000;
    std::vector<std::uint8_t> shades(static_cast<std::size_t>(side) * side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            shades[static_cast<std::size_t>(y) * side + x] = static_cast<std::uint8_t>((x / 600 + y / 600) * 12);
    const auto big_bytes = encode_jpeg(side, side, TJPF_GRAY, shades, TJSAMP_GRAY);
    ASSERT_FALSE(big_bytes.empty());
    HBITMAP big = load(write("big.jpg", big_bytes));
    ASSERT_NE(big, nullptr);
    BITMAP big_bm{};
    GetObject(big, sizeof big_bm, &big_bm);
    EXPECT_EQ(big_bm.bmWidth, big_bm.bmHeight);
    EXPECT_GE(big_bm.bmWidth, 1000);
    EXPECT_LE(big_bm.bmWidth, 2048);
    // Grey stays shades and the blocks stay where they were.
    const std::uint32_t p = bitmap_surface(big)->pixel(big_bm.bmWidth * 15 / 60, big_bm.bmHeight * 5 / 60);
    EXPECT_EQ((p >> 16) & 0xFF, p & 0xFF);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 24, 3);

    // And it scales down to the panel's picture like any other.
    shrink(big, 250, 232);
}

}  // namespace
}  // namespace zv::test
