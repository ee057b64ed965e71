// The whole platform as one object: a test creates one, runs the program, and destroys it;
// the program's entry point does the same with the desktop backend.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

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

struct PlatformOptions {
    enum class BackendKind { Desktop, Headless };
    BackendKind backend = BackendKind::Headless;
    int scale = 0;                                  // desktop window scale; 0 picks the largest that fits
    std::span<const std::uint8_t> resources;        // the compiled .res file
    std::optional<std::u16string> executable_path;  // what GetModuleFileName reports
    bool audio_device = true;                       // headless: a pulled sink exists; false: none opens
};

class Platform {
public:
    explicit Platform(const PlatformOptions& options);
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    static Platform* current();

    // Why the desktop backend has no window, as one sentence for the user; empty when it has
    // one, and always for a headless platform.
    const std::string& failure() const { return failure_; }

    HINSTANCE module() const;
    HeadlessBackend* headless() { return headless_; }
    UserState& user() { return *user_; }
    SoundSystem& sound() { return *sound_; }
    // Runs on the user-interface thread once the program's loop has returned.
    void program_finished();

private:
    void on_top_level_title(HWND hwnd);

    std::unique_ptr<FileSystemState> files_;
    std::unique_ptr<GdiState> gdi_;
    std::unique_ptr<ResourceTable> resources_;
    std::unique_ptr<Backend> backend_;
    HeadlessBackend* headless_ = nullptr;
    std::unique_ptr<UserState> user_;
    std::unique_ptr<SoundSystem> sound_;
    std::unique_ptr<InstanceServer> instance_;
    std::u16string published_class_;
    std::u16string published_title_;
    std::string failure_;
};

}  // namespace zv
