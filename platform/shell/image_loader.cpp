// SHLoadImageFile: a JPEG or PNG file (told apart by content) into a new bitmap.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "aygshell.h"
#include "files/codepage.h"
#include "gdi/gdi_internal.h"
#include "gdi/image_decoders.h"

namespace {

// Cover files are small; anything far bigger is not a picture we mean to show.
constexpr long kMaxPictureFileBytes = 256L * 1024 * 1024;

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

// The path converts losslessly: name bytes that are not UTF-8 arrive as U+DC80..U+DCFF.
HBITMAP SHLoadImageFile(LPCWSTR path)
{
    if (!path || !path[0] || !zv::GdiState::current()) return nullptr;
    std::vector<std::uint8_t> bytes;
    if (!read_file(zv::narrow(path), bytes)) return nullptr;
    std::shared_ptr<zv::Surface> picture = zv::decode_picture(bytes);
    if (!picture) return nullptr;
    return zv::create_bitmap_from_surface(std::move(picture));
}
