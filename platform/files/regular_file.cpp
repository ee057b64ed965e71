#include "files/regular_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zv {

UniqueFd open_regular_file(const std::string& path)
{
    // O_NONBLOCK makes opening a FIFO or a device return at once; the check below then refuses it.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) return fd;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return UniqueFd();
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return UniqueFd();
    return fd;
}

UniqueFd memory_file(std::string_view bytes)
{
    UniqueFd fd(::memfd_create("settings", MFD_CLOEXEC));
    if (!fd) return fd;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd.get(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return UniqueFd();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::lseek(fd.get(), 0, SEEK_SET) != 0) return UniqueFd();
    return fd;
}

}  // namespace zv
