// Records, per paint of the playlist, the list's offset and the items drawn, and every owner-draw
// request the main window receives, through a message log watching both windows.
#pragma once
#include <windows.h>

#include <vector>

#include "support/program_harness.h"

namespace zv::test {

struct PaintRecord {
    int scroll_offset = 0;
    std::vector<UINT> items;
};

struct PaintLog {
    std::vector<PaintRecord> paints;
    std::vector<UINT> draws;
    void clear()
    {
        paints.clear();
        draws.clear();
    }
};

PaintLog& paint_log();
void install_paint_recorder(ProgramHarness& p);

// What must be on screen for the playlist at `offset` with row `selected` lit (-1: none): every
// row's frame lines, its fill (or gradient) in the margin left of the text, and black outside.
void expect_list_screen(const Surface& s, int offset, int tracks, int selected);

}  // namespace zv::test
