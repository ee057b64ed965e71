// One playlist frame (the list's paint of the visible slice with one selected item, and the
// composition of the screen) against a plain copy of one 240 x 320 frame; prints the ratio.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "bench/ratio_reporter.h"
#include "composition/platform.h"
#include "core/user_state.h"
#include "entry/zorvane_profile.h"
#include "playlist/playlist.h"
#include "resources/resource_blob.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;

// The program's main window and playlist over 30 tracks, built on this thread (which acts as
// the user-interface thread: every call below is synchronous).
class PlaylistScene {
public:
    PlaylistScene()
    {
        std::string pattern = (fs::temp_directory_path() / "zv-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        root_ = pattern;
        fs::create_directories(root_ / "music");
        char name[64];
        for (int i = 0; i < 30; ++i) {
            std::snprintf(name, sizeof name, "Artist %02d - A Song With A Longer Title %02d.mp3", i % 7, i);
            std::ofstream(root_ / "music" / name) << "x";
        }
        std::ofstream(root_ / "direc.zvn") << (root_ / "music").string() << "/";

        zv::PlatformOptions o;
        o.backend = zv::PlatformOptions::BackendKind::Headless;
        o.profile = zv::zorvane_profile();
        o.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
        o.executable_path = (root_ / "zorvane").u16string();
        platform_ = std::make_unique<zv::Platform>(o);

        // The entry routine's set-up without its single-instance check and loop.
        HINSTANCE module = platform_->module();
        ModuleInstance = module;
        EditBrush = CreateSolidBrush(RGB(0, 0, 0));
        PanelBrush = CreateSolidBrush(RGB(0, 0, 0));
        RegisterMainClass(module, u"ZvBenchMain");
        HWND main =
            CreateWindow(u"ZvBenchMain", u"Zorvane", WS_VISIBLE, 0, 0, kWidth, kHeight, NULL, NULL, module, NULL);
        ShowWindow(main, SW_SHOW);
        UpdateWindow(main);

        LVITEM state{};
        state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessage(PlaylistView, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&state));
        ScrollPlaylist(MainWindow, -20);  // items 0..8 cross the screen, as mid-drag
        frame();
    }

    ~PlaylistScene()
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    void frame()
    {
        InvalidateRect(PlaylistView, nullptr, FALSE);
        UpdateWindow(PlaylistView);
        platform_->user().screen().compose_and_present();
    }

private:
    fs::path root_;
    std::unique_ptr<zv::Platform> platform_;
};

PlaylistScene& scene()
{
    static PlaylistScene s;
    return s;
}

void plain_frame_copy(benchmark::State& state)
{
    scene();
    HDC src = CreateCompatibleDC(nullptr);
    HDC dst = CreateCompatibleDC(nullptr);
    HBITMAP sb = CreateCompatibleBitmap(src, kWidth, kHeight);
    HBITMAP db = CreateCompatibleBitmap(dst, kWidth, kHeight);
    HGDIOBJ os = SelectObject(src, sb);
    HGDIOBJ od = SelectObject(dst, db);
    for (auto _ : state) {
        BitBlt(dst, 0, 0, kWidth, kHeight, src, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
    SelectObject(src, os);
    SelectObject(dst, od);
    DeleteObject(sb);
    DeleteObject(db);
    DeleteDC(src);
    DeleteDC(dst);
}

void playlist_frame(benchmark::State& state)
{
    PlaylistScene& s = scene();
    for (auto _ : state) {
        s.frame();
        benchmark::ClobberMemory();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("plain_frame_copy", plain_frame_copy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("playlist_frame", playlist_frame)->Unit(benchmark::kMicrosecond);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double copy = reporter.cpu("plain_frame_copy");
    const double frame = reporter.cpu("playlist_frame");
    if (copy > 0 && frame > 0)
        std::printf("CPU-time ratio playlist frame / plain frame copy: %.2f (goal <= 20)\n", frame / copy);
    benchmark::Shutdown();
    return 0;
}
