#include <cstring>
#include <filesystem>
#include <fstream>

#include "sound/stream_tags.h"
#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

class SoundTags : public SoundTest {
protected:
    FSOUND_STREAM* open(const fixtures::ToneTrack& t)
    {
        FSOUND_STREAM* s = FSOUND_Stream_Open(tone("t" + std::to_string(counter_++) + ".mp3", t).c_str(), 0, 0, 0);
        EXPECT_NE(s, nullptr);
        return s;
    }

    static fixtures::ToneTrack short_track()
    {
        fixtures::ToneTrack t;
        t.seconds = 0.1;
        return t;
    }

    // A field's bytes, which a zero follows; none when it is not found.
    static std::optional<Bytes> find(FSOUND_STREAM* s, const char* name, int type = 2)
    {
        void* value = nullptr;
        int length = -1;
        if (!FSOUND_Stream_FindTagField(s, type, name, &value, &length)) return std::nullopt;
        const auto* p = static_cast<const unsigned char*>(value);
        EXPECT_EQ(p[length], 0);
        return Bytes(p, p + length);
    }
    static Bytes find_bytes(FSOUND_STREAM* s, const char* name) { return find(s, name).value_or(Bytes{}); }
    // The text a caller reads: up to the first zero.
    static std::string find_text(FSOUND_STREAM* s, const char* name, int type = 2)
    {
        const auto b = find(s, name, type);
        return b ? std::string(b->begin(), std::find(b->begin(), b->end(), 0)) : "<none>";
    }

    struct Field {
        int type = -1;  // refused
        std::string name, value;
    };
    // Field `index` as GetTagField answers it, its value followed by a zero.
    static Field field(FSOUND_STREAM* s, int index)
    {
        int type = 0, length = 0;
        char* name = nullptr;
        void* value = nullptr;
        if (!FSOUND_Stream_GetTagField(s, index, &type, &name, &value, &length)) return {};
        EXPECT_EQ(static_cast<char*>(value)[length], 0);
        return Field{type, name, std::string(static_cast<char*>(value), static_cast<std::size_t>(length))};
    }
    static int count(FSOUND_STREAM* s)
    {
        int n = 0;
        return FSOUND_Stream_GetNumTagFields(s, &n) ? n : -1;
    }

    Bytes audio_only()
    {
        fixtures::ToneTrack t = short_track();
        t.id3v2_version = 0;
        return read_bytes(tone("plain" + std::to_string(counter_++) + ".mp3", t));
    }

    std::string write_file(const Bytes& bytes)
    {
        return write_bytes("made" + std::to_string(counter_++) + ".mp3", bytes);
    }

    // An ID3v2 tag of these frames in front of plain audio.
    Bytes tagged(int major, const Bytes& frames);

    int counter_ = 0;
};

void append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

void append_syncsafe(Bytes& out, std::size_t n)
{
    for (int shift : {21, 14, 7, 0}) out.push_back(static_cast<unsigned char>((n >> shift) & 0x7F));
}

// An ID3v2.2 frame: 3-letter id and a 3-byte size.
void append_v22_frame(Bytes& out, const std::string& id, const Bytes& body)
{
    append(out, id);
    for (int shift : {16, 8, 0}) out.push_back(static_cast<unsigned char>((body.size() >> shift) & 0xFF));
    out.insert(out.end(), body.begin(), body.end());
}

// A v2.3 or v2.4 frame: 4-letter id, a 4-byte size (syncsafe in v2.4), two flag bytes.
void append_v23_frame(Bytes& out, int major, const std::string& id, const Bytes& body)
{
    append(out, id);
    if (major >= 4)
        append_syncsafe(out, body.size());
    else
        for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<unsigned char>((body.size() >> shift) & 0xFF));
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), body.begin(), body.end());
}

Bytes id3_header(int major, std::size_t size)
{
    Bytes h;
    append(h, "ID3");
    h.push_back(static_cast<unsigned char>(major));
    h.push_back(0);
    h.push_back(0);
    append_syncsafe(h, size);
    return h;
}

Bytes SoundTags::tagged(int major, const Bytes& frames)
{
    Bytes file = id3_header(major, frames.size());
    file.insert(file.end(), frames.begin(), frames.end());
    const Bytes audio = audio_only();
    file.insert(file.end(), audio.begin(), audio.end());
    return file;
}

