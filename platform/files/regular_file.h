// Opening a file the player reads (a track, its tags, a picture, the settings file): only a
// regular file, and never with an open that can block. A FIFO opened for reading waits for a
// writer for ever, and a device may never answer.
#pragma once
#include <string>
#include <string_view>

#include "base/unique_fd.h"

namespace zv {

// A read-only descriptor (close-on-exec, blocking reads) for a regular file; an empty one with
// errno set (ENOENT, EACCES, ... or EINVAL for anything that is not a regular file) otherwise.
UniqueFd open_regular_file(const std::string& path);

// A descriptor read from the start that holds `bytes` in memory only: text that stands in for a
// file. Empty with errno set when it cannot be made.
UniqueFd memory_file(std::string_view bytes);

}  // namespace zv
