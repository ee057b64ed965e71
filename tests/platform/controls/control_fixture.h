// The platform over the program's resources and a 240 x 320 logged parent window, for the
// built-in controls' tests; the parent's answers come from the log's react hook.
#pragma once
#include <windows.h>

#include "support/platform_fixture.h"

namespace zv::test {

class ControlFixture : public PlatformFixture {
protected:
    void SetUp() override
    {
        open(true);
        parent_ = window(0, 0, 240, 320);
        log.name(parent_, "parent");
        log.clear();
    }
    // The loop lets virtual time pass only as far as a due timer.
    void advance(UINT ms)
    {
        backend().advance(ms);
        SetTimer(parent_, 77, ms, nullptr);
        for (MSG m; GetMessage(&m, NULL, 0, 0) && !(m.message == WM_TIMER && m.wParam == 77);) DispatchMessage(&m);
        KillTimer(parent_, 77);
    }
    // What the parent hears from control `id` as an entry of an expected sequence.
    Msg command(UINT id, HWND from, WORD code) const
    {
        return {WM_COMMAND, sent | wparam | lparam, MAKEWPARAM(id, code), LPARAM(from), parent_};
    }

    HWND parent_ = nullptr;
};

}  // namespace zv::test
