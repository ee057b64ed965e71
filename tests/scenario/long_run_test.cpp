// Ten thousand automatic advances over very short tracks, in virtual time: whatever one track
// change takes (a descriptor, a picture, heap) must be given back.
#include <dirent.h>
#include <malloc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>

#include "app/zorvane.h"
#include "gdi/gdi_state.h"
#include "sound/sound_system.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace fs = std::filesystem;
using zv::test::FixtureDir;
using zv::test::ProgramHarness;

namespace {

struct Footprint {
    int descriptors = 0;
    std::size_t gdi_objects = 0;
    std::size_t heap = 0;
};

int open_descriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

Footprint measure(ProgramHarness& p)
{
    Footprint f;
    p.on_ui([&] { f.gdi_objects = zv::GdiState::current()->object_count(); });
    // At any one look a track may be ending while the next is already open behind it (its file
    // and a ring of decoded sound): the least over a few looks, a little audio apart, once the
    // decoder thread has freed what the mixer let go, is the resting footprint.
    f.descriptors = std::numeric_limits<int>::max();
    f.heap = std::numeric_limits<std::size_t>::max();
    for (int i = 0; i < 8; ++i) {
        p.pull_audio(256);
        EXPECT_TRUE(p.platform().sound().wait_decoder_asleep());
        f.descriptors = std::min(f.descriptors, open_descriptors());
        f.heap = std::min(f.heap, mallinfo2().uordblks);
    }
    return f;
}

// Plays until `advances` more track changes have happened; the tracks are one frame long.
void run_advances(ProgramHarness& p, int advances)
{
    int changes = 0;
    FSOUND_STREAM* last = nullptr;
    p.on_ui([&] { last = CurrentStream; });
    while (changes < advances) {
        p.pull_audio(1024);
        FSOUND_STREAM* now = nullptr;
        p.on_ui([&] { now = CurrentStream; });
        if (now != last) ++changes;
        last = now;
    }
}

TEST(LongRun, TenThousandAdvancesLeaveDescriptorsPicturesAndHeapFlat)
{
    FixtureDir dir;
    fs::path music = dir.path() / "music";
    fs::create_directories(music);
    for (int i = 0; i < 3; ++i) {
        zv::fixtures::ToneTrack t;
        t.frequency_hz = 400 + 100 * i;
        t.seconds = 0.02;
        t.bitrate_kbps = 32;
        t.artist = "Artist";
        t.title = "Short " + std::to_string(i);
        if (i == 0) t.cover = zv::fixtures::make_cover_jpeg(64, 64, 1);
        ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / ("s" + std::to_string(i) + ".mp3"), t));
    }
    std::ofstream(dir.path() / "direc.zvn") << music.string() << "/";
    // With a default picture every track holds exactly one picture, cover or not.
    auto picture = zv::fixtures::make_cover_jpeg(32, 32, 2);
    std::ofstream(dir.path() / "default.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
    ProgramHarness p(ProgramHarness::Options(dir.path()));
    p.tap(120, 10);
    p.end_panels();

    run_advances(p, 300);  // every path (cover, no cover, wrap) has run and its caches are warm
    Footprint before = measure(p);
    run_advances(p, 10000);
    Footprint after = measure(p);
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.gdi_objects, before.gdi_objects);
    EXPECT_LT(after.heap, before.heap + 256 * 1024) << "heap grew from " << before.heap << " to " << after.heap;
}

}  // namespace
