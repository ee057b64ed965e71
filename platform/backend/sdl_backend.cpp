#include "backend/sdl_backend.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backend/screen_fit.h"
#include "files/codepage.h"
#include "gdi/surface.h"
#include "winuser.h"

namespace zv {

namespace {

// SDL falls back to these when no display opens. Their windows are drawn nowhere, so the
// player would run on unseen; they are used only when the user names one.
bool draws_nowhere(std::string_view driver) { return driver == "offscreen" || driver == "dummy" || driver == "evdev"; }

// libwayland finds its socket only through WAYLAND_DISPLAY as a path or XDG_RUNTIME_DIR; without
// either, trying it only prints libwayland's own complaint.
bool wayland_reachable()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return (name && name[0] == '/') || (runtime && *runtime);
}

// A local X server's socket exists for DISPLAY (":N" or ":N.S"): a refused connection is then
// worth another try. Xvfb, for one, resets when its last client leaves and drops connections
// still being set up at that moment.
bool local_x_server_listening()
{
    const char* display = std::getenv("DISPLAY");
    if (!display || display[0] != ':') return false;
    std::string number;
    for (const char* c = display + 1; *c >= '0' && *c <= '9'; ++c) number += *c;
    return !number.empty() && access(("/tmp/.X11-unix/X" + number).c_str(), F_OK) == 0;
}

// The media keys, as the application commands they give.
int app_command_of(SDL_Keycode k)
{
    switch (k) {
        case SDLK_AUDIOPLAY: return APPCOMMAND_MEDIA_PLAY_PAUSE;
        case SDLK_AUDIOSTOP: return APPCOMMAND_MEDIA_STOP;
        case SDLK_AUDIONEXT: return APPCOMMAND_MEDIA_NEXTTRACK;
        case SDLK_AUDIOPREV: return APPCOMMAND_MEDIA_PREVIOUSTRACK;
        case SDLK_VOLUMEUP: return APPCOMMAND_VOLUME_UP;
        case SDLK_VOLUMEDOWN: return APPCOMMAND_VOLUME_DOWN;
        default: return 0;
    }
}

std::string describe_variable(const char* name)
{
    const char* value = std::getenv(name);
    return std::string(name) + (value && *value ? std::string("=") + value : std::string(" unset"));
}

// Whether an orientation SDL reports is landscape; none when SDL cannot tell.
std::optional<bool> landscape_of(Sint32 orientation)
{
    switch (orientation) {
        case SDL_ORIENTATION_LANDSCAPE:
        case SDL_ORIENTATION_LANDSCAPE_FLIPPED: return true;
        case SDL_ORIENTATION_PORTRAIT:
        case SDL_ORIENTATION_PORTRAIT_FLIPPED: return false;
        default: return std::nullopt;
    }
}

}  // namespace

class SdlBackend::Impl {
public:
    bool video_started = false;
    std::string failure;
    SDL_Window* window = nullptr;
    // The window's own framebuffer (X11's shared-memory image), scaled by us; or, where SDL has
    // none, a renderer and its texture.
    bool use_framebuffer = false;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::vector<std::uint32_t> last;     // the last frame presented, unscaled 0x00RRGGBB
    std::vector<std::uint32_t> staging;  // a scaled frame, for a framebuffer in another format
    Uint32 wake_event = 0;
    int width = 0, height = 0;  // the device's screen, as it is turned
    bool fullscreen = false;
    int max_scale = 0;  // full screen: the scale asked for, as a cap; 0 none
    // Where the last frame went in the window; taps map through it, so they act on what is seen.
    // No high-density drawing is asked of SDL, so window points are framebuffer pixels.
    ScreenFit fit;
    // The next frame clears the border and updates the whole window: the geometry changed, the
    // framebuffer is new or the window lost its contents. Otherwise only the picture is written.
    bool whole_window = true;
    SDL_Surface* framebuffer = nullptr;  // the one the last frame went to
    StylusHold hold;
    bool display_on = true;  // as last presented: a blank display wakes from a tap anywhere
    bool cursor_hidden = false;
    bool shown = false;

    ~Impl()
    {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        if (video_started) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    }

