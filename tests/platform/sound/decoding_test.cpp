#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

using fixtures::dominant_frequency;
using fixtures::rms_level;

class SoundDecoding : public SoundTest {};

TEST_F(SoundDecoding, OtherRatesAndMonoComeOutAt44100Stereo)
{
    struct Case {
        int rate, channels;
    };
    for (Case c : {Case{48000, 2}, Case{22050, 1}, Case{48000, 1}, Case{22050, 2}}) {
        fixtures::ToneTrack t;
        t.frequency_hz = 500;
        t.seconds = 1.0;
        t.sample_rate = c.rate;
        t.channels = c.channels;
        t.bitrate_kbps = c.rate < 32000 ? 64 : 128;
        t.id3v2_version = 0;
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.channels << " ch");
        FSOUND_STREAM* s = FSOUND_Stream_Open(
            tone("r" + std::to_string(c.rate) + std::to_string(c.channels) + ".mp3", t).c_str(), 0, 0, 0);
        ASSERT_NE(s, nullptr);
        FSOUND_Stream_Play(FSOUND_FREE, s);
        pull(4096);
        const auto pcm = pull(16384);
        EXPECT_NEAR(dominant_frequency(pcm.data(), 16384, 44100), 500, 5);
        // Both sides carry the tone.
        double left = 0, right = 0;
        for (std::size_t i = 0; i < 16384; ++i) {
            left += std::abs(pcm[i * 2]);
            right += std::abs(pcm[i * 2 + 1]);
        }
        EXPECT_NEAR(right / left, 1.0, 0.05);
        // A second of sound lasts a second: the position counts the file's own frames.
        EndLog log;
        EXPECT_NEAR(static_cast<double>(play_out(s, log)), c.rate, c.rate / 10.0);
        EXPECT_EQ(log.ended.size(), 1u);
    }
}

TEST_F(SoundDecoding, FilesThatAreNotMp3DoNotOpen)
{
    Bytes garbage(20000);
    unsigned x = 12345;
    for (unsigned char& c : garbage) {
        x = x * 1103515245u + 12345u;
        c = static_cast<unsigned char>(x >> 16);
    }
    Bytes text;
    for (int i = 0; i < 2000; ++i)
        for (char c : std::string("not music at all\n")) text.push_back(c);
    EXPECT_EQ(FSOUND_Stream_Open(write_bytes("random.mp3", garbage).c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(write_bytes("text.mp3", text).c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(write_bytes("empty.mp3", {}).c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(dir_.file("missing.mp3").c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(nullptr, 0, 0, 0), nullptr);

    // Named like tracks but not regular files: each fails at once, like a missing file, and its
    // tags read as none. (Opening a FIFO with no writer the ordinary way waits for ever.)
    const auto fifo = dir_.file("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto folder = dir_.file("folder.mp3");
    std::filesystem::create_directory(folder);
    const auto dangling = dir_.file("dangling.mp3");
    std::filesystem::create_symlink(dir_.file("nowhere.mp3"), dangling);
    for (const auto& p : {fifo, folder, dangling}) {
        EXPECT_EQ(FSOUND_Stream_Open(p.c_str(), 0, 0, 0), nullptr) << p;
        EXPECT_TRUE(StreamTags::read(p.string()).fields().empty()) << p;
    }
}

TEST_F(SoundDecoding, TruncatedFilePlaysWhatItHasThenEnds)
{
    auto bytes = read_bytes(tone("whole.mp3", 440, 1.0));
    bytes.resize(bytes.size() / 2 + 77);  // cut mid-frame
    FSOUND_STREAM* s = FSOUND_Stream_Open(write_bytes("half.mp3", bytes).c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EndLog log;
    const unsigned played = play_out(s, log);
    EXPECT_EQ(log.ended.size(), 1u);
    EXPECT_GT(played, 15000u);
    EXPECT_LT(played, 30000u);
}

TEST_F(SoundDecoding, FileCutOrRemovedWhilePlayingEndsOnce)
{
    for (bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "removed" : "cut");
        const std::string path = tone(removed ? "gone.mp3" : "cut.mp3", 440, 3.0);
        FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
        ASSERT_NE(s, nullptr);
        EndLog log;
        FSOUND_Stream_SetEndCallback(s, &EndLog::record, &log);
        FSOUND_Stream_Play(FSOUND_FREE, s);
        pull(4410);
        if (removed)
            std::filesystem::remove(path);
        else
            std::filesystem::resize_file(path, std::filesystem::file_size(path) / 3);
        for (int i = 0; i < 40 && log.ended.empty(); ++i) {
            pull(4410);
            run_posts();
        }
        EXPECT_EQ(log.ended.size(), 1u);
        pull(kLeadFrames + 1);  // its tail
        const unsigned played = FSOUND_Stream_GetPosition(s);
        // A removed file's data stays readable while open; a cut one ends near the cut (1 s), or
        // as far as the decoder had read ahead.
        if (removed)
            EXPECT_NEAR(played, 132300.0, 1200.0);
        else
            EXPECT_TRUE(played > 40000 && played < 80000) << played;
    }
}

TEST_F(SoundDecoding, DamageInTheMiddleNeverHangs)
{
    auto bytes = read_bytes(tone("whole.mp3", 440, 1.0));
    // Overwrite a stretch with garbage and another with zeros.
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 900; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    for (std::size_t i = bytes.size() * 2 / 3; i < bytes.size() * 2 / 3 + 1500; ++i) bytes[i] = 0;
    FSOUND_STREAM* s = FSOUND_Stream_Open(write_bytes("damaged.mp3", bytes).c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EndLog log;
    const unsigned played = play_out(s, log);
    EXPECT_EQ(log.ended.size(), 1u);
    EXPECT_GT(played, 10000u);
    EXPECT_LE(played, 50000u);
}

TEST_F(SoundDecoding, HeaderFollowedByNothingEndsAtOnce)
{
    auto bytes = read_bytes(tone("whole.mp3", 440, 1.0));
    bytes.resize(1300);  // the LAME header frame, two audio frames and a piece of a third
    FSOUND_STREAM* s = FSOUND_Stream_Open(write_bytes("stub.mp3", bytes).c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EndLog log;
    EXPECT_LT(play_out(s, log), 4000u);
    EXPECT_EQ(log.ended.size(), 1u);
}

TEST_F(SoundDecoding, SeekPastTheEndEndsOnPlay)
{
    FSOUND_STREAM* s = FSOUND_Stream_Open(tone("a.mp3", 440, 0.5).c_str(), 0, 0, 0);
    FSOUND_Stream_SetPosition(s, 10'000'000);
    EndLog log;
    play_out(s, log);
    EXPECT_EQ(log.ended.size(), 1u);
    EXPECT_EQ(rms_level(pull(1000).data(), 1000), 0.0);
}

}  // namespace
}  // namespace zv::test
