// A headless platform (with or without the program's resources) for the platform's own tests,
// a message log for the windows they make, and the input and queue steps they drive. The test
// thread is the user-interface thread.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <span>

#include "backend/headless_backend.h"
#include "composition/platform.h"
#include "entry/zorvane_profile.h"
#include "resources/resource_blob.h"
#include "support/message_log.h"

namespace zv::test {

// A window handle as a message parameter, for sequence tables.
inline LPARAM lp(HWND h) { return reinterpret_cast<LPARAM>(h); }
inline WPARAM wp(HWND h) { return reinterpret_cast<WPARAM>(h); }

class PlatformFixture : public ::testing::Test {
protected:
    // A platform with no sound device; `resources` gives it the program's resources. Registers
    // the log's window class "Logged".
    void open(bool resources = false)
    {
        open(resources ? std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size)
                       : std::span<const std::uint8_t>());
    }
    // A platform with the given resources (a test's own templates).
    void open(std::span<const std::uint8_t> resources)
    {
        platform_.reset();
        PlatformOptions o;
        o.audio_device = false;
        o.resources = resources;
        o.profile = zorvane_profile();
        platform_ = std::make_unique<Platform>(o);
        ASSERT_TRUE(log.register_class());
    }
    void SetUp() override { open(); }
    void TearDown() override { platform_.reset(); }

    // A window of the logged class; a child when `parent` is given.
    static HWND window(int x, int y, int w, int h, HWND parent = nullptr, DWORD style = WS_VISIBLE, UINT id = 0)
    {
        return CreateWindowW(u"Logged", u"", style | (parent ? WS_CHILD : 0), x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    }
    // Dispatches until the queue runs dry, as the program's loop does (it presents then).
    static void pump()
    {
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
    }
    void input(InputEvent e)
    {
        backend().push_input(e);
        pump();
    }
    void stylus(InputEvent::Type type, int x, int y) { input({.type = type, .x = x, .y = y}); }
    void tap(int x, int y)
    {
        stylus(InputEvent::Type::StylusDown, x, y);
        stylus(InputEvent::Type::StylusUp, x, y);
    }
    void key(InputEvent::Type type, int vk, bool win = false) { input({.type = type, .vk = vk, .win = win}); }
    // Lets `ms` of virtual time pass, dispatching what comes due meanwhile and at the end: the
    // loop moves the clock only as far as a due timer, so a thread timer marks the end.
    void elapse(UINT ms)
    {
        backend().advance(ms);
        static bool ended;
        ended = false;
        const UINT_PTR end = SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR, DWORD) { ended = true; });
        for (MSG m; !ended && GetMessageW(&m, nullptr, 0, 0);) DispatchMessageW(&m);
        KillTimer(nullptr, end);
    }

    HeadlessBackend& backend() { return *platform_->headless(); }

    MessageLog log;
    std::unique_ptr<Platform> platform_;
};

}  // namespace zv::test