    // Starts SDL's video on a driver that reaches a display: the one SDL_VIDEODRIVER names, as
    // asked, or else the first of SDL's own order that draws somewhere.
    bool start_video()
    {
        if (const char* chosen = std::getenv("SDL_VIDEODRIVER"); chosen && *chosen) {
            video_started = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
            if (!video_started)
                failure =
                    std::string("cannot open the display: ") + SDL_GetError() + " (SDL_VIDEODRIVER=" + chosen + ")";
            return video_started;
        }
        std::string reasons;
        for (int i = 0; i < SDL_GetNumVideoDrivers() && !video_started; ++i) {
            const char* driver = SDL_GetVideoDriver(i);
            if (!driver || draws_nowhere(driver)) continue;
            if (std::string_view(driver) == "wayland" && !wayland_reachable()) continue;
            // Above the environment, so that an empty SDL_VIDEODRIVER cannot reopen the fallback.
            SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
            video_started = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
            const bool x11 = std::string_view(driver) == "x11";
            for (int retry = 0; !video_started && x11 && retry < 5 && local_x_server_listening(); ++retry) {
                SDL_Delay(200);
                video_started = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
            }
            if (!video_started) reasons += (reasons.empty() ? "" : "; ") + std::string(SDL_GetError());
        }
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        if (!video_started) {
            if (reasons.empty()) reasons = "no display driver in this SDL";
            failure = "cannot open the display: " + reasons + " (" + describe_variable("DISPLAY") + ", " +
                      describe_variable("WAYLAND_DISPLAY") + ")";
        }
        return video_started;
    }

    // What could not be made on an open display, with SDL's reason.
    void fail(const char* what) { failure = std::string(what) + ": " + SDL_GetError(); }

    int key_to_vk(SDL_Keycode k, bool& win) const
    {
        win = false;
        if (k >= SDLK_a && k <= SDLK_z) return 'A' + static_cast<int>(k - SDLK_a);
        if (k >= SDLK_0 && k <= SDLK_9) return '0' + static_cast<int>(k - SDLK_0);
        if (k >= SDLK_F1 && k <= SDLK_F6) {
            // F1..F6 stand for the device's application buttons, which carry the Windows key.
            win = true;
            return VK_APP1 + static_cast<int>(k - SDLK_F1);
        }
        switch (k) {
            case SDLK_F7: return VK_F7;  // the rotate button
            case SDLK_UP: return VK_UP;
            case SDLK_DOWN: return VK_DOWN;
            case SDLK_LEFT: return VK_LEFT;
            case SDLK_RIGHT: return VK_RIGHT;
            case SDLK_RETURN:
            case SDLK_KP_ENTER: return VK_RETURN;
            case SDLK_ESCAPE: return VK_ESCAPE;
            case SDLK_SPACE: return VK_SPACE;
            case SDLK_BACKSPACE: return VK_BACK;
            case SDLK_TAB: return VK_TAB;
            case SDLK_LCTRL:
            case SDLK_RCTRL: return VK_CONTROL;
            case SDLK_LSHIFT:
            case SDLK_RSHIFT: return VK_SHIFT;
            case SDLK_LALT:
            case SDLK_RALT: return VK_MENU;
            default: return 0;
        }
    }

    // A stylus reports its position while it is held, so every press is followed by a sample
    // where it landed; a mouse click reports none, and without it a click after a slow drag
    // would still count as part of that drag.
    static void press_sample(const InputEvent& press, std::vector<InputEvent>& out)
    {
        if (press.type != InputEvent::Type::StylusDown) return;
        InputEvent sample = press;
        sample.type = InputEvent::Type::StylusMove;
        out.push_back(sample);
    }

    // A pointer's press, move or lift at a window point, as the stylus on the screen if it holds it.
    void stylus(InputEvent::Type type, StylusHold::Pointer who, std::int64_t id, FitPoint window,
                std::vector<InputEvent>& out)
    {
        const std::optional<FitPoint> at = type == InputEvent::Type::StylusDown
                                               ? hold.press(fit, who, id, window, !display_on)
                                           : type == InputEvent::Type::StylusUp ? hold.lift(fit, who, id, window)
                                                                                : hold.move(fit, who, id, window);
        if (!at) return;
        InputEvent ev;
        ev.type = type;
        ev.x = at->x;
        ev.y = at->y;
        out.push_back(ev);
        press_sample(ev, out);
    }

    void show_cursor(bool show)
    {
        if (cursor_hidden != show) return;
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
        cursor_hidden = !show;
    }

