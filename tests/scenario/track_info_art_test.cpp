// The album art of the track that starts: the embedded cover written to album.jpg (whole, and
// only when there is a picture), shown at 250 x 232 with a black rightmost column, or the
// default picture at its own size.
#include <sys/stat.h>

#include "scenario/track_info_scenario.h"

namespace {

using namespace zv::test::track_info;
using zv::fixtures::ToneTrack;

ToneTrack with_cover(Bytes cover, std::string mime = "image/jpeg")
{
    ToneTrack t;
    t.artist = "Painter";
    t.title = "Canvas";
    t.cover = std::move(cover);
    t.cover_mime = std::move(mime);
    return t;
}

class TrackInfoArt : public TrackInfoScenario {
protected:
    // A PNG of one flat colour, made with the platform's encoder.
    Bytes solid_png(int w, int h, std::uint32_t rgb)
    {
        zv::Surface flat(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) flat.set_pixel(x, y, rgb);
        const auto path = app() / "flat.png";
        EXPECT_TRUE(zv::write_png(flat, path.string()));
        Bytes bytes = read_bytes(path);
        std::filesystem::remove(path);
        return bytes;
    }

    // The APIC value the sound library hands out for the current stream.
    Bytes apic_value()
    {
        Bytes out;
        program().on_ui([&] {
            void* value = nullptr;
            int length = 0;
            if (FSOUND_Stream_FindTagField(CurrentStream, 2, "APIC", &value, &length))
                out.assign(static_cast<unsigned char*>(value), static_cast<unsigned char*>(value) + length);
        });
        return out;
    }

