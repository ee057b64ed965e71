#include "composition/platform.h"

#include <algorithm>

#include "backend/headless_backend.h"
#include "backend/sdl_audio_output.h"
#include "backend/sdl_backend.h"
#include "controls/builtin_controls.h"
#include "core/user_state.h"
#include "dialogs/dialog_window.h"
#include "files/codepage.h"
#include "files/file_system.h"
#include "gdi/gdi_state.h"
#include "instance/instance.h"
#include "instance/instance_socket.h"
#include "mpris/mpris_model.h"
#include "mpris/mpris_service.h"
#include "resources/resource_access.h"
#include "resources/resource_table.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"

namespace zv {

namespace {
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;

// The folder of what GetModuleFileName reports, ending with '/': the player writes its covers
// there.
std::string program_folder()
{
    std::u16string path(PATH_BUFFER_CHARS, u'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), PATH_BUFFER_CHARS));
    std::string folder = narrow(path);
    folder.resize(folder.find_last_of('/') + 1);  // npos + 1 is 0: no folder
    return folder;
}

// The media controls' private folder for cover copies, in the player's runtime folder; empty
// when there is none.
std::string cover_folder(const AppProfile& profile)
{
    if (profile.runtime_prefix.empty()) return {};
    const std::optional<std::string> runtime = instance_detail::runtime_dir(profile);
    return runtime ? *runtime + "/" + profile.runtime_prefix + "covers" : std::string{};
}

}  // namespace

Platform::Platform(const PlatformOptions& options) : profile_(options.profile)
{
    files_ = std::make_unique<FileSystemState>();
    if (options.executable_path) files_->set_executable_path(options.executable_path);
    if (options.settings_text) files_->set_settings_text(profile_.settings_file, *options.settings_text);
    gdi_ = std::make_unique<GdiState>();
    resources_ = std::make_unique<ResourceTable>(options.resources);
    bool desktop = options.backend == PlatformOptions::BackendKind::Desktop;
    if (desktop) {
        auto sdl = std::make_unique<SdlBackend>(
            kScreenWidth, kScreenHeight, options.scale,
            options.fullscreen ? SdlBackend::Mode::FullScreen : SdlBackend::Mode::Window, profile_.desktop_id);
        failure_ = sdl->failure();
        backend_ = std::move(sdl);
    } else {
        auto h = std::make_unique<HeadlessBackend>();
        headless_ = h.get();
        backend_ = std::move(h);
    }
    user_ = std::make_unique<UserState>(*backend_, kScreenWidth, kScreenHeight);
    register_list_box_class(*user_);
    register_list_view_class(*user_);
    register_message_box_class(*user_);
    register_push_button_class(*user_);
    register_static_class(*user_);
    register_dialog_class(*user_);
    user_->windows().on_top_level_title = [this](HWND h) { on_top_level_title(h); };
    user_->input().unregister_func1_exported = options.unregister_func1;
    user_->windows().find_other_instance = [this](std::u16string_view cls, std::u16string_view title) {
        return query_instance(profile_, cls, title);
    };
    user_->windows().raise_other_instance = [this](std::u16string_view cls, std::u16string_view title) {
        return raise_instance(profile_, cls, title);
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
    sound_ = std::make_unique<SoundSystem>(
        std::move(factory), [user](std::function<void()> fn) { user->queue().post_closure(std::move(fn)); });
    // What the program changes in one turn (start a stream, then set its volume) reaches the mixer
    // together at the turn's end, so no buffer sounds between two of its calls.
    sound_->publish_at_turn_end(true);
    user_->queue().on_turn_end = [this] { turn_end(); };
    // The media controls appear with the main window (its title), so a start that only hands over
    // to a running player never shows on the bus.
    offer_media_controls_ = desktop && options.media_controls && failure_.empty() && !profile_.mpris_bus_name.empty();
}

Platform::~Platform()
{
    mpris_.reset();
    instance_.reset();
    user_->queue().on_turn_end = nullptr;
    sound_.reset();
    user_.reset();
    backend_.reset();
    resources_.reset();
    gdi_.reset();
    files_.reset();
}

HINSTANCE Platform::module() const { return resources_->instance(); }

void Platform::program_finished()
{
    offer_media_controls_ = false;
    mpris_.reset();
    instance_.reset();
    backend_->finished();
}

void Platform::turn_end()
{
    sound_->publish();
    // The media controls hear of a change once, at the end of the turn that made it.
    if (!mpris_) return;
    const std::uint64_t version = sound_->now_playing_version();
    if (version == published_now_playing_) return;
    published_now_playing_ = version;
    mpris_->publish(sound_->now_playing());
}

void Platform::media_command(const MediaCommand& command)
{
    UserState* user = user_.get();
    SoundSystem* sound = sound_.get();
    Backend* backend = backend_.get();
    const int step = profile_.volume_step;
    // Decided on the user-interface thread, against what plays there and then, so two quick
    // requests never both act on the same old state.
    user->queue().post_closure([this, user, sound, backend, step, command] {
        switch (command.request) {
            case MediaRequest::Seek:
            case MediaRequest::SetPosition: seek(command); break;
            case MediaRequest::Raise: backend->raise(); break;
            case MediaRequest::Quit: user->queue().post_quit(0); break;  // as the close button does
            case MediaRequest::SetVolume: {
                const VolumeSteps steps = volume_steps(sound->now_playing().volume, command.volume, step);
                for (int i = 0; i < steps.count; ++i) user->input().deliver_app_command(steps.command, FAPPCOMMAND_OEM);
                break;
            }
            default:
                if (const int c = app_command_for(command.request, sound->now_playing().state))
                    user->input().deliver_app_command(c, FAPPCOMMAND_OEM);
                break;
        }
    });
}

void Platform::seek(const MediaCommand& command)
{
    const NowPlaying now = sound_->now_playing();
    const SeekMove move =
        seek_move(command, now.state, track_id(now.stream, profile_), sound_->position_us(now.stream), now.length_us);
    if (move.kind == SeekMove::Kind::Next) {
        user_->input().deliver_app_command(APPCOMMAND_MEDIA_NEXTTRACK, FAPPCOMMAND_OEM);
        return;
    }
    if (move.kind != SeekMove::Kind::To) return;
    // The player resumes a paused track from the position it read when it paused: it is resumed,
    // moved and paused again within this one turn, so it reads the new position and nothing sounds
    // (a play and a stop of the same turn never reach the mixer).
    const bool paused = now.state == PlaybackState::Paused;
    if (paused) user_->input().deliver_app_command(APPCOMMAND_MEDIA_PLAY_PAUSE, FAPPCOMMAND_OEM);
    const bool moved = sound_->set_position_us(now.stream, move.to_us);
    if (paused) user_->input().deliver_app_command(APPCOMMAND_MEDIA_PLAY_PAUSE, FAPPCOMMAND_OEM);
    if (moved && mpris_) mpris_->seeked(std::max<std::int64_t>(sound_->position_us(now.stream), 0));
}

void Platform::on_top_level_title(HWND hwnd)
{
    Window* w = user_->windows().live_window(hwnd);
    if (!w || w->parent) return;  // owned pop-ups (dialogs, boxes) do not name the desktop window
    backend_->set_title(w->text);
    if (auto icon = icon_largest_pixels(w->cls->icon))
        backend_->set_icon(icon->width, icon->height, std::vector<std::uint32_t>(icon->argb.begin(), icon->argb.end()));
    if (offer_media_controls_ && !mpris_) {
        SoundSystem* sound = sound_.get();
        mpris_ = std::make_unique<MprisService>(MprisService::Hooks{
            .command = [this](const MediaCommand& c) { media_command(c); },
            .position_us =
                [sound](std::uintptr_t stream) { return std::max<std::int64_t>(sound->position_us(stream), 0); },
            .program_folder = program_folder(),
            .cover_folder = cover_folder(profile_),
            .profile = profile_,
        });
    }
    if (w->cls->name == published_class_ && w->text == published_title_) return;
    // Announce the main window to later starts of the program under its class and title.
    published_class_ = w->cls->name;
    published_title_ = w->text;
    instance_.reset();
    UserState* user = user_.get();
    instance_ = std::make_unique<InstanceServer>(profile_, published_class_, published_title_, [user, hwnd] {
        user->queue().post_closure([hwnd] { SetForegroundWindow(hwnd); });
    });
}

}  // namespace zv