    void translate(const SDL_Event& e, std::vector<InputEvent>& out)
    {
        InputEvent ev;
        switch (e.type) {
            case SDL_QUIT:
                ev.type = InputEvent::Type::Quit;
                out.push_back(ev);
                break;
            // Mouse events that SDL makes from touch carry SDL_TOUCH_MOUSEID, and touch events
            // made from the mouse SDL_MOUSE_TOUCHID: the finger or the mouse already counted.
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
                stylus(e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Type::StylusDown : InputEvent::Type::StylusUp,
                       StylusHold::Pointer::Mouse, 0, {e.button.x, e.button.y}, out);
                break;
            }
            case SDL_MOUSEMOTION:
                if (e.motion.which == SDL_TOUCH_MOUSEID) break;
                show_cursor(true);  // the mouse is in use again
                if (e.motion.state & SDL_BUTTON_LMASK)
                    stylus(InputEvent::Type::StylusMove, StylusHold::Pointer::Mouse, 0, {e.motion.x, e.motion.y}, out);
                break;
            case SDL_FINGERDOWN:
            case SDL_FINGERMOTION:
            case SDL_FINGERUP: {
                if (e.tfinger.touchId == SDL_MOUSE_TOUCHID) break;
                if (e.type == SDL_FINGERDOWN) show_cursor(false);  // a finger needs no pointer on the screen
                stylus(e.type == SDL_FINGERDOWN ? InputEvent::Type::StylusDown
                       : e.type == SDL_FINGERUP ? InputEvent::Type::StylusUp
                                                : InputEvent::Type::StylusMove,
                       StylusHold::Pointer::Finger, e.tfinger.fingerId, fit.from_normalised(e.tfinger.x, e.tfinger.y),
                       out);
                break;
            }
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                if (const int command = app_command_of(e.key.keysym.sym)) {
                    // One command per press; a held volume key goes on stepping, as it repeats.
                    const bool volume = command == APPCOMMAND_VOLUME_UP || command == APPCOMMAND_VOLUME_DOWN;
                    if (e.type == SDL_KEYDOWN && (!e.key.repeat || volume)) {
                        ev.type = InputEvent::Type::AppCommand;
                        ev.command = command;
                        out.push_back(ev);
                    }
                    break;
                }
                bool win = false;
                int vk = key_to_vk(e.key.keysym.sym, win);
                if (!vk) break;
                ev.type = e.type == SDL_KEYDOWN ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
                ev.vk = vk;
                ev.win = win;
                ev.ctrl = (e.key.keysym.mod & KMOD_CTRL) != 0;
                ev.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
                ev.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
                out.push_back(ev);
                break;
            }
            case SDL_WINDOWEVENT:
                // A window that was just mapped, uncovered or resized shows the last frame again, at
                // once: a resized one at its new fit, before any tap is mapped through it.
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
                    e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_RESTORED) {
                    whole_window = true;
                    redraw();
                }
                break;
            case SDL_DISPLAYEVENT:
                // The display the window is on was turned (a compositor that knows, as on a phone
                // or tablet): the device's screen turns with it. A window the window manager
                // merely resizes is not a turn; the fit takes care of that.
                if (const int on = SDL_GetWindowDisplayIndex(window);
                    e.display.event == SDL_DISPLAYEVENT_ORIENTATION &&
                    (on < 0 || static_cast<int>(e.display.display) == on)) {
                    if (const std::optional<bool> landscape = landscape_of(e.display.data1)) {
                        ev.type = InputEvent::Type::Orientation;
                        ev.landscape = *landscape;
                        out.push_back(ev);
                    }
                }
                break;
            case SDL_RENDER_TARGETS_RESET:
            case SDL_RENDER_DEVICE_RESET:
                whole_window = true;
                redraw();
                break;
            default: break;
        }
    }

    // Presents through the window's framebuffer when SDL has one for this display without a GPU
    // renderer: a 240 x 320 picture does not need the OpenGL stack (and its tens of megabytes).
    // Otherwise (native Wayland) through SDL's renderer. False when neither works.
    bool choose_presenter()
    {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (SDL_GetWindowSurface(window)) {
            use_framebuffer = true;
            return true;
        }
        renderer = SDL_CreateRenderer(window, -1, 0);
        if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer) {
            fail("cannot create a renderer");
            return false;
        }
        return make_texture();
    }

    bool make_texture()
    {
        if (texture) SDL_DestroyTexture(texture);
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!texture) fail("cannot create the screen texture");
        return texture != nullptr;
    }

    // The screen turned. A window takes the new shape at the scale it shows now (a tiling window
    // manager may keep its own size: the next frame fits whatever it gets); full screen only
    // fits the new shape into the display.
    bool reshape(int w, int h)
    {
        width = w;
        height = h;
        whole_window = true;
        if (!fullscreen) {
            SDL_SetWindowMinimumSize(window, w, h);
            SDL_SetWindowSize(window, w * fit.scale(), h * fit.scale());
        }
        return use_framebuffer || make_texture();
    }

    // Writes `last`, scaled, into the framebuffer in its own format where `fit` puts it; the part
    // of the picture that a window too small for it cannot hold is left out.
    SDL_Rect fill_framebuffer(SDL_Surface* fb)
    {
        const int scale = fit.scale();
        const int vw = std::min(fit.picture_width(), fb->w - fit.x());
        const int vh = std::min(fit.picture_height(), fb->h - fit.y());
        if (vw <= 0 || vh <= 0 || last.size() != static_cast<std::size_t>(width) * height) return SDL_Rect{};
        const bool xrgb =
            fb->format->format == SDL_PIXELFORMAT_RGB888 || fb->format->format == SDL_PIXELFORMAT_ARGB8888;
        std::uint8_t* target = static_cast<std::uint8_t*>(fb->pixels) +
                               static_cast<std::ptrdiff_t>(fit.y()) * fb->pitch +
                               static_cast<std::ptrdiff_t>(fit.x()) * fb->format->BytesPerPixel;
        std::uint8_t* base = target;
        int pitch = fb->pitch;
        if (!xrgb) {
            staging.resize(static_cast<std::size_t>(vw) * vh);
            base = reinterpret_cast<std::uint8_t*>(staging.data());
            pitch = vw * 4;
        }
        auto row_at = [&](int y) {
            return reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * pitch);
        };
        for (int sy = 0; sy * scale < vh; ++sy) {
            std::uint32_t* row = row_at(sy * scale);
            const std::uint32_t* src = last.data() + static_cast<std::size_t>(sy) * width;
            if (scale == 1) {
                std::copy_n(src, vw, row);
                continue;
            }
            for (int sx = 0; sx * scale < vw; ++sx)
                std::fill_n(row + sx * scale, std::min(scale, vw - sx * scale), src[sx]);
            const int repeat = std::min(scale, vh - sy * scale);
            for (int r = 1; r < repeat; ++r) std::copy_n(row, vw, row_at(sy * scale + r));
        }
        if (!xrgb)
            SDL_ConvertPixels(vw, vh, SDL_PIXELFORMAT_RGB888, base, pitch, fb->format->format, target, fb->pitch);
        return SDL_Rect{fit.x(), fit.y(), vw, vh};
    }

    void redraw()
    {
        if (use_framebuffer) {
            // SDL drops the framebuffer when the window is resized and makes a new one on the next
            // call, so it is asked for every frame (a cheap call while the old one is valid).
            SDL_Surface* fb = SDL_GetWindowSurface(window);
            if (!fb) return;
            const ScreenFit now(fb->w, fb->h, width, height, max_scale);
            if (fb != framebuffer || !(now == fit)) whole_window = true;
            fit = now;
            framebuffer = fb;
            if (SDL_MUSTLOCK(fb) && SDL_LockSurface(fb) != 0) return;
            // The border is cleared only when it may hold something else; a frame writes the
            // picture alone.
            if (whole_window) SDL_FillRect(fb, nullptr, SDL_MapRGB(fb->format, 0, 0, 0));
            const SDL_Rect picture = fill_framebuffer(fb);
            if (SDL_MUSTLOCK(fb)) SDL_UnlockSurface(fb);
            if (whole_window)
                SDL_UpdateWindowSurface(window);
            else if (picture.w > 0)
                SDL_UpdateWindowSurfaceRects(window, &picture, 1);
            whole_window = false;
            return;
        }
        if (!renderer || !texture) return;
        int ow = 0, oh = 0;
        if (SDL_GetRendererOutputSize(renderer, &ow, &oh) != 0) return;
        fit = ScreenFit(ow, oh, width, height, max_scale);
        void* pixels = nullptr;
        int pitch = 0;
        if (last.size() == static_cast<std::size_t>(width) * height &&
            SDL_LockTexture(texture, nullptr, &pixels, &pitch) == 0) {
            auto* dst = static_cast<std::uint8_t*>(pixels);
            for (int y = 0; y < height; ++y)
                std::copy_n(last.data() + static_cast<std::size_t>(y) * width, width,
                            reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * pitch));
            SDL_UnlockTexture(texture);
        }
        // A renderer's back buffer holds nothing from the last frame: the border is cleared each time.
        const SDL_Rect picture{fit.x(), fit.y(), fit.picture_width(), fit.picture_height()};
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, &picture);
        SDL_RenderPresent(renderer);
        whole_window = false;
    }
};