    // Shown at the art control's size; the copy starts at x = -1, so column 249 stays black.
    void expect_scaled_art(const char* what)
    {
        EXPECT_EQ(art_size(), std::pair(250, 232)) << what;
        const zv::Surface s = art_pixels();
        ASSERT_EQ(s.width(), 250) << what;
        for (int y = 0; y < s.height(); ++y) ASSERT_EQ(s.pixel(249, y), 0u) << what << " row " << y;
    }
};

TEST_F(TrackInfoArt, CoversAreWrittenOutExactlyReplacedInTurnAndNotRewrittenWhenTheSame)
{
    const Bytes cover = solid_jpeg(64, 48, 0xFFFFFF);
    track("jpeg.mp3", with_cover(cover));
    const Bytes red = solid_jpeg(50, 50, 0xFF0000), blue = solid_jpeg(300, 120, 0x0000FF);
    track("red.mp3", with_cover(red));
    track("blue.mp3", with_cover(blue));
    const Bytes same = solid_jpeg(40, 40, 0xFF0000);
    track("one.mp3", with_cover(same));
    track("two.mp3", with_cover(same));
    track("other.mp3", with_cover(solid_jpeg(40, 40, 0x0000FF)));
    start();
    play("jpeg.mp3");
    const Bytes apic = apic_value();
    ASSERT_GT(apic.size(), 14u);
    EXPECT_EQ(apic[13], 0);  // the empty description's terminator
    const Bytes written = read_bytes(album_jpg());
    ASSERT_EQ(written.size(), apic.size() - 14);
    EXPECT_EQ(written[0], 0xFF);
    EXPECT_EQ(written[1], 0xD8);
    EXPECT_EQ(written, cover);
    expect_scaled_art("white cover");
    // A white cover fills the rest, right up to the column before the black one.
    const zv::Surface s = art_pixels();
    for (int x : {0, 125, 248})
        for (int y : {0, 116, 231}) EXPECT_TRUE(near_colour(s.pixel(x, y), 0xFFFFFF)) << x << "," << y;
    // Only album.jpg is left behind in the program's folder.
    EXPECT_EQ(app_files(), (std::vector<std::string>{"album.jpg", "direc.zvn"}));

    // A second cover in a row replaces the first.
    const HBITMAP start_art = art();
    play("red.mp3");
    EXPECT_TRUE(near_colour(art_pixels().pixel(125, 116), 0xFF0000));
    const HBITMAP red_art = art();
    EXPECT_NE(red_art, start_art);
    play("blue.mp3");
    EXPECT_EQ(read_bytes(album_jpg()), blue);
    EXPECT_TRUE(near_colour(art_pixels().pixel(125, 116), 0x0000FF));
    expect_scaled_art("second cover");
    // The replaced picture was released.
    program().on_ui([&] { EXPECT_EQ(GetObjectType(red_art), 0u); });

    // Replacing album.jpg renames a new file over it, which gives it another inode.
    auto inode = [&] {
        struct stat st {};
        return ::stat(album_jpg().c_str(), &st) == 0 ? st.st_ino : 0;
    };
    play("one.mp3");
    const auto first = inode();
    ASSERT_NE(first, 0u);
    const HBITMAP first_art = art();
    play("two.mp3");
    EXPECT_EQ(inode(), first);
    EXPECT_NE(art(), first_art) << "loaded and shown again";
    EXPECT_TRUE(near_colour(art_pixels().pixel(125, 116), 0xFF0000));
    play("other.mp3");
    EXPECT_NE(inode(), first);
    EXPECT_TRUE(near_colour(art_pixels().pixel(125, 116), 0x0000FF));
    // An album.jpg cut short (a full disk, a crash) is no match for the whole picture.
    std::ofstream(album_jpg(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(same.data()), static_cast<std::streamsize>(same.size() / 2));
    play("one.mp3");
    EXPECT_EQ(read_bytes(album_jpg()), same);
}

TEST_F(TrackInfoArt, CoversOfAnySizeAndFormatShowAt250By232AndShrunkOnesAreSmoothed)
{
    track("tiny.mp3", with_cover(solid_jpeg(1, 1, 0xFFFFFF)));
    track("wide.mp3", with_cover(solid_jpeg(700, 90, 0xFFFFFF)));
    track("exact.mp3", with_cover(solid_jpeg(250, 232, 0xFFFFFF)));
    track("png.mp3", with_cover(zv::fixtures::make_cover_png(120, 160, 4), "image/png"));
    // One-pixel black and white stripes, four times wider than the control: every shown pixel
    // covers two of each, so a filtering copy gives an even grey where point sampling would give
    // stripes or a single colour.
    zv::Surface stripes(1000, 464);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x) stripes.set_pixel(x, y, (x % 2) ? 0xFFFFFFu : 0u);
    const auto png = app() / "stripes.png";
    ASSERT_TRUE(zv::write_png(stripes, png.string()));
    const Bytes cover = read_bytes(png);
    std::filesystem::remove(png);
    track("stripes.mp3", with_cover(cover, "image/png"));
    start();
    for (const char* name : {"tiny.mp3", "wide.mp3", "exact.mp3", "png.mp3"}) {
        play(name);
        expect_scaled_art(name);
        // The picture reaches the column next to the black one.
        EXPECT_NE(art_pixels().pixel(248, 116), 0u) << name;
    }

    play("stripes.mp3");
    expect_scaled_art("striped cover");
    const zv::Surface s = art_pixels();
    for (int x = 2; x < 247; x += 7)
        for (int y : {1, 100, 230})
            ASSERT_TRUE(near_colour(s.pixel(x, y), 0x808080, 20)) << x << "," << y << " " << std::hex << s.pixel(x, y);
}

TEST_F(TrackInfoArt, CoversAsTaggersWriteThemAreWrittenOutExactlyAndShown)
{
    using zv::fixtures::Picture;
    using E = zv::fixtures::TextEncoding;
    struct Case {
        const char* name;
        int version;
        std::vector<Picture> pictures;
        std::uint32_t colour;  // of the picture that shows
    };
    const Bytes red = solid_jpeg(40, 30, 0xFF0000), green = solid_jpeg(30, 30, 0x00FF00),
                blue = solid_jpeg(20, 40, 0x0000FF), magenta = solid_jpeg(20, 20, 0xFF00FF),
                back = solid_jpeg(20, 20, 0x00FFFF), yellow = solid_png(24, 16, 0xFFFF00);
    const std::vector<Case> cases = {
        {"latin1.mp3", 3, {{red, "image/jpeg", 3, "cover", E::Latin1}}, 0xFF0000},
        {"utf16.mp3", 3, {{green, "image/jpeg", 3, "Front Cover", E::Utf16}}, 0x00FF00},
        {"utf8.mp3", 4, {{blue, "image/jpeg", 3, "Cover \xC3\xA9", E::Utf8}}, 0x0000FF},
        {"png.mp3", 4, {{yellow, "image/png", 3, "", E::Latin1}}, 0xFFFF00},
        {"jpg.mp3", 3, {{magenta, "image/jpg", 3, "", E::Latin1}}, 0xFF00FF},
        {"two.mp3",
         4,
         {{back, "image/jpeg", 4, "back", E::Latin1}, {red, "image/jpeg", 3, "front", E::Latin1}},
         0xFF0000},
    };
    for (const Case& c : cases) {
        ToneTrack t;
        t.title = c.name;
        t.id3v2_version = c.version;
        t.pictures = c.pictures;
        track(c.name, t);
    }
    start();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        play(c.name);
        const Bytes& shown = c.pictures.back().type == 3 ? c.pictures.back().bytes : c.pictures.front().bytes;
        EXPECT_EQ(read_bytes(album_jpg()), shown);
        expect_scaled_art(c.name);
        EXPECT_TRUE(near_colour(art_pixels().pixel(125, 116), c.colour));
    }
}

