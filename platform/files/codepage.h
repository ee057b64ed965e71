// Lossless conversion between native byte strings (UTF-8 where valid) and UTF-16. A byte that
// does not decode as UTF-8 becomes U+DC00 + byte and converts back to the same byte, so
// narrow(widen(bytes)) == bytes for every byte string, including file names that are not UTF-8.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zv {

// One decoded character: one or two UTF-16 units, and how many input bytes it used (1..4).
struct DecodedChar {
    std::array<char16_t, 2> units{};
    std::size_t unit_count = 0;
    std::size_t bytes_used = 0;
};

// One encoded character: 1..4 bytes and how many UTF-16 units it used (1 or 2). `unmappable`
// marks a lone surrogate outside U+DC80..U+DCFF, encoded as U+FFFD.
struct EncodedChar {
    std::array<char, 4> bytes{};
    std::size_t byte_count = 0;
    std::size_t units_used = 0;
    bool unmappable = false;
};

// `in` must not be empty.
DecodedChar decode_char(std::string_view in);
EncodedChar encode_char(std::u16string_view in);

std::u16string widen(std::string_view bytes);
std::string narrow(std::u16string_view text);

}  // namespace zv
