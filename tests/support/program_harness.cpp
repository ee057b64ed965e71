#include "support/program_harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "entry/zorvane_profile.h"
#include "resources/resource_blob.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "support/sound_measure.h"

namespace zv::test {

ProgramHarness::ProgramHarness(const Options& options)
{
    // Each program under test announces itself in its own folder, so tests running side by
    // side (or a player on the desktop) never find one another as the running instance.
    std::filesystem::path run = options.app_folder / ".run";
    std::filesystem::create_directories(run);
    PlatformOptions po;
    po.profile = zorvane_profile();
    setenv(po.profile.runtime_dir_variable.c_str(), run.c_str(), 1);
    po.backend = PlatformOptions::BackendKind::Headless;
    resources_ = options.resources;
    if (!resources_.empty())
        po.resources = resources_;
    else if (options.with_resources)
        po.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
    po.executable_path = options.executable.empty() ? (options.app_folder / "zorvane").u16string() : options.executable;
    po.audio_device = options.audio_device;
    po.unregister_func1 = options.unregister_func1;
    platform_ = std::make_unique<Platform>(po);
    HINSTANCE module = platform_->module();
    Platform* platform = platform_.get();
    ui_ = std::thread([this, module, platform] {
        std::u16string cmd;
        exit_code_ = WinMain(module, nullptr, cmd.data(), SW_SHOW);
        platform->program_finished();
    });
    settle();
    if (!options.keep_start_panel) end_panels();
}

ProgramHarness::~ProgramHarness() { stop(); }

void ProgramHarness::stop()
{
    if (ui_.joinable()) {
        if (!finished()) platform_->user().queue().post_closure([] { PostQuitMessage(0); });
        ui_.join();
    }
}

void ProgramHarness::settle() { ASSERT_TRUE(backend().wait_idle()) << "the program did not settle"; }

void ProgramHarness::advance(std::uint64_t ms)
{
    backend().advance(ms);
    settle();
}

void ProgramHarness::stylus(InputEvent::Type type, int x, int y)
{
    InputEvent e;
    e.type = type;
    e.x = x;
    e.y = y;
    backend().push_input(e);
    settle();
}

void ProgramHarness::press(int x, int y) { stylus(InputEvent::Type::StylusDown, x, y); }
void ProgramHarness::move(int x, int y) { stylus(InputEvent::Type::StylusMove, x, y); }
void ProgramHarness::release(int x, int y) { stylus(InputEvent::Type::StylusUp, x, y); }

void ProgramHarness::tap(int x, int y)
{
    press(x, y);
    release(x, y);
}

void ProgramHarness::key(int vk, bool ctrl, bool win)
{
    InputEvent e;
    e.type = InputEvent::Type::KeyDown;
    e.vk = vk;
    e.ctrl = ctrl;
    e.win = win;
    backend().push_input(e);
    e.type = InputEvent::Type::KeyUp;
    backend().push_input(e);
    settle();
}

void ProgramHarness::on_ui(std::function<void()> fn)
{
    platform_->user().queue().post_closure(std::move(fn));
    settle();
}

void ProgramHarness::end_panels()
{
    on_ui([] {
        HWND active = GetActiveWindow();
        if (active && active != NowPlayingPanel && active != MainWindow) EndDialog(active, 0);
        EndDialog(NowPlayingPanel, 0);
    });
}

bool ProgramHarness::finished() const { return platform_->headless()->has_finished(); }

Surface ProgramHarness::screen() const { return platform_->headless()->screen(); }

std::uint32_t ProgramHarness::pixel(int x, int y) const { return screen().pixel(x, y); }

std::vector<std::int16_t> ProgramHarness::pull_audio(std::size_t frames)
{
    std::vector<std::int16_t> out(frames * 2, 0);
    auto* sink = dynamic_cast<PulledAudioOutput*>(platform_->sound().output());
    if (sink) sink->pull(out.data(), frames);
    settle();
    return out;
}

std::u16string ProgramHarness::item_text(HWND list, int i)
{
    return ui([&] {
        WCHAR text[PATH_BUFFER_CHARS] = {};
        LVITEM item{};
        item.pszText = text, item.cchTextMax = PATH_BUFFER_CHARS;
        SendMessage(list, LVM_GETITEMTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        return std::u16string(text);
    });
}

int ProgramHarness::item_count(HWND list)
{
    return ui([&] { return static_cast<int>(SendMessage(list, LVM_GETITEMCOUNT, 0, 0)); });
}

RECT ProgramHarness::rect(HWND w, int control)
{
    return ui([&] {
        RECT r{};
        GetWindowRect(control ? GetDlgItem(w, control) : w, &r);
        return r;
    });
}

std::vector<int> ProgramHarness::selected_rows()
{
    return ui([] {
        std::vector<int> rows;
        for (int i = 0, n = static_cast<int>(SendMessage(PlaylistView, LVM_GETITEMCOUNT, 0, 0)); i < n; ++i)
            if (SendMessage(PlaylistView, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED)) rows.push_back(i);
        return rows;
    });
}

double ProgramHarness::heard(std::size_t frames)
{
    const std::vector<std::int16_t> pcm = pull_audio(frames);
    if (zv::fixtures::rms_level(pcm.data(), frames) < 50) return 0.0;
    return zv::fixtures::dominant_frequency(pcm.data(), frames, 44100);
}

int ProgramHarness::tone_of(int row)
{
    const std::u16string name = item_text(PlaylistView, row);
    return name.size() > 5 ? std::atoi(std::string(name.begin() + 1, name.begin() + 5).c_str()) : 0;
}

int open_descriptors()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

void write_settings(const std::filesystem::path& app, const std::filesystem::path& music)
{
    std::filesystem::create_directories(app);
    std::ofstream(app / "direc.zvn", std::ios::binary) << music.string() << "/";
}

void write_library(const std::filesystem::path& app, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const std::filesystem::path file = app / "music" / std::filesystem::u8path(name);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "x";
    }
    std::filesystem::create_directories(app / "music");
    write_settings(app, app / "music");
}

std::vector<std::string> numbered(int count)
{
    std::vector<std::string> names;
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "Track %05d.mp3", i);
        names.emplace_back(name);
    }
    return names;
}

void tone_library(const std::filesystem::path& app, int count, zv::fixtures::ToneTrack base, int step_hz, bool tagged)
{
    const std::filesystem::path music = app / "music";
    std::filesystem::create_directories(music);
    for (int i = 0; i < count; ++i) {
        const int hz = 300 + step_hz * i;
        base.frequency_hz = hz;
        if (tagged) base.artist = "A" + std::to_string(hz), base.title = "T" + std::to_string(hz);
        char name[32];
        std::snprintf(name, sizeof name, "f%04d.mp3", hz);
        ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / name, base));
    }
    write_settings(app, music);
}

}  // namespace zv::test