TEST_F(TrackInfoArt, WithoutACoverOrWithAPictureFrameHoldingNoPictureTheDefaultShows)
{
    write_bytes(app() / "default.jpg", solid_jpeg(120, 90, 0x808080));
    track("cover.mp3", with_cover(solid_jpeg(30, 30, 0xFF00FF)));
    ToneTrack plain;
    plain.artist = "No";
    plain.title = "Picture";
    track("plain.mp3", plain);
    // Encoding, "image/jpeg", picture type, empty description: 14 bytes and no picture byte.
    Bytes empty_picture{0};
    append(empty_picture, "image/jpeg");
    empty_picture.insert(empty_picture.end(), {0, 3, 0});
    Bytes frames;
    append_v23_frame(frames, "TIT2", latin1_text("Short"));
    append_v23_frame(frames, "APIC", empty_picture);
    tagged_file("short.mp3", 3, frames);
    // A MIME type of one letter and nothing after the description: 5 bytes.
    Bytes frames2;
    append_v23_frame(frames2, "TIT2", latin1_text("Tiny"));
    append_v23_frame(frames2, "APIC", Bytes{0, 'x', 0, 3, 0});
    tagged_file("tiny.mp3", 3, frames2);
    // A link to a picture elsewhere instead of one.
    ToneTrack link;
    link.title = "Link";
    link.pictures.push_back({Bytes{'h', 't', 't', 'p', ':', '/', '/', 'a'}, "-->", 3, "", {}});
    track("link.mp3", link);
    start();
    EXPECT_EQ(art_size(), std::pair(120, 90));  // start-up

    // Before any cover: nothing written at all.
    play("short.mp3");
    EXPECT_EQ(text(), u"Unknown Artist - Short");
    EXPECT_EQ(art_size(), std::pair(120, 90));
    EXPECT_FALSE(std::filesystem::exists(album_jpg()));

    play("cover.mp3");
    const Bytes cover_file = read_bytes(album_jpg());
    for (const char* name : {"short.mp3", "tiny.mp3", "link.mp3"}) {
        play(name);
        EXPECT_TRUE(apic_value().empty()) << name;
        EXPECT_EQ(art_size(), std::pair(120, 90)) << name;
        EXPECT_EQ(read_bytes(album_jpg()), cover_file) << name;
    }
    EXPECT_EQ(text(), u"Unknown Artist - Link");
    EXPECT_EQ(app_files(), (std::vector<std::string>{"album.jpg", "default.jpg", "direc.zvn"}));

    play("plain.mp3");
    EXPECT_EQ(text(), u"No - Picture");
    EXPECT_EQ(art_size(), std::pair(120, 90));
    EXPECT_TRUE(near_colour(art_pixels().pixel(119, 89), 0x808080));
    EXPECT_EQ(read_bytes(album_jpg()), cover_file);  // a track without a cover leaves it alone

    // Read from its file on every such track.
    write_bytes(app() / "default.jpg", solid_jpeg(60, 40, 0x808080));
    play("plain.mp3");
    EXPECT_EQ(art_size(), std::pair(60, 40));

    // Without a default picture the control gets no picture at all.
    std::filesystem::remove(app() / "default.jpg");
    play("plain.mp3");
    EXPECT_EQ(art(), nullptr);
    EXPECT_EQ(read_bytes(album_jpg()), cover_file);
}

TEST_F(TrackInfoArt, CoverFileThatCannotBeReplacedKeepsThePicture)
{
    // album.jpg is a folder with something in it: the new file cannot take its place.
    write_bytes(app() / "album.jpg" / "keep", Bytes{1});
    track("cover.mp3", with_cover(solid_jpeg(30, 30, 0x00FF00)));
    start();
    const HBITMAP shown = art();

    play("cover.mp3");
    EXPECT_EQ(text(), u"Painter - Canvas");  // the text comes first and still changes
    EXPECT_EQ(art(), shown);
    EXPECT_TRUE(std::filesystem::is_directory(album_jpg()));
    EXPECT_EQ(app_files(), std::vector<std::string>{"direc.zvn"});  // no half-written file left
}

}  // namespace
