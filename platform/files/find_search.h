// One open directory enumeration behind a find handle.
#pragma once
#include <dirent.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "winbase.h"

namespace zv {

class FileSystemState;

// Win32 wildcard match of one name: '*' any run of units, '?' exactly one unit. Case-sensitive,
// as the file system is.
bool wildcard_match(std::u16string_view pattern, std::u16string_view name);

class FindSearch {
public:
    // Opens the folder of a FindFirstFileW pattern; nullptr with a Win32 error code on failure.
    // With `names_only`, entries that the directory itself says are regular files are reported
    // without a stat: name and attributes only, no size or times.
    static std::unique_ptr<FindSearch> open(std::u16string_view pattern, DWORD& error, bool names_only = false);

    // Fills `out` with the next entry to report; false at the end of the folder. Skips ".", "..",
    // names that do not match, names too long for cFileName, entries that vanished, and
    // directories that `fs` is already enumerating (loops through symbolic links).
    bool next(const FileSystemState& fs, WIN32_FIND_DATAW& out);

    dev_t device() const { return dev_; }
    ino_t inode() const { return ino_; }

private:
    struct DirCloser {
        void operator()(DIR* d) const { closedir(d); }
    };
    FindSearch(std::unique_ptr<DIR, DirCloser> dir, dev_t dev, ino_t ino, std::u16string name_pattern);

    std::unique_ptr<DIR, DirCloser> dir_;
    dev_t dev_;
    ino_t ino_;
    std::u16string name_pattern_;
    bool names_only_ = false;
};

}  // namespace zv
