// SHLoadImageFile: a JPEG or PNG file (told apart by content) into a new bitmap.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "aygshell.h"
#include "gdi/gdi_internal.h"
#include "gdi/image_decoders.h"

namespace {

// Cover files are small; anything far bigger is not a picture we mean to show.
constexpr long kMaxPictureFileBytes = 256L * 1024 * 1024;

// UTF-16 path to the native byte path. Bytes of names that are not valid UTF-8 travel as
// U+DC80..U+DCFF and go back to the bytes they were.
std::string native_path(LPCWSTR path)
{
    std::string out;
    for (std::size_t i = 0; path[i]; ++i) {
        char32_t c = path[i];
        if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c - 0xDC00);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool read_file(const std::string& path, std::vector<std::uint8_t>& out)
{
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(f.get());
    if (size <= 0 || size > kMaxPictureFileBytes || std::fseek(f.get(), 0, SEEK_SET) != 0) return false;
    out.resize(static_cast<std::size_t>(size));
    return std::fread(out.data(), 1, out.size(), f.get()) == out.size();
}

}  // namespace

HBITMAP SHLoadImageFile(LPCWSTR path)
{
    if (!path || !path[0] || !zv::GdiState::current()) return nullptr;
    std::vector<std::uint8_t> bytes;
    if (!read_file(native_path(path), bytes)) return nullptr;
    std::shared_ptr<zv::Surface> picture = zv::decode_picture(bytes);
    if (!picture) return nullptr;
    return zv::create_bitmap_from_surface(std::move(picture));
}