SdlBackend::SdlBackend(int w, int h, int scale, Mode mode, const std::string& app_id) : impl_(std::make_unique<Impl>())
{
    impl_->width = w;
    impl_->height = h;
    impl_->fullscreen = mode == Mode::FullScreen;
    if (impl_->fullscreen) impl_->max_scale = std::max(scale, 0);
    // SDL 2.26 reads the window class from these when its video starts; a user's own wins.
    if (!app_id.empty()) {
        setenv("SDL_VIDEO_X11_WMCLASS", app_id.c_str(), 0);
        setenv("SDL_VIDEO_WAYLAND_WMCLASS", app_id.c_str(), 0);
    }
    if (!impl_->start_video()) return;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    scale = std::min(scale, 64);  // beyond any display; keeps the window's size in range
    if (scale <= 0) {
        SDL_Rect usable;
        scale = 1;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
            scale = std::max(1, std::min(usable.w / w, (usable.h - 40) / h));
    }
    // Full screen on the desktop's own mode: no mode switch, and the picture is fitted into it.
    const Uint32 shape = impl_->fullscreen ? Uint32{SDL_WINDOW_FULLSCREEN_DESKTOP} : Uint32{SDL_WINDOW_RESIZABLE};
    const Uint32 flags = SDL_WINDOW_HIDDEN | shape;
    // A full-screen window opens over the whole display: full screen is a request to the window
    // manager, and where there is none (a kiosk's bare X server) nobody would grant it.
    SDL_Rect place{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w * scale, h * scale};
    if (impl_->fullscreen && SDL_GetDisplayBounds(0, &place) != 0)
        place = SDL_Rect{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w * scale, h * scale};
    impl_->window = SDL_CreateWindow("", place.x, place.y, place.w, place.h, flags);
    if (!impl_->window) {
        impl_->fail("cannot create the window");
        return;
    }
    if (!impl_->fullscreen) SDL_SetWindowMinimumSize(impl_->window, w, h);
    impl_->fit = ScreenFit(w * scale, h * scale, w, h);
    if (!impl_->choose_presenter()) return;
    impl_->wake_event = SDL_RegisterEvents(1);
}

