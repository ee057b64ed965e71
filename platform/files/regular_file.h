// Opening a file the player reads (a track, its tags, a picture, the settings file): only a
// regular file, and never with an open that can block. A FIFO opened for reading waits for a
// writer for ever, and a device may never answer.
#pragma once
#include <string>

#include "base/unique_fd.h"

namespace zv {

// A read-only descriptor (close-on-exec, blocking reads) for a regular file; an empty one with
// errno set (ENOENT, EACCES, ... or EINVAL for anything that is not a regular file) otherwise.
UniqueFd open_regular_file(const std::string& path);

}  // namespace zv
