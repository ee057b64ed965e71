// Copies of the player's cover picture, each named after its content, for the media controls'
// art URL. The player writes every cover to the same file, so a client that caches pictures by
// URL would keep showing the first one; a copy's URL changes exactly when the picture does.
//
// Copies live in one private folder (made 0700 on first use, refused unless it is ours and
// private) and nowhere else. Only the current copy is kept: the previous one is removed when the
// cover changes, and the last one, with the folder once it is empty, when this object ends.
#pragma once
#include <cstddef>
#include <span>
#include <string>

namespace zv {

// A copy never holds more than this; a larger cover is shown as none.
inline constexpr std::size_t kLargestCoverCopy = 32u << 20;

// The file name of a copy of `picture`: `tag`, '-', a 64-bit hash of its bytes in hex, and ".jpg"
// or ".png" by its content; empty when the bytes are neither a JPEG nor a PNG.
std::string cover_copy_name(std::span<const unsigned char> picture, const std::string& tag);

class CoverCopies {
public:
    // `folder`: where copies go; empty: none are made. `tag` starts every copy's name, so two
    // players sharing the folder never remove each other's (the process id).
    CoverCopies(std::string folder, std::string tag);
    ~CoverCopies();
    CoverCopies(const CoverCopies&) = delete;
    CoverCopies& operator=(const CoverCopies&) = delete;

    // The file to show for the cover in `source`: a copy named by its content, or `source` itself
    // when no copy can be made (no folder, or one that is not ours and private, or a failed
    // write). Empty when `source` cannot be read or holds no JPEG or PNG. Whatever it answers, the
    // previous copy is gone unless it is the answer.
    std::string show(const std::string& source);
    // Removes the current copy, and the folder once it is empty.
    void clear();

private:
    bool folder_usable() const;
    bool write_copy(std::span<const unsigned char> picture, const std::string& path) const;
    void remove_current();

    const std::string folder_;
    const std::string tag_;
    std::string current_;  // the path of the copy made last; empty: none
};

}  // namespace zv
