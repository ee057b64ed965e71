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

}  // namespace zv::test
