// Fuzzes a track's tags the way the player meets them: the bytes become an .mp3 file, the sound
// library opens it, every tag field is read to its last byte, and RefreshTrackInfo builds the
// now-playing line and writes, decodes and scales the cover.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "composition/platform.h"
#include "files/codepage.h"
#include "leak_check.h"
#include "playback/playback.h"

namespace {

std::unique_ptr<zv::Platform> g_platform;
std::string g_folder;                // stands for the folder of the executable
std::string g_track;                 // the file each input becomes
std::vector<unsigned char> g_audio;  // a few silent frames, for inputs that lost their audio

// Silent MPEG-1 layer III frames (128 kbit/s, 44.1 kHz, stereo): a header and a zero body.
std::vector<unsigned char> silent_frames(int count)
{
    constexpr std::size_t kFrameBytes = 417;
    std::vector<unsigned char> out;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = out.size();
        out.resize(at + kFrameBytes, 0);
        out[at] = 0xFF;
        out[at + 1] = 0xFB;
        out[at + 2] = 0x90;
        out[at + 3] = 0x00;
    }
    return out;
}

bool write_file(const std::string& path, const std::uint8_t* a, std::size_t na, const std::uint8_t* b, std::size_t nb)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = (na == 0 || std::fwrite(a, 1, na, f) == na) && (nb == 0 || std::fwrite(b, 1, nb, f) == nb);
    return std::fclose(f) == 0 && ok;
}

// Reads every byte a tag call hands out, and the terminator the library promises after it.
unsigned touch(const void* value, int length)
{
    if (!value || length < 0) return 0;
    const auto* p = static_cast<const unsigned char*>(value);
    unsigned sum = 0;
    for (int i = 0; i <= length; ++i) sum += p[i];
    if (p[length] != 0) std::abort();
    return sum;
}

void read_every_field(FSOUND_STREAM* stream)
{
    int count = 0;
    if (!FSOUND_Stream_GetNumTagFields(stream, &count)) return;
    volatile unsigned sink = 0;
    for (int i = 0; i < count && i < 4096; ++i) {
        int type = 0;
        char* name = nullptr;
        void* value = nullptr;
        int length = 0;
        if (!FSOUND_Stream_GetTagField(stream, i, &type, &name, &value, &length)) std::abort();
        if (!name || std::strlen(name) > 64) std::abort();
        sink = sink + touch(value, length);
    }
    // A cover is always the picture at byte 14, behind an empty description.
    void* cover = nullptr;
    int cover_length = 0;
    if (FSOUND_Stream_FindTagField(stream, 2, "APIC", &cover, &cover_length) &&
        (cover_length < 15 || static_cast<const unsigned char*>(cover)[13] != 0))
        std::abort();
    for (const char* name : {"ARTIST", "TITLE", "APIC", "TALB", "COMMENT"}) {
        void* value = nullptr;
        int length = 0;
        for (int type : {1, 2})
            if (FSOUND_Stream_FindTagField(stream, type, name, &value, &length)) sink = sink + touch(value, length);
    }
}

void refresh(FSOUND_STREAM* stream)
{
    read_every_field(stream);
    CurrentStream = stream;
    RefreshTrackInfo();
    CurrentStream = nullptr;
    // What the panel would show has to be a terminated line of the promised length.
    std::size_t n = 0;
    while (n < NOW_PLAYING_CHARS && NowPlayingText[n]) ++n;
    if (n >= NOW_PLAYING_CHARS) std::abort();
    if (AlbumArtBitmap) {
        BITMAP bm{};
        if (GetObject(AlbumArtBitmap, sizeof(bm), &bm) == 0) std::abort();
    }
    FSOUND_Stream_Close(stream);
    // The cover would stay for the next track; it goes here so the input is judged on its own.
    if (AlbumArtBitmap) DeleteObject(AlbumArtBitmap);
    AlbumArtBitmap = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/zv-tagfuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    g_folder = pattern;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(g_folder, ec);
    });
    g_track = g_folder + "/track.mp3";
    g_audio = silent_frames(8);

    zv::PlatformOptions options;
    options.backend = zv::PlatformOptions::BackendKind::Headless;
    options.executable_path = zv::widen(g_folder + "/zorvane");
    options.audio_device = true;
    g_platform = std::make_unique<zv::Platform>(options);
    if (!FSOUND_Init(44100, 32, 0)) std::abort();

    // As start-up does: the program's folder, and no default picture in it.
    const std::u16string folder = zv::widen(g_folder + "/");
    const std::u16string fallback = folder + u"default.jpg";
    if (folder.size() >= PATH_BUFFER_CHARS || fallback.size() >= PATH_BUFFER_CHARS) std::abort();
    std::memcpy(AppFolder, folder.c_str(), (folder.size() + 1) * sizeof(WCHAR));
    std::memcpy(DefaultArtPath, fallback.c_str(), (fallback.size() + 1) * sizeof(WCHAR));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The bytes as a whole file; when that holds no playable audio, the same bytes followed by
    // silent frames (the tags at the front still count).
    zv::fuzz::LeakCheck leaks;
    if (!write_file(g_track, data, size, nullptr, 0)) return 0;
    if (FSOUND_STREAM* s = FSOUND_Stream_Open(g_track.c_str(), 0, 0, 0)) {
        refresh(s);
        return 0;
    }
    if (!write_file(g_track, data, size, g_audio.data(), g_audio.size())) return 0;
    if (FSOUND_STREAM* s = FSOUND_Stream_Open(g_track.c_str(), 0, 0, 0)) refresh(s);
    return 0;
}