TEST_F(SoundTags, Id3v1FieldsFollowTheV2OnesAndAnswerArtistAndTitle)
{
    for (int v2 : {0, 3}) {
        SCOPED_TRACE(v2);
        auto t = short_track();
        t.id3v2_version = v2;
        t.id3v1 = true;
        t.artist = "Old Band";
        t.title = "Old Song";
        FSOUND_STREAM* s = open(t);
        const int first_v1 = v2 ? 2 : 0;  // after the artist and title frames
        ASSERT_EQ(count(s), first_v1 + 7);
        for (int i = 0; i < first_v1 + 7; ++i) EXPECT_EQ(field(s, i).type, i < first_v1 ? 2 : 1) << i;
        EXPECT_EQ(field(s, first_v1).name, "TITLE");
        EXPECT_EQ(field(s, first_v1).value, "Old Song");
        EXPECT_EQ(find_text(s, "ARTIST"), "Old Band");
        EXPECT_EQ(find_text(s, "TITLE"), "Old Song");
        EXPECT_EQ(find_text(s, "ARTIST", 1), "Old Band");
        EXPECT_EQ(find_text(s, "APIC"), "<none>");
        EXPECT_EQ(field(s, first_v1 + 7).type, -1);
        EXPECT_EQ(field(s, -1).type, -1);
    }
}

TEST_F(SoundTags, Id3v2TextInEveryEncodingComesOutUtf8)
{
    struct Case {
        int version;
        fixtures::TextEncoding encoding;
    };
    const std::string artist = "Bj\xC3\xB6rk \xCE\xA9 \xE6\x9D\xB1";  // ö, Ω, 東
    for (Case c : {Case{3, fixtures::TextEncoding::Utf16}, Case{4, fixtures::TextEncoding::Utf16},
                   Case{4, fixtures::TextEncoding::Utf8}, Case{3, fixtures::TextEncoding::Latin1}}) {
        SCOPED_TRACE(c.version);
        auto t = short_track();
        t.id3v2_version = c.version;
        t.text_encoding = c.encoding;
        t.artist = artist;
        t.title = "Caf\xC3\xA9";
        FSOUND_STREAM* s = open(t);
        EXPECT_EQ(find_text(s, "ARTIST"), artist);
        EXPECT_EQ(find_text(s, "TITLE"), "Caf\xC3\xA9");
        EXPECT_EQ(field(s, 0).type, 2);
        EXPECT_EQ(field(s, 0).name.size(), 4u);
    }
}

TEST_F(SoundTags, MissingFieldsAreNotFoundAndAnUntaggedFileAnswersItsName)
{
    auto t = short_track();
    t.artist = "Only Artist";
    FSOUND_STREAM* s = open(t);
    EXPECT_EQ(find_text(s, "ARTIST"), "Only Artist");
    EXPECT_EQ(find_text(s, "TITLE"), "<none>");

    // No tag at all: its one field is its name, without folder and extension.
    auto bare = short_track();
    bare.id3v2_version = 0;
    for (auto [file, title] : {std::pair{"Simon & Garfunkel.MP3", "Simon & Garfunkel"},
                               std::pair{"two.dots.mp3", "two.dots"}, std::pair{".mp3", ".mp3"}}) {
        SCOPED_TRACE(file);
        FSOUND_STREAM* none = FSOUND_Stream_Open(tone(file, bare).c_str(), 0, 0, 0);
        ASSERT_NE(none, nullptr);
        EXPECT_EQ(count(none), 1);
        EXPECT_EQ(field(none, 0).type, 2);
        EXPECT_EQ(find_text(none, "TITLE"), title);
        EXPECT_EQ(find_text(none, "ARTIST"), "<none>");
        EXPECT_EQ(find_text(none, "APIC"), "<none>");
    }

    // A blank ID3v1 tag, or an ID3v2 tag of what the encoder notes by itself, tells nothing
    // either: the fields stay, and the name is the title.
    Bytes blank_v1 = audio_only();
    append(blank_v1, "TAG");
    blank_v1.resize(blank_v1.size() + 125, 0);
    blank_v1.back() = 255;  // no genre
    Bytes encoder_frames;
    append_v23_frame(encoder_frames, 3, "TSSE", Bytes{0, 'L', 'A', 'M', 'E'});
    const Bytes encoder_only = tagged(3, encoder_frames);
    for (auto [bytes, fields, type] : {std::tuple{blank_v1, 7, 1}, std::tuple{encoder_only, 1, 2}}) {
        const std::string path = write_file(bytes);
        FSOUND_STREAM* s2 = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
        ASSERT_NE(s2, nullptr);
        EXPECT_EQ(count(s2), fields);
        EXPECT_EQ(field(s2, 0).type, type);
        EXPECT_EQ(find_text(s2, "TITLE"), std::filesystem::path(path).stem().string());
        EXPECT_EQ(find_text(s2, "ARTIST"), "<none>");
    }
}

