#include "files/find_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "files/codepage.h"
#include "files/file_system.h"

namespace zv {

namespace {

FILETIME to_filetime(const timespec& ts)
{
    // Seconds from 1601-01-01 to 1970-01-01.
    constexpr std::int64_t kEpochDelta = 11644473600;
    const std::int64_t secs = static_cast<std::int64_t>(ts.tv_sec) + kEpochDelta;
    if (secs < 0) return {0, 0};
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(secs) * 10000000u + static_cast<std::uint64_t>(ts.tv_nsec) / 100u;
    return {static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

DWORD error_from_errno(int err)
{
    switch (err) {
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_PATH_NOT_FOUND;
    }
}

}  // namespace

bool wildcard_match(std::u16string_view pattern, std::u16string_view name)
{
    // Greedy match with one backtrack point: the last '*' seen absorbs one more unit on mismatch.
    std::size_t p = 0, n = 0;
    std::size_t star = std::u16string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            star_n = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++star_n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

FindSearch::FindSearch(std::unique_ptr<DIR, DirCloser> dir, dev_t dev, ino_t ino, std::u16string name_pattern)
    : dir_(std::move(dir)), dev_(dev), ino_(ino), name_pattern_(std::move(name_pattern))
{
}

std::unique_ptr<FindSearch> FindSearch::open(std::u16string_view pattern, DWORD& error, bool names_only)
{
    const std::size_t slash = pattern.rfind(u'/');
    std::u16string_view folder_w;
    std::u16string_view name_w = pattern;
    if (slash != std::u16string_view::npos) {
        folder_w = pattern.substr(0, slash + 1);
        name_w = pattern.substr(slash + 1);
    }
    if (name_w.empty()) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    // A folder-less pattern names the working directory.
    const std::string folder = folder_w.empty() ? std::string(".") : narrow(folder_w);
    if (folder.find('\0') != std::string::npos) {
        error = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }

    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = error_from_errno(errno);
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = error_from_errno(errno);
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
    if (!dir) {
        error = error_from_errno(errno);
        ::close(fd);
        return nullptr;
    }
    // Programs written for Win32 say "*.*" meaning every name, dotted or not.
    std::u16string name_pattern = name_w == u"*.*" ? std::u16string(u"*") : std::u16string(name_w);
    std::unique_ptr<FindSearch> search(new FindSearch(std::move(dir), st.st_dev, st.st_ino, std::move(name_pattern)));
    search->names_only_ = names_only;
    return search;
}

bool FindSearch::next(const FileSystemState& fs, WIN32_FIND_DATAW& out)
{
    const int dfd = dirfd(dir_.get());
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir_.get());
        if (!entry) return false;  // end, or a read error: either way nothing more to report
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        const std::u16string wide = widen(name);
        // Never truncated: a cut name would open a different file.
        if (wide.size() >= MAX_PATH) continue;
        if (!wildcard_match(name_pattern_, wide)) continue;

        struct stat st {};
        bool is_dir = false;
        if (names_only_ && entry->d_type == DT_REG) {
            // A plain file: its name and attributes are all the caller asked for.
            out = WIN32_FIND_DATAW{};
            out.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE | (name.front() == '.' ? FILE_ATTRIBUTE_HIDDEN : 0);
            std::memcpy(out.cFileName, wide.data(), wide.size() * sizeof(char16_t));
            out.cFileName[wide.size()] = 0;
            return true;
        }
        if (fstatat(dfd, entry->d_name, &st, 0) == 0) {
            is_dir = S_ISDIR(st.st_mode);
        } else if (fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // gone since readdir
        }
        // else: a dangling symbolic link, reported as a file.

        if (is_dir && ((st.st_dev == dev_ && st.st_ino == ino_) || fs.is_being_enumerated(st.st_dev, st.st_ino)))
            continue;  // a loop back into the walk's own chain

        out = WIN32_FIND_DATAW{};
        const bool hidden = name.front() == '.';
        if (is_dir) {
            out.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | (hidden ? FILE_ATTRIBUTE_HIDDEN : 0);
        } else {
            out.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE | (hidden ? FILE_ATTRIBUTE_HIDDEN : 0);
            if (S_ISREG(st.st_mode) && st.st_size > 0) {
                const auto size = static_cast<std::uint64_t>(st.st_size);
                out.nFileSizeHigh = static_cast<DWORD>(size >> 32);
                out.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
            }
        }
        // Linux keeps no creation time; the last write is the closest honest answer.
        out.ftLastWriteTime = to_filetime(st.st_mtim);
        out.ftCreationTime = out.ftLastWriteTime;
        out.ftLastAccessTime = to_filetime(st.st_atim);
        std::memcpy(out.cFileName, wide.data(), wide.size() * sizeof(char16_t));
        out.cFileName[wide.size()] = 0;
        return true;
    }
}

}  // namespace zv
