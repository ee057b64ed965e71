// SHLoadImageFile: a JPEG or PNG file (told apart by content) into a new bitmap.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "aygshell.h"
#include "files/codepage.h"
#include "files/regular_file.h"
#include "gdi/gdi_internal.h"
#include "gdi/image_decoders.h"

namespace {

// Cover files are small; anything far bigger is not a picture we mean to show.
constexpr long kMaxPictureFileBytes = 256L * 1024 * 1024;

bool read_file(const std::string& path, std::vector<std::uint8_t>& out)
{
    zv::UniqueFd fd = zv::open_regular_file(path);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return false;
    if (st.st_size <= 0 || st.st_size > kMaxPictureFileBytes) return false;
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::read(fd.get(), out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // cut short while we read: not the picture we measured
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

// The path converts losslessly: name bytes that are not UTF-8 arrive as U+DC80..U+DCFF.
HBITMAP SHLoadImageFile(LPCWSTR path)
{
    if (!path || !path[0] || !zv::GdiState::current()) return nullptr;
    std::vector<std::uint8_t> bytes;
    if (!read_file(zv::narrow(path), bytes)) return nullptr;
    // A JPEG stays compressed until its pixels are first needed.
    return zv::create_bitmap_from_picture(std::move(bytes));
}