// The cover as the player reads it: encoding 0, the MIME type in 11 bytes, the picture type, an
// empty description's terminator, then the picture.
void expect_cover(const Bytes& apic, const Bytes& picture, const std::string& mime, int type = 3)
{
    ASSERT_EQ(apic.size(), 14 + picture.size());
    EXPECT_EQ(apic[0], 0);
    std::string field = mime.substr(0, 10);
    field.resize(11, '\0');
    EXPECT_EQ(std::string(apic.begin() + 1, apic.begin() + 12), field);
    EXPECT_EQ(apic[12], type);
    EXPECT_EQ(apic[13], 0);
    EXPECT_EQ(Bytes(apic.begin() + 14, apic.end()), picture);
}

TEST_F(SoundTags, CoverIsThePictureAtByte14WhateverTheFrameSays)
{
    const Bytes jpeg = fixtures::make_cover_jpeg(32, 24, 7), png = fixtures::make_cover_png(12, 10, 2);
    ASSERT_GT(jpeg.size(), 100u);
    struct Case {
        int version;
        const char* mime;
        const char* description;
        fixtures::TextEncoding encoding;
        const Bytes& picture;
    };
    using E = fixtures::TextEncoding;
    for (const Case& c :
         {Case{4, "image/jpeg", "", E::Latin1, jpeg}, Case{3, "image/jpg", "", E::Latin1, jpeg},
          Case{3, "image/jpeg", "cover", E::Latin1, jpeg}, Case{3, "image/jpeg", "Front Cover", E::Utf16, jpeg},
          Case{4, "image/jpeg", "Cover \xC3\xA9", E::Utf8, jpeg}, Case{4, "image/png", "", E::Latin1, png},
          Case{3, "image/png", "cover", E::Utf16, png}, Case{4, "image/x-portable-pixmap", "x", E::Latin1, png}}) {
        SCOPED_TRACE(::testing::Message() << "v2." << c.version << " " << c.mime << " '" << c.description << "'");
        auto t = short_track();
        t.id3v2_version = c.version;
        t.pictures.push_back({c.picture, c.mime, 3, c.description, c.encoding});
        FSOUND_STREAM* s = open(t);
        expect_cover(find_bytes(s, "APIC"), c.picture, c.mime);
        FSOUND_Stream_Close(s);
    }

    // Taggers write UTF-8 descriptions into v2.3 tags too, where the version does not allow them.
    for (int major : {3, 4}) {
        Bytes body = {3};
        append(body, "image/jpeg");
        body.push_back(0);
        body.push_back(3);
        append(body, "Front \xC3\xA9");
        body.push_back(0);
        body.insert(body.end(), jpeg.begin(), jpeg.end());
        Bytes frame;
        append_v23_frame(frame, major, "APIC", body);
        FSOUND_STREAM* s = FSOUND_Stream_Open(write_file(tagged(major, frame)).c_str(), 0, 0, 0);
        ASSERT_NE(s, nullptr);
        expect_cover(find_bytes(s, "APIC"), jpeg, "image/jpeg");
        FSOUND_Stream_Close(s);
    }
}

TEST_F(SoundTags, TheFrontCoverAnswersAndLinksOrEmptyFramesAreNoCover)
{
    const Bytes back = fixtures::make_cover_jpeg(8, 8, 1), front = fixtures::make_cover_png(8, 8, 2);
    const Bytes url{'h', 't', 't', 'p', ':', '/', '/', 'x'};
    struct Case {
        const char* what;
        std::vector<fixtures::Picture> pictures;
        const Bytes* answer;  // null: no cover
        int type;
    };
    for (const Case& c : {
             Case{"back, then front", {{back, "image/jpeg", 4, "back"}, {front, "image/png", 3, "front"}}, &front, 3},
             Case{"no front: the first", {{back, "image/jpeg", 4, ""}, {front, "image/png", 5, ""}}, &back, 4},
             Case{"a link only", {{url, "-->", 3, ""}}, nullptr, 0},
             Case{"a link, then a picture", {{url, "-->", 3, ""}, {back, "image/jpeg", 0, ""}}, &back, 0},
             Case{"an empty picture", {{Bytes{}, "image/jpeg", 3, ""}}, nullptr, 0},
         }) {
        SCOPED_TRACE(c.what);
        auto t = short_track();
        t.title = "Pictures";
        t.pictures = c.pictures;
        FSOUND_STREAM* s = open(t);
        if (c.answer)
            expect_cover(find_bytes(s, "APIC"), *c.answer, c.answer == &front ? "image/png" : "image/jpeg", c.type);
        else
            EXPECT_EQ(find_text(s, "APIC"), "<none>");
        EXPECT_EQ(find_text(s, "TITLE"), "Pictures");
        FSOUND_Stream_Close(s);
    }
}

