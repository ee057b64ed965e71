#include "tools/fixtures.h"

#include <lame/lame.h>
#include <png.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <numbers>

namespace zv::fixtures {

namespace {

TagLib::String from_utf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

TagLib::String::Type taglib_encoding(TextEncoding e)
{
    switch (e) {
        case TextEncoding::Utf16: return TagLib::String::UTF16;
        case TextEncoding::Utf8: return TagLib::String::UTF8;
        case TextEncoding::Latin1: break;
    }
    return TagLib::String::Latin1;
}

void set_text(TagLib::ID3v2::Tag& tag, const char* id, const std::string& text, TextEncoding e)
{
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(TagLib::ByteVector(id), taglib_encoding(e));
    frame->setText(from_utf8(text));
    tag.addFrame(frame.release());
}

struct LameDeleter {
    void operator()(lame_global_flags* g) const { lame_close(g); }
};

}  // namespace

Mp3Tags ToneTrack::tags() const
{
    Mp3Tags t;
    t.artist = artist;
    t.title = title;
    t.album = album;
    t.cover = cover;
    t.cover_mime = cover_mime;
    t.pictures = pictures;
    t.id3v2_version = id3v2_version;
    t.id3v1 = id3v1;
    t.text_encoding = text_encoding;
    return t;
}

bool write_tone_mp3(const std::filesystem::path& path, const ToneTrack& track)
{
    if (track.channels < 1 || track.channels > 2 || track.sample_rate <= 0 || track.seconds < 0) return false;
    const auto frames = static_cast<std::size_t>(track.seconds * track.sample_rate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(track.channels));
    const double step = 2.0 * std::numbers::pi * track.frequency_hz / track.sample_rate;
    const double amp = std::clamp(track.amplitude, 0.0, 1.0) * 32767.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(amp * std::sin(step * static_cast<double>(i))));
        for (int c = 0; c < track.channels; ++c)
            pcm[i * static_cast<std::size_t>(track.channels) + static_cast<std::size_t>(c)] = v;
    }
    return write_pcm_mp3(path, pcm, track.sample_rate, track.channels, track.bitrate_kbps, track.tags());
}

bool write_pcm_mp3(const std::filesystem::path& path, std::span<const std::int16_t> interleaved, int sample_rate,
                   int channels, int bitrate_kbps, const Mp3Tags& tags)
{
    if (channels < 1 || channels > 2) return false;
    std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
    if (!lame) return false;
    lame_set_in_samplerate(lame.get(), sample_rate);
    lame_set_out_samplerate(lame.get(), sample_rate);
    lame_set_num_channels(lame.get(), channels);
    lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame.get(), bitrate_kbps);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_quality(lame.get(), 7);       // fast; these are test tones and demo music
    lame_set_bWriteVbrTag(lame.get(), 1);  // the LAME header carries the gapless trim
    if (lame_init_params(lame.get()) < 0) return false;

    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    std::vector<unsigned char> mp3;
    std::vector<short> left, right;
    constexpr std::size_t kChunk = 8192;
    std::vector<unsigned char> buf(kChunk * 5 / 4 + 7200);
    for (std::size_t at = 0; at < frames; at += kChunk) {
        const std::size_t n = std::min(kChunk, frames - at);
        left.resize(n);
        right.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            left[i] = interleaved[(at + i) * static_cast<std::size_t>(channels)];
            right[i] = channels == 2 ? interleaved[(at + i) * 2 + 1] : left[i];
        }
        const int got = lame_encode_buffer(lame.get(), left.data(), right.data(), static_cast<int>(n), buf.data(),
                                           static_cast<int>(buf.size()));
        if (got < 0) return false;
        mp3.insert(mp3.end(), buf.begin(), buf.begin() + got);
    }
    const int tail = lame_encode_flush(lame.get(), buf.data(), static_cast<int>(buf.size()));
    if (tail < 0) return false;
    mp3.insert(mp3.end(), buf.begin(), buf.begin() + tail);
    // The first frame was a placeholder for the LAME header, now that its figures are known.
    std::vector<unsigned char> header(8192);
    const std::size_t header_size = lame_get_lametag_frame(lame.get(), header.data(), header.size());
    if (header_size > 0 && header_size <= mp3.size()) std::copy_n(header.begin(), header_size, mp3.begin());

    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
        if (!out) return false;
    }
    return write_tags(path, tags);
}

