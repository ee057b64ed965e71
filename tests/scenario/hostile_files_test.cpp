// Things in the library that are not tracks: a FIFO, a hidden folder and a dangling link named
// like tracks, and a FIFO in place of the default picture (the start-up tests put one in place of
// the settings file). None of them may block the player; each fails as a file that cannot be
// opened, and the next tap plays.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "app/zorvane.h"
#include "playlist/playlist.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace fs = std::filesystem;
using zv::test::FixtureDir;
using zv::test::ProgramHarness;

namespace {

TEST(HostileFiles, NonFilesNamedLikeTracksFailAtOnceAndTheNextTapPlays)
{
    FixtureDir dir;
    fs::path music = dir.path() / "music";
    fs::create_directories(music / ".hidden.mp3");  // a hidden folder is listed as a file
    ASSERT_EQ(::mkfifo((music / "stuck.mp3").c_str(), 0600), 0);
    fs::create_symlink(music / "gone", music / "dangling.mp3");
    zv::fixtures::ToneTrack t;
    t.frequency_hz = 500;
    t.seconds = 1.0;
    ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / "real.mp3", t));
    std::ofstream(dir.path() / "direc.zvn") << music.string() << "/";
    ASSERT_EQ(::mkfifo((dir.path() / "default.jpg").c_str(), 0600), 0);

    ProgramHarness p(ProgramHarness::Options(dir.path()));
    ASSERT_EQ(TrackCount, 4);
    int real = -1;
    for (int i = 0; i < TrackCount; ++i) {
        if (p.item_text(PathList, i).ends_with(u"real.mp3")) {
            real = i;
            continue;
        }
        p.tap(120, i * ITEM_HEIGHT + 10);
        p.end_panels();
        EXPECT_EQ(CurrentStream, nullptr) << "row " << i;
        EXPECT_EQ(p.heard(), 0.0) << "row " << i;
    }
    ASSERT_GE(real, 0);
    p.tap(120, real * ITEM_HEIGHT + 10);
    p.end_panels();
    EXPECT_NEAR(p.heard(), 500.0, 8.0);
}

}  // namespace
