// Writes the tag fuzzer's starting corpus into the folder given: short tracks with each kind of
// tag the player reads (ID3v2.2/2.3/2.4 text in every encoding, JPEG and PNG covers with and without
// descriptions, links in place of pictures, ID3v1, no tag at all). Given a second folder, it writes
// the image fuzzer's there: JPEG and PNG pictures smaller and larger than the album art.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/fixtures.h"

namespace fs = std::filesystem;
using zv::fixtures::TextEncoding;
using zv::fixtures::ToneTrack;
using Bytes = std::vector<unsigned char>;

namespace {

ToneTrack base()
{
    ToneTrack t;
    t.seconds = 0.1;
    t.bitrate_kbps = 32;
    t.sample_rate = 22050;
    t.channels = 1;
    return t;
}

void append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

void v22_frame(Bytes& out, const std::string& id, const Bytes& body)
{
    append(out, id);
    for (int shift : {16, 8, 0}) out.push_back(static_cast<unsigned char>((body.size() >> shift) & 0xFF));
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <corpus folder> [image corpus folder]\n", argv[0]);
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    int failed = 0;
    auto write = [&](const char* name, const ToneTrack& t) {
        if (!zv::fixtures::write_tone_mp3(dir / name, t)) ++failed;
    };

    ToneTrack t = base();
    t.artist = "Artist";
    t.title = "Title";
    t.cover = zv::fixtures::make_cover_jpeg(16, 12, 1);
    write("v4_jpeg.mp3", t);

    t.id3v2_version = 3;
    t.text_encoding = TextEncoding::Utf16;
    t.artist = "Bj\xC3\xB6rk \xE6\x9D\xB1";
    t.cover_mime = "image/jpg";
    write("v3_utf16_jpg.mp3", t);

    t = base();
    t.text_encoding = TextEncoding::Utf8;
    t.title = "Only a title \xF0\x9F\x8E\xB5";
    t.cover = zv::fixtures::make_cover_png(10, 10, 2);
    t.cover_mime = "image/png";
    write("v4_utf8_png.mp3", t);

    // Pictures as other taggers write them: descriptions in every encoding, a back cover before
    // the front one, a link instead of a picture.
    using zv::fixtures::Picture;
    t = base();
    t.id3v2_version = 3;
    t.pictures = {Picture{zv::fixtures::make_cover_jpeg(8, 8, 4), "image/jpeg", 4, "back", TextEncoding::Latin1},
                  Picture{zv::fixtures::make_cover_png(8, 8, 5), "image/png", 3, "Front Cover", TextEncoding::Utf16}};
    write("v3_described_pictures.mp3", t);

    t = base();
    t.pictures = {Picture{zv::fixtures::make_cover_png(6, 6, 6), "image/png", 3, "Cover \xC3\xA9", TextEncoding::Utf8},
                  Picture{{'h', 't', 't', 'p', ':', '/', '/', 'x'}, "-->", 3, "", TextEncoding::Latin1}};
    write("v4_utf8_described_png_and_link.mp3", t);

    t = base();
    t.id3v2_version = 0;
    write("untagged.mp3", t);

    t = base();
    t.id3v2_version = 0;
    t.id3v1 = true;
    t.artist = "Version";
    t.title = "One";
    write("v1_only.mp3", t);

    t = base();
    t.artist = "Both";
    t.album = "Tags";
    t.id3v1 = true;
    write("v4_and_v1.mp3", t);

    // ID3v2.2 by hand: TagLib reads it but does not write it.
    t = base();
    t.id3v2_version = 0;
    const fs::path bare = dir / "bare.tmp";
    if (zv::fixtures::write_tone_mp3(bare, t)) {
        std::ifstream in(bare, std::ios::binary);
        const Bytes audio{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        in.close();
        fs::remove(bare);
        Bytes frames;
        Bytes title{0};
        append(title, "Two Two");
        v22_frame(frames, "TT2", title);
        v22_frame(frames, "TP1", Bytes{1, 0xFF, 0xFE, 'A', 0, 0xE9, 0});
        Bytes pic{0};
        append(pic, "JPG");
        pic.push_back(3);
        pic.push_back(0);
        const Bytes jpeg = zv::fixtures::make_cover_jpeg(8, 8, 3);
        pic.insert(pic.end(), jpeg.begin(), jpeg.end());
        v22_frame(frames, "PIC", pic);
        Bytes file{'I', 'D', '3', 2, 0, 0};
        for (int shift : {21, 14, 7, 0}) file.push_back(static_cast<unsigned char>((frames.size() >> shift) & 0x7F));
        file.insert(file.end(), frames.begin(), frames.end());
        file.insert(file.end(), audio.begin(), audio.end());
        std::ofstream(dir / "v22.mp3", std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    } else {
        ++failed;
    }
    if (argc == 3) {
        const fs::path images = argv[2];
        fs::create_directories(images);
        for (auto [name, picture] : {std::pair{"small.jpg", zv::fixtures::make_cover_jpeg(16, 12, 7)},
                                     {"large.jpg", zv::fixtures::make_cover_jpeg(300, 260, 8)},
                                     {"small.png", zv::fixtures::make_cover_png(10, 10, 9)},
                                     {"large.png", zv::fixtures::make_cover_png(260, 240, 10)}})
            std::ofstream(images / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
    }
    return failed ? 1 : 0;
}
