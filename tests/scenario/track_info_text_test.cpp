// The now-playing line built from the tags of the track that starts: artist and title joined by
// " - ", stand-ins for missing fields, cuts of long values, every ID3 version and text encoding.
#include "scenario/track_info_scenario.h"

namespace {

using namespace zv::test::track_info;
using zv::fixtures::TextEncoding;
using zv::fixtures::ToneTrack;

ToneTrack tagged(std::optional<std::string> artist, std::optional<std::string> title)
{
    ToneTrack t;
    t.artist = std::move(artist);
    t.title = std::move(title);
    t.album = "Album";  // keeps a tag on the file when both are missing
    return t;
}

class TrackInfoText : public TrackInfoScenario {};

TEST_F(TrackInfoText, MissingFieldsTakeStandInsLongValuesAreCutId3v1IsReadAndNoTagShowsTheName)
{
    track("both.mp3", tagged("Nina", "Blue"));
    track("artist.mp3", tagged("Artist", std::nullopt));
    track("title.mp3", tagged(std::nullopt, "Only Title"));
    track("neither.mp3", tagged(std::nullopt, std::nullopt));
    // Two-byte characters, so the cut counts characters and not bytes.
    std::string artist;
    for (int i = 0; i < 250; ++i) artist += (i % 2) ? "\xC3\xA9" : "a";  // a é a é ...
    const std::string title(260, 't');
    ToneTrack t = tagged(artist, title);
    t.text_encoding = TextEncoding::Utf8;
    track("long.mp3", t);
    track("longartist.mp3", tagged(artist, "Short"));
    ToneTrack v1;
    v1.id3v2_version = 0;
    v1.id3v1 = true;
    v1.artist = "Old Timer";
    v1.title = "Version One";
    track("v1.mp3", v1);
    write_bytes(app() / "default.jpg", solid_jpeg(120, 90, 0x808080));
    ToneTrack covered = tagged("Before", "Cover");
    covered.cover = solid_jpeg(40, 30, 0x20C040);
    track("covered.mp3", covered);
    ToneTrack bare;
    bare.id3v2_version = 0;
    track("Simon & Garfunkel - The Boxer.MP3", bare);
    // Every ID3v2 version and text encoding.
    const std::string wide_artist = "Bj\xC3\xB6rk \xD0\x96";                     // Björk Ж
    const std::string wide_title = "\xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x8E\xB5";  // 東京 🎵 (a surrogate pair)
    const std::u16string wide_line = u"Bj\u00F6rk \u0416 - \u6771\u4EAC \U0001F3B5";
    struct Case {
        const char* name;
        int version;
        TextEncoding encoding;
    };
    const Case cases[] = {{"v3utf16.mp3", 3, TextEncoding::Utf16},
                          {"v4utf16.mp3", 4, TextEncoding::Utf16},
                          {"v4utf8.mp3", 4, TextEncoding::Utf8},
                          {"v3utf8.mp3", 3, TextEncoding::Utf8}};
    for (const Case& c : cases) {
        ToneTrack t = tagged(wide_artist, wide_title);
        t.id3v2_version = c.version;
        t.text_encoding = c.encoding;
        track(c.name, t);
    }
    // Latin-1 text frames in a v2.3 tag.
    ToneTrack latin = tagged("Caf\xC3\xA9", "Cr\xC3\xA8me");
    latin.id3v2_version = 3;
    track("v3latin1.mp3", latin);
    // ID3v2.2, which TagLib only reads: 3-letter frames, UTF-16 artist with a byte-order mark.
    Bytes frames;
    append_v22_frame(frames, "TT2", latin1_text("Twenty Two"));
    append_v22_frame(frames, "TP1", Bytes{1, 0xFF, 0xFE, 'A', 0, 'b', 0, 0xE9, 0});
    append_v22_frame(frames, "XYZ", Bytes{'r', 'a', 'w'});  // no v2.4 name: stays as read
    tagged_file("v22.mp3", 2, frames);
    start();
    EXPECT_EQ(text(), u"");  // nothing played yet

    play("both.mp3");
    EXPECT_EQ(text(), u"Nina - Blue");
    EXPECT_EQ(std::u16string(TagText), u"Blue");
    play("artist.mp3");
    EXPECT_EQ(text(), u"Artist - Unknown Title");
    EXPECT_EQ(std::u16string(TagText), u"Artist");
    play("title.mp3");
    EXPECT_EQ(text(), u"Unknown Artist - Only Title");
    play("neither.mp3");
    EXPECT_EQ(text(), u"Unknown Artist - Unknown Title");
    EXPECT_EQ(std::u16string(TagText), u"Only Title");  // the last value converted stays

    play("longartist.mp3");
    std::u16string expected_artist;
    for (int i = 0; i < 199; ++i) expected_artist += (i % 2) ? u'\u00E9' : u'a';
    EXPECT_EQ(text(), expected_artist + u" - Short");

    play("long.mp3");
    EXPECT_EQ(std::u16string(TagText), std::u16string(199, u't'));
    const std::u16string line = text();
    ASSERT_EQ(line.size(), 299u);
    EXPECT_EQ(line, (expected_artist + u" - " + std::u16string(199, u't')).substr(0, 299));

    play("v1.mp3");
    EXPECT_EQ(text(), u"Old Timer - Version One");
    program().on_ui([] {
        int type = 0;
        char* name = nullptr;
        void* value = nullptr;
        int length = 0;
        ASSERT_TRUE(FSOUND_Stream_GetTagField(CurrentStream, 0, &type, &name, &value, &length));
        EXPECT_EQ(type, 1);
    });

    // An untagged track shows its name and the default picture.
    play("covered.mp3");
    ASSERT_EQ(art_size(), std::pair(250, 232));
    const Bytes cover = read_bytes(album_jpg());
    play("Simon & Garfunkel - The Boxer.MP3");
    EXPECT_EQ(text(), u"Unknown Artist - Simon & Garfunkel - The Boxer");
    EXPECT_EQ(art_size(), std::pair(120, 90));
    EXPECT_EQ(read_bytes(album_jpg()), cover);

    for (const Case& c : cases) {
        play(c.name);
        EXPECT_EQ(text(), wide_line) << c.name;
    }
    play("v3latin1.mp3");
    EXPECT_EQ(text(), u"Caf\u00E9 - Cr\u00E8me");
    play("v22.mp3");
    EXPECT_EQ(text(), u"Ab\u00E9 - Twenty Two");
    program().on_ui([] {
        void* value = nullptr;
        int length = 0;
        ASSERT_TRUE(FSOUND_Stream_FindTagField(CurrentStream, 2, "XYZ", &value, &length));
        EXPECT_EQ(std::string(static_cast<const char*>(value), static_cast<std::size_t>(length)), "raw");
    });
}

// The panel's line as drawn: the leftmost column of white text in the line's rows, inside the
// panel's border (the line is centred, so a wider text starts further left).
int line_left_edge(const zv::Surface& s)
{
    int left = 240;
    for (int y = 8; y < 30; ++y)
        for (int x = 3; x < 237; ++x)
            if (((s.pixel(x, y) >> 8) & 0xFF) > 0x80) left = std::min(left, x);
    return left;
}

TEST_F(TrackInfoText, AnAmpersandInATagShowsOnThePanel)
{
    track("amp.mp3", tagged("Rock & Roll", "X"));
    track("spaces.mp3", tagged("Rock  Roll", "X"));
    start(true);
    play("amp.mp3");
    program().advance(1000);
    const int amp = line_left_edge(program().screen());
    play("spaces.mp3");
    program().advance(1000);
    const int spaces = line_left_edge(program().screen());
    EXPECT_LT(amp, spaces - 1) << "the '&' is drawn, not taken for a mnemonic marker";
}

}  // namespace
