#include "support/paint_recorder.h"

#include "app/zorvane.h"
#include "playlist/playlist.h"
#include "support/message_log.h"

#include <gtest/gtest.h>

namespace zv::test {

PaintLog& paint_log()
{
    static PaintLog log;
    return log;
}

void install_paint_recorder(ProgramHarness& p)
{
    static MessageLog watcher;
    watcher.only({});  // nothing kept: the paint log is built as the messages pass
    watcher.react = [](HWND h, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        PaintLog& log = paint_log();
        if (msg == WM_PAINT && h == PlaylistView) log.paints.push_back(PaintRecord{ScrollOffset, {}});
        if (msg == WM_DRAWITEM && lp) {
            const UINT id = reinterpret_cast<const DRAWITEMSTRUCT*>(lp)->itemID;
            log.draws.push_back(id);
            if (!log.paints.empty()) log.paints.back().items.push_back(id);
        }
        return std::nullopt;
    };
    p.on_ui([] {
        watcher.watch(MainWindow);
        watcher.watch(PlaylistView);
    });
}

namespace {
constexpr std::uint32_t kFrame = 0xE6E6E6, kFill = 0xFAFAFA, kGradientTop = 0x009CF8, kGradientBottom = 0x0056D9;
}  // namespace

// What must be on screen for the list at `offset` with `selected` highlighted: every item's
// frame rows, its fill (or gradient) in the margin left of the text, and black outside.
void expect_list_screen(const zv::Surface& s, int offset, int tracks, int selected)
{
    for (int y = 0; y < 320; ++y) {
        const int row = y - offset;
        std::uint32_t want = 0;
        if (row >= 0 && row < tracks * ITEM_HEIGHT) {
            const int item = row / ITEM_HEIGHT, in = row % ITEM_HEIGHT;
            if (item == selected)
                want = in == 0 ? kGradientTop : in == 39 ? kGradientBottom : s.pixel(5, y);
            else
                want = (in == 0 || in == 39) ? kFrame : kFill;
            if (item == selected && in > 0 && in < 39) {
                // Inside the gradient: pure blue, darker going down.
                std::uint32_t v = s.pixel(5, y), above = s.pixel(5, y - 1);
                ASSERT_EQ(v >> 16, 0u) << "row " << y;
                ASSERT_LE(v & 0xFF, above & 0xFF) << "row " << y;
            }
        }
        for (int x : {0, 5, 11, 239}) {
            if (x == 239 && row >= 0 && row < tracks * ITEM_HEIGHT && (row / ITEM_HEIGHT) == selected) continue;
            ASSERT_EQ(s.pixel(x, y), want) << "screen row " << y << " x " << x << " offset " << offset;
        }
    }
}

}  // namespace zv::test
