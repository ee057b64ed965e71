// Refreshing the album art of a track with a 1000 x 1000 JPEG cover (the cover taken from the
// tags, written to album.jpg, loaded back and scaled to 250 x 232, as RefreshTrackInfo does)
// against decoding the same JPEG with libjpeg-turbo alone; prints the wall and CPU ratios of two
// refreshes: the next track of the same album (album.jpg already holds its cover) and a track
// whose cover differs from the one before (album.jpg rewritten).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <turbojpeg.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "composition/platform.h"
#include "entry/zorvane_profile.h"
#include "files/codepage.h"
#include "playback/playback.h"
#include "tools/fixtures.h"

namespace {

namespace fs = std::filesystem;

struct Setup {
    fs::path folder;
    std::vector<unsigned char> cover, other_cover;
    std::unique_ptr<zv::Platform> platform;
    FSOUND_STREAM* stream = nullptr;
    FSOUND_STREAM* other_stream = nullptr;  // another album's track

    Setup()
    {
        // $TMPDIR decides the file system album.jpg is written on.
        std::string pattern = (fs::temp_directory_path() / "zv-artbench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        folder = pattern;
        cover = zv::fixtures::make_cover_jpeg(1000, 1000, 7);
        other_cover = zv::fixtures::make_cover_jpeg(1000, 1000, 8);
        zv::fixtures::ToneTrack t;
        t.seconds = 0.5;
        t.artist = "Bench";
        t.title = "Cover";
        t.cover = cover;
        if (!zv::fixtures::write_tone_mp3(folder / "track.mp3", t)) std::abort();
        t.cover = other_cover;
        if (!zv::fixtures::write_tone_mp3(folder / "other.mp3", t)) std::abort();

        zv::PlatformOptions options;
        options.backend = zv::PlatformOptions::BackendKind::Headless;
        options.profile = zv::zorvane_profile();
        options.executable_path = zv::widen((folder / "zorvane").string());
        platform = std::make_unique<zv::Platform>(options);
        FSOUND_Init(44100, 32, 0);
        const std::u16string app = zv::widen(folder.string() + "/");
        std::memcpy(AppFolder, app.c_str(), (app.size() + 1) * sizeof(WCHAR));
        stream = FSOUND_Stream_Open((folder / "track.mp3").c_str(), 0, 0, 0);
        other_stream = FSOUND_Stream_Open((folder / "other.mp3").c_str(), 0, 0, 0);
        if (!stream || !other_stream) std::abort();
        // Reads the tags once, as the first refresh of a played track does.
        CurrentStream = other_stream;
        RefreshTrackInfo();
        CurrentStream = stream;
        RefreshTrackInfo();
        BITMAP bm{};
        if (!AlbumArtBitmap || !GetObject(AlbumArtBitmap, sizeof(bm), &bm) || bm.bmWidth != 250) std::abort();
    }

    ~Setup()
    {
        FSOUND_Stream_Close(other_stream);
        FSOUND_Stream_Close(stream);
        CurrentStream = nullptr;
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

// The next track of the same album: album.jpg already holds its cover.
void refresh_same_cover(benchmark::State& state)
{
    CurrentStream = setup().stream;
    RefreshTrackInfo();
    for (auto _ : state) {
        RefreshTrackInfo();
        benchmark::DoNotOptimize(AlbumArtBitmap);
    }
}

// Tracks of two albums in turn: every refresh replaces album.jpg.
void refresh_new_cover(benchmark::State& state)
{
    Setup& s = setup();
    bool other = false;
    for (auto _ : state) {
        other = !other;
        CurrentStream = other ? s.other_stream : s.stream;
        RefreshTrackInfo();
        benchmark::DoNotOptimize(AlbumArtBitmap);
    }
    CurrentStream = s.stream;
}

void libjpeg_turbo_alone(benchmark::State& state)
{
    const std::vector<unsigned char>& jpeg = setup().cover;
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> pixels;
    const int format = std::endian::native == std::endian::little ? TJPF_BGRX : TJPF_XRGB;
    for (auto _ : state) {
        int w = 0, h = 0, subsamp = 0, colorspace = 0;
        tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &subsamp, &colorspace);
        pixels.resize(static_cast<std::size_t>(w) * h * 4);
        tjDecompress2(tj, jpeg.data(), jpeg.size(), pixels.data(), w, w * 4, h, format, 0);
        benchmark::DoNotOptimize(pixels.data());
    }
    tjDestroy(tj);
}

// The pieces of a refresh, to see where its time goes.
void piece_write_file(benchmark::State& state)
{
    const Setup& s = setup();
    const std::string part = (s.folder / "piece.jpg.part").string(), final_path = (s.folder / "piece.jpg").string();
    for (auto _ : state) {
        std::FILE* f = std::fopen(part.c_str(), "wb");
        std::fwrite(s.cover.data(), 1, s.cover.size(), f);
        std::fclose(f);
        std::rename(part.c_str(), final_path.c_str());
    }
}

void piece_load_file(benchmark::State& state)
{
    Setup& s = setup();
    const std::u16string path = zv::widen((s.folder / "album.jpg").string());
    for (auto _ : state) {
        HBITMAP b = SHLoadImageFile(path.c_str());
        benchmark::DoNotOptimize(b);
        DeleteObject(b);
    }
}

// Loading keeps the JPEG compressed; the shrink decodes it at the scale the panel needs.
void piece_load_and_scale(benchmark::State& state)
{
    Setup& s = setup();
    const std::u16string path = zv::widen((s.folder / "album.jpg").string());
    HDC src = CreateCompatibleDC(NULL), dst = CreateCompatibleDC(NULL);
    HBITMAP scaled = CreateCompatibleBitmap(src, 250, 232);
    HGDIOBJ old_dst = SelectObject(dst, scaled);
    for (auto _ : state) {
        HBITMAP cover = SHLoadImageFile(path.c_str());
        HGDIOBJ old_src = SelectObject(src, cover);
        StretchBlt(dst, -1, 0, 250, 232, src, 0, 0, 1000, 1000, SRCCOPY);
        SelectObject(src, old_src);
        DeleteObject(cover);
    }
    SelectObject(dst, old_dst);
    DeleteDC(dst);
    DeleteDC(src);
    DeleteObject(scaled);
}

// Keeps each benchmark's time (the median when repeated) for the ratio printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !seen_median_.count(r.run_name.function_name))
                times_[r.run_name.function_name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
            if (median) {
                times_[r.run_name.function_name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
                seen_median_.insert(r.run_name.function_name);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::pair<double, double> times(const std::string& name) const
    {
        auto it = times_.find(name);
        return it == times_.end() ? std::pair(0.0, 0.0) : it->second;
    }

private:
    std::map<std::string, std::pair<double, double>> times_;  // wall, CPU
    std::set<std::string> seen_median_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("libjpeg_turbo_alone", libjpeg_turbo_alone)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("refresh_same_cover", refresh_same_cover)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("refresh_new_cover", refresh_new_cover)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("piece_write_file", piece_write_file)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("piece_load_file", piece_load_file)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("piece_load_and_scale", piece_load_and_scale)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto [alone_wall, alone_cpu] = reporter.times("libjpeg_turbo_alone");
    for (const char* name : {"refresh_same_cover", "refresh_new_cover"}) {
        const auto [wall, cpu] = reporter.times(name);
        if (alone_wall > 0 && alone_cpu > 0 && wall > 0)
            std::printf(
                "Album-art %s / libjpeg-turbo decode alone (1000x1000 cover): wall %.3f, CPU %.3f "
                "(goal <= 0.8)\n",
                name, wall / alone_wall, cpu / alone_cpu);
    }
    benchmark::Shutdown();
    return 0;
}
