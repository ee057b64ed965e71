// The automatic advance as a listener hears it: one sine cut into two tracks comes out as the one
// sine again, at the file's own rate or resampled, whatever lies between them in the list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "app/zorvane.h"
#include "playback/playback.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "support/sine_parts.h"

namespace zv::test {
namespace {

constexpr std::size_t kDeviceBuffer = 1024;
constexpr std::size_t kMp3Frame = 1152;

// One program run a process: the program's globals last as long as the process. The 48 kHz case
// cuts where the sine is near its peak too, where the resampler rings most at each half's edge.
class GaplessAdvance : public ::testing::TestWithParam<std::pair<int, std::size_t>> {};

TEST_P(GaplessAdvance, TheTwoHalvesOfASineJoinAsTheSineAndWhatCannotPlayIsPassedOver)
{
    const auto [rate, cut] = GetParam();
    FixtureDir dir;
    const auto music = dir.path() / "music";
    std::filesystem::create_directories(music);
    // 1.5 s, neither half a whole number of MP3 frames.
    const auto frames = static_cast<std::size_t>(rate) * 3 / 2;
    const SineParts sine = write_sine_parts(music, rate, frames, {cut});
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

    const std::vector<std::int16_t> whole = as_one_stream(sine, 44100, CurrentVolume);
    // Pulled a device's buffer at a time, the program running between buffers as it would.
    // Once the second half sounds the files go, so nothing follows it: its end is heard.
    const std::size_t heard_frames = frames * 44100 / static_cast<std::size_t>(rate);
    std::vector<std::int16_t> heard;
    while (heard.size() / 2 < heard_frames + 22050) {
        const auto buffer = player.pull_audio(kDeviceBuffer);
        heard.insert(heard.end(), buffer.begin(), buffer.end());
        if (heard.size() / 2 == 40 * kDeviceBuffer)
            for (const std::string& p : sine.paths) std::filesystem::remove(p);
    }
    // No silence, the sine's length, and a join that strays from the sine no more than the
    // halves' own coding does.
    const JoinHearing h = hear_joins(heard, 44100, sine);
    const JoinHearing coded = hear_joins(whole, 44100, sine);
    EXPECT_LE(h.start, 1u);
    EXPECT_LE(h.longest_quiet, 8u);
    ASSERT_EQ(h.deviation.size(), 1u);
    EXPECT_LT(h.deviation[0], coded.deviation[0] + 0.02);
    EXPECT_LT(h.whole_deviation, coded.whole_deviation + 0.02);
    EXPECT_NEAR(static_cast<double>(h.length), static_cast<double>(heard_frames), kMp3Frame);
    // Frame by frame, what one stream would give: exactly at the file's own rate, and resampled
    // within the rounding of the two halves' sum (each one's ringing added across the join).
    double worst = 0;
    for (std::size_t i = 0; i < std::min(heard.size(), whole.size()); ++i)
        worst = std::max(worst, std::abs(static_cast<double>(heard[i]) - whole[i]));
    EXPECT_LE(worst, rate == 44100 ? 0 : 2);
}

INSTANTIATE_TEST_SUITE_P(OwnRateAndResampled, GaplessAdvance,
                         ::testing::Values(std::pair{44100, std::size_t{30001}}, std::pair{48000, std::size_t{30001}},
                                           std::pair{48000, std::size_t{30301}}));

}  // namespace
}  // namespace zv::test
