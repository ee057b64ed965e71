// The seam between the platform and the outside world: a screen to present to, input to read,
// a clock to wait on. The SDL backend drives a real window; the headless one serves tests.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"

namespace zv {

class Surface;

struct InputEvent {
    // AppCommand: a media key, as the APPCOMMAND_ number in `command`. Orientation: the display
    // itself was turned (a phone or tablet held the other way); `landscape` says which way.
    enum class Type { StylusDown, StylusMove, StylusUp, KeyDown, KeyUp, Quit, AppCommand, Orientation };
    Type type = Type::StylusDown;
    int x = 0;  // screen pixels
    int y = 0;
    int vk = 0;              // virtual key for key events
    int command = 0;         // APPCOMMAND_ for AppCommand
    bool landscape = false;  // for Orientation: wider than high
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    bool win = false;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const Clock& clock() const = 0;
    // Blocks until input arrives, wake() is called, or the clock reaches the deadline; appends
    // whatever input is pending to `out`.
    virtual void wait(std::optional<std::uint64_t> deadline_ms, std::vector<InputEvent>& out) = 0;
    // Non-blocking: appends pending input.
    virtual void poll(std::vector<InputEvent>& out) = 0;
    // Thread-safe: makes a blocked wait() return.
    virtual void wake() = 0;
    virtual void present(const Surface& screen, bool display_on) = 0;
    virtual void set_title(const std::u16string& title) = 0;
    virtual void set_icon(int width, int height, const std::vector<std::uint32_t>& argb) = 0;
    virtual void raise() = 0;
    virtual void inhibit_screen_saver() = 0;
    // The program's user-interface loop has ended (WinMain returned).
    virtual void finished() {}
};

}  // namespace zv
