// The first play of a process: channels start at full volume, and the player sets its stored
// volume one call after starting the stream. The calls of one user-interface turn reach the mixer
// together, so no sample sounds at full gain wherever the output's thread falls between them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "fmod.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace zv::test {
namespace {

int peak(const std::vector<std::int16_t>& pcm)
{
    int p = 0;
    for (std::int16_t v : pcm) p = std::max(p, std::abs(int{v}));
    return p;
}

TEST(SoundFirstPlay, SoundsAtTheStoredVolumeFromItsFirstSample)
{
    FixtureDir dir;
    const auto music = dir.path() / "music";
    std::filesystem::create_directories(music);
    fixtures::ToneTrack t;
    t.id3v2_version = 0;
    const auto track = music / "t.mp3";
    ASSERT_TRUE(fixtures::write_tone_mp3(track, t));
    std::ofstream(dir.path() / "direc.zvn") << music.string() << "/";
    test::ProgramHarness player(test::ProgramHarness::Options(dir.path()));
    auto* sink = dynamic_cast<PulledAudioOutput*>(player.platform().sound().output());
    ASSERT_NE(sink, nullptr);

    // How the player starts a track, with the output rendering a buffer between its calls.
    std::vector<std::int16_t> between(882 * 2);
    player.on_ui([&] {
        FSOUND_STREAM* s = FSOUND_Stream_Open(track.c_str(), 0, 0, 0);
        FSOUND_Stream_Play(FSOUND_FREE, s);
        sink->pull(between.data(), 882);
        FSOUND_SetVolume(FSOUND_ALL, 50);
        EXPECT_EQ(FSOUND_GetVolume(0), 50);
    });
    const auto first = player.pull_audio(882);  // 20 ms
    player.pull_audio(4096);
    const auto steady = player.pull_audio(4096);
    EXPECT_GT(peak(first), 0);
    EXPECT_LE(std::max(peak(between), peak(first)), peak(steady));
}

}  // namespace
}  // namespace zv::test
