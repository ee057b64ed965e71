// One rendered glyph: an 8-bit coverage mask placed relative to the pen position.
#pragma once
#include <cstdint>
#include <vector>

namespace zv {

struct Glyph {
    int left = 0;  // mask's left edge, from the pen position
    int top = 0;   // mask's top row, above the baseline
    int width = 0;
    int height = 0;
    int advance = 0;                     // whole pixels to the next pen position
    std::vector<std::uint8_t> coverage;  // width * height, rows top-down
};

}  // namespace zv
