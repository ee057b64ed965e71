// Runs the whole program headless on its own user-interface thread: the test injects the
// stylus and keys, advances virtual time, waits until the program is idle, and then reads what
// the user would see (the composed screen) and the program's state.
#pragma once
#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "backend/headless_backend.h"
#include "composition/platform.h"
#include "tools/fixtures.h"

namespace zv::test {

class ProgramHarness {
public:
    struct Options {
        Options(std::filesystem::path folder, bool audio = true) : app_folder(std::move(folder)), audio_device(audio) {}
        std::filesystem::path app_folder;  // where the "executable" lives (direc.zvn, album.jpg)
        std::u16string executable;         // the executable's path when not app_folder/zorvane
        bool audio_device = true;
        bool with_resources = true;
        // The program opens with the now-playing panel; most scenarios test the playlist and
        // leave it at once (end_panels) unless asked to keep it.
        bool keep_start_panel = false;
        bool unregister_func1 = true;  // false: the core library lacks it
        // Replaces the program's resources (kept alive by the harness) when not empty.
        std::vector<std::uint8_t> resources;
    };

    explicit ProgramHarness(const Options& options);
    ~ProgramHarness();
    ProgramHarness(const ProgramHarness&) = delete;
    ProgramHarness& operator=(const ProgramHarness&) = delete;

    // Waits for the program to settle; fails the test if it hangs.
    void settle();
    void advance(std::uint64_t ms);
    void press(int x, int y);
    void move(int x, int y);
    void release(int x, int y);
    void tap(int x, int y);
    void key(int vk, bool ctrl = false, bool win = false);
    // Runs fn on the user-interface thread (between messages) and waits for it.
    void on_ui(std::function<void()> fn);
    // fn's answer, computed on the user-interface thread.
    template <class F>
    auto ui(F f)
    {
        decltype(f()) v{};
        on_ui([&] { v = f(); });
        return v;
    }
    // Item `i` of a list-view control (the playlist or the hidden path list), and their count.
    std::u16string item_text(HWND list, int i);
    int item_count(HWND list);
    // The screen rectangle of a window, or of its child `control`.
    RECT rect(HWND w, int control = 0);
    // The playlist rows lit as playing.
    std::vector<int> selected_rows();
    // What the sound device plays next: the dominant frequency, 0 for silence.
    double heard(std::size_t frames = 8192);
    // The tone of playlist row `row`, from the name tone_library gave its file.
    int tone_of(int row);
    // Ends the options panel (when open) and the newest now-playing panel, with no virtual time
    // passing, so the playlist is in front again.
    void end_panels();

    bool finished() const;
    int exit_code() const { return exit_code_; }
    Surface screen() const;
    std::uint32_t pixel(int x, int y) const;  // 0x00RRGGBB of the composed screen
    HeadlessBackend& backend() { return *platform_->headless(); }
    Platform& platform() { return *platform_; }
    // Pulls audio from the pulled sink (as the sound device would), delivering end-of-stream
    // notices to the program; returns interleaved stereo samples.
    std::vector<std::int16_t> pull_audio(std::size_t frames);
    void stop();

private:
    void stylus(InputEvent::Type type, int x, int y);

    std::vector<std::uint8_t> resources_;
    std::unique_ptr<Platform> platform_;
    std::thread ui_;
    int exit_code_ = -1;
};

// How many descriptors this process holds open.
int open_descriptors();
// The settings file beside the program, naming `music` as the music folder.
void write_settings(const std::filesystem::path& app, const std::filesystem::path& music);
// Empty files with these names (paths under app/music; the scan reads names only), named by the
// settings; numbered(n) gives "Track 00000.mp3" and on.
void write_library(const std::filesystem::path& app, const std::vector<std::string>& names);
std::vector<std::string> numbered(int count);
// `count` tracks in app/music, "f0300.mp3" sounding at 300 Hz and each next one `step_hz`
// higher, otherwise as `base` (tagged "A<hz>" and "T<hz>" when `tagged`), named by the settings.
void tone_library(const std::filesystem::path& app, int count, zv::fixtures::ToneTrack base = {}, int step_hz = 60,
                  bool tagged = false);

}  // namespace zv::test