bool write_tags(const std::filesystem::path& path, const Mp3Tags& tags)
{
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) return false;
    file.strip(TagLib::MPEG::File::AllTags);
    int which = 0;
    if (tags.id3v2_version == 3 || tags.id3v2_version == 4) {
        TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(true);
        if (tags.artist) set_text(*v2, "TPE1", *tags.artist, tags.text_encoding);
        if (tags.title) set_text(*v2, "TIT2", *tags.title, tags.text_encoding);
        if (tags.album) set_text(*v2, "TALB", *tags.album, tags.text_encoding);
        std::vector<Picture> pictures;
        if (!tags.cover.empty()) pictures.push_back({tags.cover, tags.cover_mime, 3, "", TextEncoding::Latin1});
        pictures.insert(pictures.end(), tags.pictures.begin(), tags.pictures.end());
        for (const Picture& p : pictures) {
            auto pic = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
            pic->setMimeType(p.mime);
            pic->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(p.type));
            pic->setTextEncoding(taglib_encoding(p.encoding));
            pic->setDescription(from_utf8(p.description));
            pic->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(p.bytes.data()),
                                               static_cast<unsigned>(p.bytes.size())));
            v2->addFrame(pic.release());
        }
        which |= TagLib::MPEG::File::ID3v2;
    }
    if (tags.id3v1) {
        TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(true);
        if (tags.artist) v1->setArtist(from_utf8(*tags.artist));
        if (tags.title) v1->setTitle(from_utf8(*tags.title));
        if (tags.album) v1->setAlbum(from_utf8(*tags.album));
        which |= TagLib::MPEG::File::ID3v1;
    }
    if (which == 0) return true;
    const auto version = tags.id3v2_version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    return file.save(which, TagLib::File::StripOthers, version, TagLib::File::DoNotDuplicate);
}

namespace {

std::vector<unsigned char> cover_pixels(int width, int height, unsigned seed)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    // A small LCG keeps the pictures identical across runs and platforms.
    auto next = [state = seed * 2654435761u + 12345u]() mutable {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) & 0xFFFF;
    };
    const double hue_a = next() / 65536.0, hue_b = next() / 65536.0;
    const double cx = width * (0.2 + 0.6 * next() / 65536.0), cy = height * (0.2 + 0.6 * next() / 65536.0);
    const double ring = 6.0 + 10.0 * next() / 65536.0;
    auto channel = [](double hue, double phase) { return 0.5 + 0.5 * std::cos(2 * std::numbers::pi * (hue + phase)); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double t =
                (static_cast<double>(x) / std::max(1, width) + static_cast<double>(y) / std::max(1, height)) / 2;
            const double d = std::hypot(x - cx, y - cy);
            const double glow = 0.75 + 0.25 * std::cos(d / ring);
            const double hue = hue_a * (1 - t) + hue_b * t;
            unsigned char* p =
                &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
            p[0] = static_cast<unsigned char>(255 * glow * channel(hue, 0.0));
            p[1] = static_cast<unsigned char>(255 * glow * channel(hue, 1.0 / 3));
            p[2] = static_cast<unsigned char>(255 * glow * channel(hue, 2.0 / 3));
        }
    }
    return rgb;
}

void png_append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

}  // namespace

std::vector<unsigned char> make_cover_jpeg(int width, int height, unsigned seed)
{
    if (width <= 0 || height <= 0) return {};
    const std::vector<unsigned char> rgb = cover_pixels(width, height, seed);
    tjhandle tj = tjInitCompress();
    if (!tj) return {};
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    std::vector<unsigned char> out;
    if (tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 85, 0) == 0)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

std::vector<unsigned char> make_cover_png(int width, int height, unsigned seed)
{
    if (width <= 0 || height <= 0) return {};
    std::vector<unsigned char> rgb = cover_pixels(width, height, seed);
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return {};
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, &png_append, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, &rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace zv::fixtures
