// The start-up scan (count pass + fill pass) over 20 000 files in 500 folders, against one
// `find` over the same tree, in the same run. Prints both times and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/zorvane.h"
#include "composition/platform.h"
#include "entry/zorvane_profile.h"
#include "files/codepage.h"
#include "library/library.h"

namespace fs = std::filesystem;

namespace {

fs::path make_tree()
{
    fs::path root = fs::temp_directory_path() / "zv_scan_bench";
    if (fs::exists(root / "done")) return root;
    fs::remove_all(root);
    for (int d = 0; d < 500; ++d) {
        fs::path folder = root / ("artist" + std::to_string(d / 25)) / ("album" + std::to_string(d));
        fs::create_directories(folder);
        for (int f = 0; f < 40; ++f) std::ofstream(folder / ("track " + std::to_string(f) + ".mp3"));
    }
    std::ofstream(root / "done");
    return root;
}

LRESULT CALLBACK plain_proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

void BM_BothPasses(benchmark::State& state)
{
    fs::path root = make_tree();
    zv::PlatformOptions options;
    options.profile = zv::zorvane_profile();
    zv::Platform platform(options);
    WNDCLASSW wc{};
    wc.lpfnWndProc = plain_proc;
    wc.lpszClassName = u"BenchParent";
    RegisterClassW(&wc);
    HWND parent = CreateWindowW(u"BenchParent", u"", 0, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    std::u16string folder = zv::widen(root.string()) + u"/";
    std::u16string pattern = folder + u"*";
    for (auto _ : state) {
        PlaylistView = CreateWindowW(WC_LISTVIEW, nullptr, WS_CHILD, 0, 0, 240, 0, parent, nullptr, nullptr, nullptr);
        PathList = CreateWindowW(WC_LISTVIEW, nullptr, WS_CHILD, 0, 0, 5, 5, parent, nullptr, nullptr, nullptr);
        TrackCount = 0;
        CountTracks(pattern.c_str(), folder.c_str());
        ClearPlaylist(PlaylistView);
        AddTracks(pattern.c_str(), folder.c_str());
        if (TrackCount != 20000 || ItemCounter != 20000) state.SkipWithError("wrong track count");
        DestroyWindow(PlaylistView);
        DestroyWindow(PathList);
    }
}
BENCHMARK(BM_BothPasses)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindOnce(benchmark::State& state)
{
    fs::path root = make_tree();
    std::string cmd = "find '" + root.string() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("find failed");
}
BENCHMARK(BM_FindOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
