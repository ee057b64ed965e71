#include "support/program_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "resources/resource_blob.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"

namespace zv::test {

ProgramHarness::ProgramHarness(const Options& options)
{
    // Each program under test announces itself in its own folder, so tests running side by
    // side (or a player on the desktop) never find one another as the running instance.
    std::filesystem::path run = options.app_folder / ".run";
    std::filesystem::create_directories(run);
    setenv("ZORVANE_RUNTIME_DIR", run.c_str(), 1);
    PlatformOptions po;
    po.backend = PlatformOptions::BackendKind::Headless;
    resources_ = options.resources;
    if (!resources_.empty())
        po.resources = resources_;
    else if (options.with_resources)
        po.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
    std::filesystem::path exe = options.app_folder / "zorvane";
    po.executable_path = exe.u16string();
    po.audio_device = options.audio_device;
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
        if (!finished()) platform_->user().post_closure([] { PostQuitMessage(0); });
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
    platform_->user().post_closure(std::move(fn));
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

}  // namespace zv::test
