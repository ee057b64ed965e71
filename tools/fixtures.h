// Generated MP3 fixtures for tests and the demo library: synthesized sound encoded with LAME,
// tagged with TagLib, covers made with libjpeg-turbo and libpng.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zv::fixtures {

enum class TextEncoding { Latin1, Utf16, Utf8 };

// A picture frame as taggers write it: any MIME type, picture type, description and encoding.
// A MIME type of "-->" makes it a link: its bytes are then the picture's URL.
struct Picture {
    std::vector<unsigned char> bytes;
    std::string mime = "image/jpeg";
    int type = 3;             // front cover
    std::string description;  // UTF-8
    TextEncoding encoding = TextEncoding::Latin1;
};

// What goes into the tags of a written file.
struct Mp3Tags {
    std::optional<std::string> artist, title, album;  // UTF-8
    std::vector<unsigned char> cover;                 // written as an APIC front cover when not empty
    std::string cover_mime = "image/jpeg";
    std::vector<Picture> pictures;  // further picture frames, after the cover
    int id3v2_version = 4;          // 3 or 4; 0 = no ID3v2 tag
    bool id3v1 = false;
    TextEncoding text_encoding = TextEncoding::Latin1;  // TagLib widens it when the text needs it
};

struct ToneTrack {
    double frequency_hz = 440.0;
    double seconds = 1.0;
    int sample_rate = 44100;
    int channels = 2;
    int bitrate_kbps = 128;
    std::optional<std::string> artist, title, album;
    std::vector<unsigned char> cover;
    std::string cover_mime = "image/jpeg";
    std::vector<Picture> pictures;
    int id3v2_version = 4;  // 3 or 4; 0 = no ID3v2
    bool id3v1 = false;
    TextEncoding text_encoding = TextEncoding::Latin1;
    double amplitude = 0.5;  // of full scale

    Mp3Tags tags() const;
};

// A sine tone; false when encoding or writing fails.
bool write_tone_mp3(const std::filesystem::path& path, const ToneTrack& track);

// Any interleaved 16-bit PCM.
bool write_pcm_mp3(const std::filesystem::path& path, std::span<const std::int16_t> interleaved, int sample_rate,
                   int channels, int bitrate_kbps, const Mp3Tags& tags);

// Rewrites the tags of an existing file (strips what was there).
bool write_tags(const std::filesystem::path& path, const Mp3Tags& tags);

// Synthesized pictures (soft gradient with a few rings), different for each seed.
std::vector<unsigned char> make_cover_jpeg(int width, int height, unsigned seed);
std::vector<unsigned char> make_cover_png(int width, int height, unsigned seed);

// Writes the demo library under `folder`; the number of tracks written.
int write_demo_library(const std::filesystem::path& folder);

}  // namespace zv::fixtures
