#include "support/paint_recorder.h"

#include "app/zorvane.h"
#include "support/message_log.h"

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

}  // namespace zv::test
