// The whole player over a generated music folder, playing chosen tracks the way a tap does, and
// what the now-playing state then holds: the text, the art bitmap, album.jpg.
#pragma once
#include <commctrl.h>
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "files/codepage.h"
#include "gdi/gdi_internal.h"
#include "playback/playback.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace zv::test::track_info {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

inline Bytes read_bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const fs::path& p, const Bytes& b)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A JPEG of one flat colour (0xRRGGBB), so a scaled copy is that colour everywhere it was drawn.
inline Bytes solid_jpeg(int w, int h, std::uint32_t rgb)
{
    std::vector<unsigned char> px(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < px.size(); i += 3) {
        px[i] = static_cast<unsigned char>(rgb >> 16);
        px[i + 1] = static_cast<unsigned char>(rgb >> 8);
        px[i + 2] = static_cast<unsigned char>(rgb);
    }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    Bytes result;
    if (tjCompress2(tj, px.data(), w, w * 3, h, TJPF_RGB, &out, &size, TJSAMP_444, 95, 0) == 0)
        result.assign(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return result;
}

// Channels within a JPEG's rounding of each other.
inline bool near_colour(std::uint32_t a, std::uint32_t b, int tolerance = 6)
{
    for (int shift : {16, 8, 0}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

// ---- Hand-made tags, for what TagLib will not write ----

inline void append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

inline void append_be32(Bytes& out, std::size_t n)
{
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<unsigned char>((n >> shift) & 0xFF));
}

inline Bytes id3_header(int major, std::size_t size)
{
    Bytes h;
    append(h, "ID3");
    h.push_back(static_cast<unsigned char>(major));
    h.push_back(0);
    h.push_back(0);
    for (int shift : {21, 14, 7, 0}) h.push_back(static_cast<unsigned char>((size >> shift) & 0x7F));
    return h;
}

// ID3v2.3 frame: 4-letter id, plain 32-bit size, two flag bytes.
inline void append_v23_frame(Bytes& out, const std::string& id, const Bytes& body)
{
    append(out, id);
    append_be32(out, body.size());
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), body.begin(), body.end());
}

// ID3v2.2 frame: 3-letter id, 24-bit size.
inline void append_v22_frame(Bytes& out, const std::string& id, const Bytes& body)
{
    append(out, id);
    for (int shift : {16, 8, 0}) out.push_back(static_cast<unsigned char>((body.size() >> shift) & 0xFF));
    out.insert(out.end(), body.begin(), body.end());
}

inline Bytes latin1_text(const std::string& s)
{
    Bytes b{0};
    append(b, s);
    return b;
}

class TrackInfoScenario : public ::testing::Test {
protected:
    TrackInfoScenario() : music_(dir_.path() / "music") { fs::create_directories(music_); }

    fs::path app() const { return dir_.path(); }
    fs::path album_jpg() const { return app() / "album.jpg"; }

    // A short tone with these tags under the music folder.
    void track(const std::string& name, fixtures::ToneTrack t)
    {
        t.seconds = 0.3;
        ASSERT_TRUE(fixtures::write_tone_mp3(music_ / name, t)) << name;
    }

    // The audio of a short tone without any tag, to put hand-made tags in front of.
    Bytes bare_audio()
    {
        fixtures::ToneTrack t;
        t.seconds = 0.3;
        t.id3v2_version = 0;
        const fs::path p = dir_.path() / "bare.tmp";
        EXPECT_TRUE(fixtures::write_tone_mp3(p, t));
        Bytes b = read_bytes(p);
        fs::remove(p);
        return b;
    }

    // A file made of an ID3v2 tag (header and frames given) and then plain audio.
    void tagged_file(const std::string& name, int major, const Bytes& frames)
    {
        Bytes f = id3_header(major, frames.size());
        f.insert(f.end(), frames.begin(), frames.end());
        const Bytes audio = bare_audio();
        f.insert(f.end(), audio.begin(), audio.end());
        write_bytes(music_ / name, f);
    }

    void raw_file(const std::string& name, const Bytes& bytes) { write_bytes(music_ / name, bytes); }

    // With `keep_panel` the start-up panel stays in front, showing what each play refreshes.
    void start(bool keep_panel = false)
    {
        std::ofstream(app() / "direc.zvn") << (music_.string() + "/");
        ProgramHarness::Options options(app(), true);
        options.keep_start_panel = keep_panel;
        harness_ = std::make_unique<ProgramHarness>(options);
    }

    ProgramHarness& program() { return *harness_; }

    // Selects the track as a tap does: CurrentTrack set to its row, then played.
    void play(const std::string& name)
    {
        const std::u16string wanted = zv::widen((music_ / name).string());
        int row = -1;
        for (int i = 0; i < TrackCount && row < 0; ++i)
            if (harness_->item_text(PathList, i) == wanted) row = i;
        harness_->on_ui([&] {
            if (row < 0) return;
            CurrentTrack = row;
            PlayCurrentTrack();
        });
        ASSERT_GE(row, 0) << name << " is not in the playlist";
    }

    std::u16string text() const { return NowPlayingText; }

    // Width and height of AlbumArtBitmap as its header tells them; nullopt when there is none.
    std::optional<std::pair<int, int>> art_size()
    {
        std::optional<std::pair<int, int>> size;
        harness_->on_ui([&] {
            BITMAP bm{};
            if (AlbumArtBitmap && GetObject(AlbumArtBitmap, sizeof(bm), &bm) != 0)
                size = std::pair(bm.bmWidth, bm.bmHeight);
        });
        return size;
    }

    // A copy of AlbumArtBitmap's pixels.
    Surface art_pixels()
    {
        Surface copy;
        harness_->on_ui([&] {
            if (auto s = zv::bitmap_surface(AlbumArtBitmap)) copy = *s;
        });
        return copy;
    }

    HBITMAP art() const { return AlbumArtBitmap; }

    // Every name in the program's folder (to see that nothing but album.jpg was written there).
    std::vector<std::string> app_files() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(app()))
            if (e.is_regular_file()) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    zv::test::FixtureDir dir_;
    fs::path music_;
    std::unique_ptr<ProgramHarness> harness_;
};

}  // namespace zv::test::track_info
