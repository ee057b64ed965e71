// The automatic advance as a listener hears it: one sine cut into two tracks comes out as the one
// sine again, whatever lies between them in the list.
#include <gtest/gtest.h>

#include <fstream>

#include "app/zorvane.h"
#include "playback/playback.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "support/sine_parts.h"

namespace zv::test {
namespace {

constexpr std::size_t kDeviceBuffer = 1024;

TEST(GaplessAdvance, TheTwoHalvesOfASineJoinAsTheSineAndAnUnplayableTrackBetweenIsPassedOver)
{
    FixtureDir dir;
    const auto music = dir.path() / "music";
    std::filesystem::create_directories(music);
    // 1.5 s cut at 30001 frames: neither half is a whole number of 1152-frame MP3 frames.
    const SineParts sine = write_sine_parts(music, 44100, 66150, {30001});
    ASSERT_EQ(sine.paths.size(), 2u);
    // Wherever the scan puts it, the player passes over it on the way from one half to the other.
    std::ofstream(music / "broken.mp3") << "not an mp3 at all";
    write_settings(dir.path(), music);
    ProgramHarness player(ProgramHarness::Options(dir.path()));
    ASSERT_EQ(TrackCount, 3);
    int first = -1;
    for (int i = 0; i < TrackCount; ++i)
        if (player.item_text(PathList, i).ends_with(u"part1.mp3")) first = i;
    ASSERT_GE(first, 0);
    player.on_ui([first] {
        CurrentTrack = first;
        PlayCurrentTrack();
    });

    // Pulled a device's buffer at a time, the program running between buffers as it would.
    std::vector<std::int16_t> heard;
    while (heard.size() / 2 < sine.frames + 11025) {
        const auto buffer = player.pull_audio(kDeviceBuffer);
        heard.insert(heard.end(), buffer.begin(), buffer.end());
    }
    const JoinHearing h = hear_joins(heard, 44100, sine);
    EXPECT_EQ(h.start, 0u);
    EXPECT_LE(h.longest_quiet, 8u);
    ASSERT_EQ(h.deviation.size(), 1u);
    EXPECT_LT(h.deviation[0], 0.05);
    EXPECT_LT(h.whole_deviation, 0.05);
    // Past the second half the list wraps to the first: no silence there either.
    EXPECT_GT(h.length, sine.frames + 11025 - kDeviceBuffer);
    EXPECT_EQ(CurrentTrack, first);
}

}  // namespace
}  // namespace zv::test
