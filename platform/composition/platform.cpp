#include "composition/platform.h"

#include "backend/headless_backend.h"
#include "backend/sdl_audio_output.h"
#include "backend/sdl_backend.h"
#include "controls/builtin_controls.h"
#include "core/user_state.h"
#include "files/file_system.h"
#include "gdi/gdi_state.h"
#include "instance/instance.h"
#include "resources/resource_access.h"
#include "resources/resource_table.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"

namespace zv {

namespace {
Platform* g_platform = nullptr;
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
}  // namespace

Platform::Platform(const PlatformOptions& options)
{
    files_ = std::make_unique<FileSystemState>();
    if (options.executable_path) files_->set_executable_path(options.executable_path);
    gdi_ = std::make_unique<GdiState>();
    resources_ = std::make_unique<ResourceTable>(options.resources);
    bool desktop = options.backend == PlatformOptions::BackendKind::Desktop;
    if (desktop) {
        auto sdl = std::make_unique<SdlBackend>(kScreenWidth, kScreenHeight, options.scale);
        failure_ = sdl->failure();
        backend_ = std::move(sdl);
    } else {
        auto h = std::make_unique<HeadlessBackend>();
        headless_ = h.get();
        backend_ = std::move(h);
    }
    user_ = std::make_unique<UserState>(*backend_, kScreenWidth, kScreenHeight);
    register_builtin_controls(*user_);
    user_->on_top_level_title = [this](HWND h) { on_top_level_title(h); };
    user_->find_other_instance = [](std::u16string_view cls, std::u16string_view title) {
        return query_instance(cls, title);
    };
    user_->raise_other_instance = [](std::u16string_view cls, std::u16string_view title) {
        return raise_instance(cls, title);
    };

    SoundSystem::AudioOutputFactory factory;
    if (desktop) {
        factory = []() -> std::unique_ptr<AudioOutput> { return SdlAudioOutput::open(); };
    } else if (options.audio_device) {
        factory = []() -> std::unique_ptr<AudioOutput> { return std::make_unique<PulledAudioOutput>(); };
    } else {
        factory = []() -> std::unique_ptr<AudioOutput> { return nullptr; };
    }
    UserState* user = user_.get();
    sound_ = std::make_unique<SoundSystem>(std::move(factory),
                                           [user](std::function<void()> fn) { user->post_closure(std::move(fn)); });
    // What the program changes in one turn (start a stream, then set its volume) reaches the mixer
    // together at the turn's end, so no buffer sounds between two of its calls.
    sound_->publish_at_turn_end(true);
    SoundSystem* sound = sound_.get();
    user_->on_turn_end = [sound] { sound->publish(); };
    g_platform = this;
}

Platform::~Platform()
{
    if (g_platform == this) g_platform = nullptr;
    instance_.reset();
    user_->on_turn_end = nullptr;
    sound_.reset();
    user_.reset();
    backend_.reset();
    resources_.reset();
    gdi_.reset();
    files_.reset();
}

Platform* Platform::current() { return g_platform; }

HINSTANCE Platform::module() const { return resources_->instance(); }

void Platform::program_finished()
{
    instance_.reset();
    backend_->finished();
}

void Platform::on_top_level_title(HWND hwnd)
{
    Window* w = user_->live_window(hwnd);
    if (!w || w->parent) return;  // owned pop-ups (dialogs, boxes) do not name the desktop window
    backend_->set_title(w->text);
    if (auto icon = icon_largest_pixels(w->cls->icon))
        backend_->set_icon(icon->width, icon->height, std::vector<std::uint32_t>(icon->argb.begin(), icon->argb.end()));
    if (w->cls->name == published_class_ && w->text == published_title_) return;
    // Announce the main window to later starts of the program under its class and title.
    published_class_ = w->cls->name;
    published_title_ = w->text;
    instance_.reset();
    UserState* user = user_.get();
    instance_ = std::make_unique<InstanceServer>(published_class_, published_title_, [user, hwnd] {
        user->post_closure([hwnd] { SetForegroundWindow(hwnd); });
    });
}

}  // namespace zv
