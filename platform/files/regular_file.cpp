#include "files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

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

}  // namespace zv
