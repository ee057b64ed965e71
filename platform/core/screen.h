// The screen: its metrics and turn, full-screen requests, invalid regions and paint cycles, the
// composition of the top-level surfaces into the presented picture, and display power.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "base/backend.h"
#include "core/window.h"

namespace zv {

class Surface;
class UserState;

class Screen {
public:
    Screen(UserState& user, Backend& backend, int width, int height);
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    bool landscape() const { return width_ > height_; }
    // Turns the screen between portrait and landscape, as the handheld's rotate button does.
    void rotate();
    // SHFullScreen and SHInitDialog's full-screen flags: a dialog that asked for the whole
    // screen is given the new one when the screen turns. False for a window that is gone.
    bool request_full_screen(HWND h, bool on);

    void invalidate(Window* w, const RECT* r, bool erase);
    void validate(Window* w, const RECT* r);
    HDC begin_paint(Window* w, PAINTSTRUCT* ps);
    void end_paint(Window* w, const PAINTSTRUCT* ps);
    HDC get_dc(Window* w);
    HDC get_screen_dc();  // a DC on the composed screen (GetDC(NULL))
    void update_window(Window* w);
    int scroll_window(Window* w, int dx, int dy, const RECT* scroll, const RECT* clip, RECT* update, UINT flags);

    // Something visible changed: the screen is composed again before the loop waits.
    void mark_dirty() { dirty_ = true; }
    bool dirty() const { return dirty_; }
    void compose_and_present();

    void set_display_on(bool on);
    bool display_on() const { return display_on_; }
    std::uint64_t idle_resets() const { return idle_resets_; }
    void idle_reset();

private:
    RECT visible_client_on_surface(const Window* w) const;

    UserState& user_;
    Backend& backend_;
    int width_;
    int height_;
    std::shared_ptr<Surface> surface_;
    bool dirty_ = true;
    bool display_on_ = true;
    std::uint64_t idle_resets_ = 0;
};

}  // namespace zv
