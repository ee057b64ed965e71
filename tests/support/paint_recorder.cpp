#include "support/paint_recorder.h"

#include "app/zorvane.h"

namespace zv::test {

namespace {
PaintLog g_log;
WNDPROC g_main_proc;
WNDPROC g_list_proc;

LRESULT CALLBACK recording_main_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_DRAWITEM && lp) {
        UINT id = reinterpret_cast<const DRAWITEMSTRUCT*>(lp)->itemID;
        g_log.draws.push_back(id);
        if (!g_log.paints.empty()) g_log.paints.back().items.push_back(id);
    }
    return CallWindowProc(g_main_proc, h, msg, wp, lp);
}

LRESULT CALLBACK recording_list_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_PAINT) g_log.paints.push_back(PaintRecord{ScrollOffset, {}});
    return CallWindowProc(g_list_proc, h, msg, wp, lp);
}
}  // namespace

PaintLog& paint_log() { return g_log; }

void install_paint_recorder(ProgramHarness& p)
{
    p.on_ui([] {
        g_main_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtr(MainWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(recording_main_proc)));
        g_list_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtr(PlaylistView, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(recording_list_proc)));
    });
}

}  // namespace zv::test