SdlBackend::~SdlBackend() = default;

bool SdlBackend::ok() const { return impl_->failure.empty(); }

const std::string& SdlBackend::failure() const { return impl_->failure; }

void SdlBackend::wait(std::optional<std::uint64_t> deadline, std::vector<InputEvent>& out)
{
    int timeout = -1;
    if (deadline) {
        std::uint64_t now = clock_.now_ms();
        timeout = *deadline <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(*deadline - now, 1000000));
    }
    SDL_Event e;
    int got = timeout < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeout);
    if (got) impl_->translate(e, out);
    poll(out);
}

void SdlBackend::poll(std::vector<InputEvent>& out)
{
    SDL_Event e;
    while (SDL_PollEvent(&e)) impl_->translate(e, out);
}

void SdlBackend::wake()
{
    if (!impl_->wake_event || impl_->wake_event == static_cast<Uint32>(-1)) return;
    SDL_Event e{};
    e.type = impl_->wake_event;
    SDL_PushEvent(&e);
}

void SdlBackend::present(const Surface& screen, bool display_on)
{
    if (!ok()) return;
    if ((screen.width() != impl_->width || screen.height() != impl_->height) &&
        !impl_->reshape(screen.width(), screen.height()))
        return;
    if (!impl_->shown) {
        SDL_ShowWindow(impl_->window);
        impl_->shown = true;
    }
    impl_->display_on = display_on;
    auto& last = impl_->last;
    last.resize(static_cast<std::size_t>(impl_->width) * impl_->height);
    if (!display_on)
        std::fill(last.begin(), last.end(), 0u);
    else
        for (int y = 0; y < impl_->height; ++y)
            std::copy_n(screen.row(y), impl_->width, last.data() + static_cast<std::size_t>(y) * impl_->width);
    impl_->redraw();
}

void SdlBackend::set_title(const std::u16string& title)
{
    if (impl_->window) SDL_SetWindowTitle(impl_->window, narrow(title).c_str());
}

void SdlBackend::set_icon(int width, int height, const std::vector<std::uint32_t>& argb)
{
    if (!impl_->window || width <= 0 || height <= 0 || argb.size() < static_cast<std::size_t>(width) * height) return;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(argb.data()), width, height, 32,
                                                        width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return;
    SDL_SetWindowIcon(impl_->window, s);
    SDL_FreeSurface(s);
}

void SdlBackend::raise()
{
    if (!impl_->window) return;
    SDL_ShowWindow(impl_->window);
    SDL_RestoreWindow(impl_->window);
    SDL_RaiseWindow(impl_->window);
}

void SdlBackend::inhibit_screen_saver() { SDL_DisableScreenSaver(); }

}  // namespace zv
