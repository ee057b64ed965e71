// The whole platform as one object: a test creates one, runs the program, and destroys it;
// the program's entry point does the same with the desktop backend.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "base/app_profile.h"
#include "windows.h"

namespace zv {

class Backend;
class HeadlessBackend;
class UserState;
class GdiState;
class ResourceTable;
class FileSystemState;
class SoundSystem;
class InstanceServer;
class MprisService;
struct MediaCommand;

struct PlatformOptions {
    enum class BackendKind { Desktop, Headless };
    BackendKind backend = BackendKind::Headless;
    int scale = 0;            // desktop window scale; 0 picks the largest that fits
    bool fullscreen = false;  // desktop: the whole display, the screen centred on black
    // This run's settings file text, read in place of the file beside the executable (a folder
    // given on the command line); the file itself is neither read nor written.
    std::optional<std::string> settings_text;
    std::span<const std::uint8_t> resources;        // the compiled .res file
    std::optional<std::u16string> executable_path;  // what GetModuleFileName reports
    bool audio_device = true;                       // headless: a pulled sink exists; false: none opens
    bool media_controls = true;                     // desktop only: the player on the session bus (MPRIS)
    bool unregister_func1 = true;                   // false: a core library that lacks UnregisterFunc1
    AppProfile profile;  // the program's names and rules (platform/entry/); a default one names nothing
};

class Platform {
public:
    explicit Platform(const PlatformOptions& options);
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // Why the desktop backend has no window, as one sentence for the user; empty when it has
    // one, and always for a headless platform.
    const std::string& failure() const { return failure_; }

    HINSTANCE module() const;
    HeadlessBackend* headless() { return headless_; }
    UserState& user() { return *user_; }
    SoundSystem& sound() { return *sound_; }
    // Runs on the user-interface thread once the program's loop has returned.
    void program_finished();
    // Any thread: a request from the desktop's media controls, carried out on the user-interface
    // thread as the player's own commands (WM_APPCOMMAND to its main window).
    void media_command(const MediaCommand& command);

private:
    void on_top_level_title(HWND hwnd);
    // A Seek or SetPosition request, on the user-interface thread.
    void seek(const MediaCommand& command);
    void turn_end();

    AppProfile profile_;  // first: what the pieces below were handed outlives them
    std::unique_ptr<FileSystemState> files_;
    std::unique_ptr<GdiState> gdi_;
    std::unique_ptr<ResourceTable> resources_;
    std::unique_ptr<Backend> backend_;
    HeadlessBackend* headless_ = nullptr;
    std::unique_ptr<UserState> user_;
    std::unique_ptr<SoundSystem> sound_;
    std::unique_ptr<InstanceServer> instance_;
    std::unique_ptr<MprisService> mpris_;
    bool offer_media_controls_ = false;
    std::uint64_t published_now_playing_ = ~std::uint64_t{0};
    std::u16string published_class_;
    std::u16string published_title_;
    std::string failure_;
};

}  // namespace zv
