#include "mpris/cover_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "base/unique_fd.h"
#include "files/regular_file.h"

namespace zv {

namespace {

bool starts_with(std::span<const unsigned char> bytes, std::span<const unsigned char> magic)
{
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

// The whole file, or nothing when it cannot be read or is larger than a copy may be.
std::optional<std::vector<unsigned char>> read_picture(const std::string& path)
{
    const UniqueFd fd = open_regular_file(path);
    if (!fd) return std::nullopt;
    std::vector<unsigned char> bytes;
    std::array<unsigned char, 64 * 1024> chunk{};
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        if (bytes.size() + static_cast<std::size_t>(n) > kLargestCoverCopy) return std::nullopt;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
    }
}

bool write_all(int fd, std::span<const unsigned char> bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::string cover_copy_name(std::span<const unsigned char> picture, const std::string& tag)
{
    static constexpr unsigned char kJpeg[] = {0xFF, 0xD8, 0xFF};
    static constexpr unsigned char kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const char* extension = starts_with(picture, kJpeg) ? ".jpg" : starts_with(picture, kPng) ? ".png" : nullptr;
    if (!extension) return {};
    // FNV-1a: the name only has to change with the picture; nobody gains by forging one.
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const unsigned char b : picture) {
        hash ^= b;
        hash *= 0x100000001b3u;
    }
    char hex[17] = {};
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return tag + "-" + hex + extension;
}

CoverCopies::CoverCopies(std::string folder, std::string tag) : folder_(std::move(folder)), tag_(std::move(tag)) {}

CoverCopies::~CoverCopies() { clear(); }

std::string CoverCopies::show(const std::string& source)
{
    const std::optional<std::vector<unsigned char>> picture = read_picture(source);
    const std::string name = picture ? cover_copy_name(*picture, tag_) : std::string{};
    if (name.empty()) {
        remove_current();
        return {};
    }
    if (!folder_usable()) {
        remove_current();
        return source;
    }
    const std::string path = folder_ + "/" + name;
    struct stat st {};
    if (path == current_ && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return path;  // the same cover
    remove_current();
    if (!write_copy(*picture, path)) return source;
    current_ = path;
    return path;
}

void CoverCopies::clear()
{
    remove_current();
    if (!folder_.empty()) ::rmdir(folder_.c_str());  // fails while another player's copy is there
}

bool CoverCopies::folder_usable() const
{
    if (folder_.empty()) return false;
    ::mkdir(folder_.c_str(), 0700);  // existing is fine
    struct stat st {};
    return lstat(folder_.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

bool CoverCopies::write_copy(std::span<const unsigned char> picture, const std::string& path) const
{
    // Written beside it and renamed into place, so a client never reads half a picture.
    const std::string part = path + ".part";
    bool ok = false;
    {
        const UniqueFd fd(::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
        ok = fd && write_all(fd.get(), picture);
    }
    ok = ok && ::rename(part.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(part.c_str());
    return ok;
}

void CoverCopies::remove_current()
{
    if (current_.empty()) return;
    ::unlink(current_.c_str());
    current_.clear();
}

}  // namespace zv
