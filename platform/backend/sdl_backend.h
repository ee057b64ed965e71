// The desktop backend: an SDL2 window of any size, or the whole display, showing the 240 x 320
// screen at the largest whole scale that fits, centred on black (backend/screen_fit.h), with the
// mouse and touch as the stylus and the keyboard as the device's keys.
#pragma once
#include <memory>
#include <string>

#include "base/backend.h"

namespace zv {

class SdlBackend final : public Backend {
public:
    enum class Mode { Window, FullScreen };
    // Window: opens at `scale` (0: the largest whole scale that fits the desktop); once the window
    // manager or the user gives it another size, the picture takes the largest scale that fits.
    // FullScreen: the display's own size; `scale`, when given, is the largest scale used.
    // `app_id` is the program's desktop id: the desktop matches the window to its entry by it, for
    // the icon, the name and the media controls; empty leaves the window class to SDL.
    SdlBackend(int screen_width, int screen_height, int scale, Mode mode, const std::string& app_id);
    ~SdlBackend() override;
    bool ok() const;
    // Why there is no window, as one sentence for the user; empty when ok().
    const std::string& failure() const;

    const Clock& clock() const override { return clock_; }
    void wait(std::optional<std::uint64_t> deadline_ms, std::vector<InputEvent>& out) override;
    void poll(std::vector<InputEvent>& out) override;
    void wake() override;
    void present(const Surface& screen, bool display_on) override;
    void set_title(const std::u16string& title) override;
    void set_icon(int width, int height, const std::vector<std::uint32_t>& argb) override;
    void raise() override;
    void inhibit_screen_saver() override;

private:
    class Impl;
    MonotonicClock clock_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zv
