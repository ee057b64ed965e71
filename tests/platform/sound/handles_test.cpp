#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

void expect_every_call_fails(FSOUND_STREAM* s)
{
    int n = 7, type = 0, len = 0;
    char* name = nullptr;
    void* value = nullptr;
    EXPECT_EQ(FSOUND_Stream_SetEndCallback(s, &EndLog::record, nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, s), -1);
    EXPECT_EQ(FSOUND_Stream_Stop(s), 0);
    EXPECT_NE(FSOUND_Stream_GetOpenState(s), 0);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 0u);
    EXPECT_EQ(FSOUND_Stream_SetPosition(s, 100), 0);
    EXPECT_EQ(FSOUND_Stream_GetNumTagFields(s, &n), 0);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(FSOUND_Stream_GetTagField(s, 0, &type, &name, &value, &len), 0);
    EXPECT_EQ(FSOUND_Stream_FindTagField(s, 2, "ARTIST", &value, &len), 0);
    EXPECT_EQ(FSOUND_Stream_Close(s), 0);
}

class SoundHandles : public SoundTest {};

TEST_F(SoundHandles, NullStaleAndGarbageHandlesDoNothing)
{
    expect_every_call_fails(nullptr);
    expect_every_call_fails(reinterpret_cast<FSOUND_STREAM*>(std::uintptr_t{0xDEADBEEF}));
    expect_every_call_fails(reinterpret_cast<FSOUND_STREAM*>(std::uintptr_t{1}));

    const std::string path = tone("a.mp3", 440);
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_EQ(FSOUND_Stream_Close(s), 1);
    expect_every_call_fails(s);
    // The slot is re-used, yet the old handle still names nothing.
    FSOUND_STREAM* again = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, s);
    expect_every_call_fails(s);
    EXPECT_EQ(FSOUND_Stream_GetOpenState(again), 0);
}

TEST_F(SoundHandles, HandlesFromBeforeACloseStayDead)
{
    const std::string path = tone("a.mp3", 440);
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    FSOUND_Close();
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    FSOUND_STREAM* fresh = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_NE(fresh, nullptr);
    expect_every_call_fails(s);
}

TEST_F(SoundHandles, InitTwiceKeepsEverything)
{
    FSOUND_STREAM* s = FSOUND_Stream_Open(tone("a.mp3", 440).c_str(), 0, 0, 0);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    FSOUND_SetVolume(FSOUND_ALL, 90);
    AudioOutput* out = system_.output();
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(system_.output(), out);
    EXPECT_EQ(FSOUND_Stream_GetOpenState(s), 0);
    EXPECT_EQ(FSOUND_GetVolume(0), 90);
}

TEST_F(SoundHandles, ChannelNumbersOutsideTheMixerAreRefused)
{
    EXPECT_EQ(FSOUND_SetVolume(32, 10), 0);
    EXPECT_EQ(FSOUND_SetVolume(-2, 10), 0);
    EXPECT_EQ(FSOUND_GetVolume(32), 0);
    EXPECT_EQ(FSOUND_GetVolume(-1), 0);
    EXPECT_EQ(FSOUND_GetVolume(0), 255);
}

TEST(SoundWithoutDevice, InitFailsUntilADeviceOpens)
{
    bool device = false;
    SoundSystem sys(
        [&]() -> std::unique_ptr<AudioOutput> {
            if (!device) return nullptr;
            return std::make_unique<PulledAudioOutput>();
        },
        [](std::function<void()>) {});
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    FixtureDir dir;
    fixtures::ToneTrack t;
    t.seconds = 0.2;
    ASSERT_TRUE(fixtures::write_tone_mp3(dir.file("a.mp3"), t));
    EXPECT_EQ(FSOUND_Stream_Open(dir.file("a.mp3").c_str(), 0, 0, 0), nullptr);
    device = true;
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_NE(FSOUND_Stream_Open(dir.file("a.mp3").c_str(), 0, 0, 0), nullptr);
}

TEST(SoundWithoutSystem, FunctionsAreHarmless)
{
    ASSERT_EQ(SoundSystem::current(), nullptr);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    FSOUND_Close();
    EXPECT_EQ(FSOUND_Stream_Open("/nonexistent.mp3", 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_GetVolume(0), 0);
    EXPECT_EQ(FSOUND_SetVolume(FSOUND_ALL, 10), 0);
    expect_every_call_fails(nullptr);
}

}  // namespace
}  // namespace zv::test
