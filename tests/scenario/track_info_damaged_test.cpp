// Damaged and hostile tags on played tracks: the player keeps going, and what it shows follows
// from what could be read.
#include "scenario/track_info_scenario.h"

namespace {

using namespace zv::test::track_info;
using zv::fixtures::ToneTrack;

class TrackInfoDamaged : public TrackInfoScenario {};

TEST_F(TrackInfoDamaged, BrokenTagsNeverStopThePlayer)
{
    ToneTrack full;
    full.artist = "Whole";
    full.title = "File";
    full.cover = solid_jpeg(64, 64, 0x4080C0);
    track("full.mp3", full);
    const Bytes whole = read_bytes(music_ / "full.mp3");
    // Cut at many places through the tag, the cover and into the audio.
    std::vector<std::string> names;
    for (std::size_t cut = 4; cut < whole.size(); cut += whole.size() / 23) {
        names.push_back("cut" + std::to_string(cut) + ".mp3");
        raw_file(names.back(), Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
    }
    {  // a frame whose size runs past the end of the file
        Bytes frames;
        append(frames, "TPE1");
        append_be32(frames, 0x7FFFFFF0);
        frames.insert(frames.end(), {0, 0, 0});
        append(frames, "Runaway");
        tagged_file("pastend.mp3", 3, frames);
        names.push_back("pastend.mp3");
    }
    {  // a tag that claims more than the file holds
        Bytes f = id3_header(4, 0x0FFFFFFF);
        append(f, "APIC");
        f.insert(f.end(), {0x7F, 0x7F, 0x7F, 0x7F, 0, 0, 0});
        append(f, "image/jpeg");
        raw_file("bigtag.mp3", f);
        names.push_back("bigtag.mp3");
    }
    {  // v2.2 picture frame cut short inside its header fields
        Bytes frames;
        append_v22_frame(frames, "TT2", latin1_text("Two Two"));
        append(frames, "PIC");
        frames.insert(frames.end(), {0x00, 0x00, 0x30, 0x00, 'J', 'P'});
        tagged_file("v22cut.mp3", 2, frames);
        names.push_back("v22cut.mp3");
    }
    start();

    for (const std::string& name : names) {
        play(name);
        ASSERT_FALSE(program().finished()) << name;
        // Whatever shows is a whole line with its separator.
        const std::u16string line = text();
        if (!line.empty()) {
            EXPECT_NE(line.find(u" - "), std::u16string::npos) << name;
        }
        const auto size = art_size();
        if (size) {
            EXPECT_LE(size->first, 250) << name;
        }
    }
    // The player still plays a good file afterwards.
    play("full.mp3");
    EXPECT_EQ(text(), u"Whole - File");
    EXPECT_EQ(read_bytes(album_jpg()), full.cover);
    EXPECT_EQ(art_size(), std::pair(250, 232));
}

TEST_F(TrackInfoDamaged, CoverThatIsNoPictureIsWrittenAndShowsBlackAndAHugeOneIsScaledDown)
{
    ToneTrack t;
    t.title = "Not A Picture";
    t.cover = Bytes(500, 0x5A);
    t.cover[0] = 0xFF;  // looks like a JPEG start, is not one
    t.cover[1] = 0xD8;
    track("garbage.mp3", t);
    ToneTrack half = t;
    Bytes cut = solid_jpeg(80, 80, 0xFFFFFF);
    cut.resize(cut.size() / 2);  // a JPEG that ends early
    half.cover = cut;
    track("half.mp3", half);
    const Bytes huge = solid_jpeg(6000, 6000, 0xFFFFFF);
    ASSERT_FALSE(huge.empty());
    ToneTrack big;
    big.title = "Huge";
    big.cover = huge;
    track("huge.mp3", big);
    start();

    for (const char* name : {"garbage.mp3", "half.mp3"}) {
        play(name);
        EXPECT_EQ(text(), u"Unknown Artist - Not A Picture") << name;
        // The bytes go out unchanged whatever they are; the art is the new, blank bitmap.
        EXPECT_EQ(read_bytes(album_jpg()), std::string(name) == "half.mp3" ? cut : t.cover) << name;
        EXPECT_EQ(art_size(), std::pair(250, 232)) << name;
        const zv::Surface s = art_pixels();
        EXPECT_EQ(s.pixel(0, 0), 0u) << name;
        EXPECT_EQ(s.pixel(125, 116), 0u) << name;
    }

    // A huge cover is scaled down to the control.
    play("huge.mp3");
    EXPECT_EQ(read_bytes(album_jpg()), huge);
    EXPECT_EQ(art_size(), std::pair(250, 232));
    const zv::Surface s = art_pixels();
    EXPECT_TRUE(near_colour(s.pixel(125, 116), 0xFFFFFF));
    EXPECT_TRUE(near_colour(s.pixel(248, 231), 0xFFFFFF));
    EXPECT_EQ(s.pixel(249, 0), 0u);
}
}  // namespace