TEST_F(SoundTags, ValueBelongsToTheStreamAndCallerMayShiftIt)
{
    auto t = short_track();
    t.artist = "Shift";
    t.cover = fixtures::make_cover_png(8, 8, 1);
    FSOUND_STREAM* s = open(t);
    void* value = nullptr;
    int length = 0;
    ASSERT_EQ(FSOUND_Stream_FindTagField(s, 2, "ARTIST", &value, &length), 1);
    auto* p = static_cast<char*>(value);
    std::memmove(p, p + 1, static_cast<std::size_t>(length));  // reads length + 1 bytes
    EXPECT_STREQ(p, "hift");
    // A new call hands out fresh bytes.
    EXPECT_EQ(find_text(s, "ARTIST"), "Shift");
    EXPECT_EQ(find_bytes(s, "APIC").size(), 14 + t.cover.size());
}

TEST_F(SoundTags, TagsAreReadOnTheFirstTagCallNotAtOpen)
{
    auto t = short_track();
    t.artist = "Before";
    const std::string path = tone("lazy.mp3", t);
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    fixtures::Mp3Tags later;
    later.artist = "After";
    ASSERT_TRUE(fixtures::write_tags(path, later));
    EXPECT_EQ(find_text(s, "ARTIST"), "After");
    // Read once: later changes on disk are not seen.
    later.artist = "Much Later";
    ASSERT_TRUE(fixtures::write_tags(path, later));
    EXPECT_EQ(find_text(s, "ARTIST"), "After");
}

TEST_F(SoundTags, Id3v22WrittenByHand)
{
    Bytes tag;
    Bytes title = {0};
    append(title, "Twenty Two");
    Bytes artist = {1, 0xFF, 0xFE, 'A', 0, 'b', 0, 0xE9, 0};  // UTF-16 "Abé"
    Bytes pic = {0};
    append(pic, "JPG");
    pic.push_back(3);
    pic.push_back(0);
    const Bytes jpeg = fixtures::make_cover_jpeg(8, 8, 3);
    pic.insert(pic.end(), jpeg.begin(), jpeg.end());
    append_v22_frame(tag, "TT2", title);
    append_v22_frame(tag, "TP1", artist);
    append_v22_frame(tag, "PIC", pic);

    FSOUND_STREAM* s = FSOUND_Stream_Open(write_file(tagged(2, tag)).c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(find_text(s, "TITLE"), "Twenty Two");
    EXPECT_EQ(find_text(s, "ARTIST"), "Ab\xC3\xA9");
    expect_cover(find_bytes(s, "APIC"), jpeg, "image/jpeg");
}

TEST_F(SoundTags, DamagedTagsNeverCrash)
{
    const Bytes audio = audio_only();
    std::vector<Bytes> files;
    {  // frame size running past the tag and the file
        Bytes body;
        append(body, "TIT2");
        for (unsigned char b : {0x7F, 0x7F, 0x7F, 0x7F, 0, 0}) body.push_back(b);
        append(body, "\x03short");
        Bytes f = id3_header(4, body.size());
        f.insert(f.end(), body.begin(), body.end());
        f.insert(f.end(), audio.begin(), audio.end());
        files.push_back(f);
    }
    {  // tag size past the end of the file
        Bytes f = id3_header(3, 0x0FFFFFFF);
        append(f, "TPE1");
        files.push_back(f);
    }
    {  // v2.2 frame whose size passes the tag end, then garbage frames
        Bytes tag;
        append(tag, "TT2");
        tag.insert(tag.end(), {0xFF, 0xFF, 0xFF, 0x00, 'x'});
        for (int i = 0; i < 40; ++i) tag.push_back(static_cast<unsigned char>(i * 37));
        Bytes f = id3_header(2, tag.size());
        f.insert(f.end(), tag.begin(), tag.end());
        f.insert(f.end(), audio.begin(), audio.end());
        files.push_back(f);
    }
    {  // every truncation of a tagged file's tag
        auto t = short_track();
        t.artist = "Cut";
        t.title = "Here";
        t.cover = fixtures::make_cover_jpeg(16, 16, 2);
        const Bytes full = read_bytes(tone("full.mp3", t));
        for (std::size_t cut = 3; cut < 200 && cut < full.size(); cut += 13)
            files.emplace_back(full.begin(), full.begin() + static_cast<long>(cut));
    }
    for (const Bytes& f : files) {
        const std::string path = write_file(f);
        const StreamTags tags = StreamTags::read(path);
        for (const TagField& field : tags.fields()) EXPECT_LE(field.name.size(), 16u);
        if (FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0)) {
            EXPECT_GE(count(s), 0);
            find_text(s, "ARTIST");
            find_bytes(s, "APIC");
        }
    }
}

}  // namespace
}  // namespace zv::test
