// The desktop backend opens its window on a display or says why not. SDL's drivers that draw
// nowhere stand in for a display only when the user names one.
#include <SDL2/SDL.h>  // the test target is not given SDL's own include folder
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "backend/sdl_backend.h"
#include "base/backend.h"
#include "entry/zorvane_profile.h"

namespace zv::test {
namespace {

constexpr const char* kVariables[] = {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"};

// Puts back the variables the cases change.
struct SavedEnvironment {
    std::vector<std::pair<const char*, std::string>> saved;
    SavedEnvironment()
    {
        for (const char* name : kVariables)
            if (const char* value = getenv(name)) saved.emplace_back(name, value);
    }
    ~SavedEnvironment()
    {
        for (const char* name : kVariables) unsetenv(name);
        for (const auto& [name, value] : saved) setenv(name, value.c_str(), 1);
    }
};

TEST(SdlBackendStartup, OpensOnADisplayOrSaysWhy)
{
    if (std::filesystem::exists("/dev/dri")) GTEST_SKIP() << "SDL may open a console display here";
    int n = 50;
    while (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) ++n;
    const std::string nowhere = ":" + std::to_string(n);
    struct Case {
        const char* driver;  // SDL_VIDEODRIVER; null: unset
        const char* display;
        bool opens;
        std::string reason;  // a part of failure() after "cannot open the display: "
    } cases[] = {
        {nullptr, nowhere.c_str(), false, "DISPLAY=" + nowhere},
        {nullptr, nullptr, false, "DISPLAY unset, WAYLAND_DISPLAY unset"},
        {"dummy", nowhere.c_str(), true, ""},
        {"no-such-driver", nullptr, false, "SDL_VIDEODRIVER=no-such-driver"},
    };
    SavedEnvironment saved;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.driver ? c.driver : "(default)") + " on " + (c.display ? c.display : "(none)"));
        for (const char* name : kVariables) unsetenv(name);
        if (c.driver) setenv("SDL_VIDEODRIVER", c.driver, 1);
        if (c.display) setenv("DISPLAY", c.display, 1);
        SdlBackend backend(240, 320, 1, SdlBackend::Mode::Window, zorvane_profile().desktop_id);
        EXPECT_EQ(backend.ok(), c.opens) << backend.failure();
        if (c.opens) continue;
        EXPECT_TRUE(backend.failure().starts_with("cannot open the display: ")) << backend.failure();
        EXPECT_NE(backend.failure().find(c.reason), std::string::npos) << backend.failure();
    }
}

// The display's orientation reaches the program as a turn; a window resized by the window manager,
// an orientation SDL cannot tell and another display's report do not.
TEST(SdlBackendEvents, TheDisplaysOrientationIsATurnAndAResizeIsNot)
{
    SavedEnvironment saved;
    for (const char* name : kVariables) unsetenv(name);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SdlBackend backend(240, 320, 1, SdlBackend::Mode::Window, zorvane_profile().desktop_id);
    ASSERT_TRUE(backend.ok()) << backend.failure();
    auto display = [](Uint32 index, SDL_DisplayOrientation o) {
        SDL_Event e{};
        e.type = SDL_DISPLAYEVENT;
        e.display.event = SDL_DISPLAYEVENT_ORIENTATION;
        e.display.display = index;
        e.display.data1 = o;
        return e;
    };
    SDL_Event resized{};
    resized.type = SDL_WINDOWEVENT;
    resized.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    resized.window.data1 = 640, resized.window.data2 = 480;
    for (SDL_Event e : {display(0, SDL_ORIENTATION_LANDSCAPE), resized, display(0, SDL_ORIENTATION_UNKNOWN),
                        display(1, SDL_ORIENTATION_PORTRAIT), display(0, SDL_ORIENTATION_PORTRAIT_FLIPPED),
                        display(0, SDL_ORIENTATION_LANDSCAPE_FLIPPED), display(0, SDL_ORIENTATION_PORTRAIT)})
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    std::vector<InputEvent> got;
    backend.poll(got);
    std::vector<bool> turns;
    for (const InputEvent& ev : got)
        if (ev.type == InputEvent::Type::Orientation) turns.push_back(ev.landscape);
    EXPECT_EQ(turns, (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(got.size(), turns.size()) << "nothing else";
}

}  // namespace
}  // namespace zv::test
