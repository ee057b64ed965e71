// Files at other rates than the mix rate, resampled, against libmpg123's own decode of the same file
// at its own rate: as clean a tone, every frame out, positions in the file's own frames.
#include <mpg123.h>

#include <cmath>
#include <string>

#include "sound/stream_source.h"
#include "tests/platform/sound/sound_test_env.h"

namespace zv::test {
namespace {

using fixtures::dominant_frequency;
using fixtures::thd_n_db;

struct OwnDecode {
    std::vector<std::int16_t> pcm;
    int rate = 0;
    int channels = 0;
    std::size_t frames() const { return channels ? pcm.size() / static_cast<std::size_t>(channels) : 0; }
};

// libmpg123 alone, at the file's own rate and channel count.
OwnDecode decode_own(const std::string& path)
{
    OwnDecode d;
    mpg123_init();
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        long rate = 0;
        int encoding = 0;
        mpg123_getformat(h, &rate, &d.channels, &encoding);
        mpg123_format_none(h);
        mpg123_format(h, rate, d.channels, MPG123_ENC_SIGNED_16);
        d.rate = static_cast<int>(rate);
        std::vector<std::int16_t> buf(4096);
        for (;;) {
            std::size_t done = 0;
            const int rc = mpg123_read(h, reinterpret_cast<unsigned char*>(buf.data()), buf.size() * 2, &done);
            d.pcm.insert(d.pcm.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(done / 2));
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
        }
    }
    mpg123_delete(h);
    return d;
}

// Everything a source gives at `mix_rate`, stepped as the decoder thread steps it and taken as the
// mixer takes it, and where its position is at the end.
struct Drained {
    std::vector<std::int16_t> pcm;
    std::uint32_t position = 0;
};

Drained drain(const std::string& path, int mix_rate)
{
    Drained out;
    auto decoder = Mp3Decoder::open(path);
    if (!decoder) return out;
    StreamSource source(std::move(decoder), mix_rate);
    std::vector<std::int16_t> buffer(StreamSource::kStepFrames * 2);
    for (int i = 0; i < 10000 && !source.played_out(); ++i) {
        const StreamSource::Step step = source.begin_step();
        const StreamSource::Decoded decoded = source.decode(step, buffer);
        source.finish_step(step, decoded, buffer);
        source.take(source.ready(), [&](std::span<const std::int16_t> piece, std::size_t) {
            out.pcm.insert(out.pcm.end(), piece.begin(), piece.end());
        });
    }
    out.position = source.position();
    return out;
}

class SoundResampling : public SoundTest {};

TEST_F(SoundResampling, ToneIsAsCleanAsTheOwnRateDecodeEveryFrameComesOutAndAtTheMixRateNothingChanges)
{
    struct Case {
        int rate, channels, bitrate;
        double hz;
    };
    for (Case c : {Case{48000, 2, 320, 15000}, Case{32000, 2, 256, 11000}, Case{22050, 2, 128, 7000},
                   Case{48000, 1, 160, 15000}, Case{44100, 2, 320, 15000}}) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.channels << " ch, " << c.hz << " Hz tone");
        fixtures::ToneTrack t;
        t.frequency_hz = c.hz;
        t.seconds = 1.0;
        t.sample_rate = c.rate;
        t.channels = c.channels;
        t.bitrate_kbps = c.bitrate;
        t.id3v2_version = 0;
        const std::string path = tone("t" + std::to_string(c.rate) + "_" + std::to_string(c.channels) + ".mp3", t);
        const OwnDecode own = decode_own(path);
        ASSERT_EQ(own.rate, c.rate);
        ASSERT_EQ(own.channels, c.channels);
        const Drained mixed = drain(path, 44100);
        const std::size_t frames = mixed.pcm.size() / 2;

        // The filter's tail is flushed: the whole file comes out, and the position ends at its end.
        const double expected = static_cast<double>(own.frames()) * 44100.0 / c.rate;
        EXPECT_NEAR(static_cast<double>(frames), expected, 1.0);
        EXPECT_NEAR(mixed.position, static_cast<double>(own.frames()), 1.0);

        // The same stretch of time, 0.2 s to 0.8 s, of each.
        auto stretch = [](const std::vector<std::int16_t>& pcm, int rate, int channels) {
            const auto from = static_cast<std::size_t>(0.2 * rate) * static_cast<std::size_t>(channels);
            const auto to = static_cast<std::size_t>(0.8 * rate) * static_cast<std::size_t>(channels);
            return std::span(pcm).subspan(from, std::min(to, pcm.size()) - from);
        };
        const double own_db = thd_n_db(stretch(own.pcm, c.rate, c.channels), c.channels, c.rate, c.hz);
        const double mixed_db = thd_n_db(stretch(mixed.pcm, 44100, 2), 2, 44100, c.hz);
        EXPECT_LT(own_db, -30.0);  // the encoder's own noise: a clean tone to compare with
        EXPECT_LE(mixed_db, own_db + 3.0);
        // The figures, for --gtest_output=xml.
        const std::string key = "thd_n_" + std::to_string(c.rate) + "_" + std::to_string(c.channels) + "ch_";
        RecordProperty(key + "own_db", std::to_string(own_db));
        RecordProperty(key + "mixed_db", std::to_string(mixed_db));

        bool sides_equal = true;
        for (std::size_t i = 0; i < frames; ++i) sides_equal &= mixed.pcm[i * 2] == mixed.pcm[i * 2 + 1];
        if (c.channels == 1) {
            EXPECT_TRUE(sides_equal);
        }
        if (c.rate == 44100) {
            EXPECT_EQ(mixed.pcm, own.pcm);  // not resampled at all
        }
    }
}

TEST_F(SoundResampling, SeekAndPositionAreInTheFilesOwnFrames)
{
    // Two seconds at 48 kHz: 1 kHz, then 3 kHz from 48000.
    std::vector<std::int16_t> pcm(96000 * 2);
    for (std::size_t i = 0; i < 96000; ++i) {
        const double hz = i < 48000 ? 1000.0 : 3000.0;
        pcm[i * 2] = pcm[i * 2 + 1] =
            static_cast<std::int16_t>(12000 * std::sin(2 * 3.14159265358979 * hz * static_cast<double>(i) / 48000));
    }
    const auto path = dir_.file("two.mp3");
    ASSERT_TRUE(fixtures::write_pcm_mp3(path, pcm, 48000, 2, 192, {}));
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    // 47000 frames of the file is 0.979 s: 1 kHz for 0.02 s more, then 3 kHz.
    ASSERT_EQ(FSOUND_Stream_SetPosition(s, 47000), 1);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 47000u);
    EXPECT_EQ(system_.position_us(reinterpret_cast<std::uintptr_t>(s)), 47000 * 1000000LL / 48000);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    const auto heard = pull(4410);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 47000u + 4800u);  // 0.1 s at 48 kHz
    EXPECT_NEAR(dominant_frequency(heard.data(), 600, 44100), 1000, 100);
    EXPECT_NEAR(dominant_frequency(heard.data() + 1400 * 2, 3000, 44100), 3000, 30);
}

TEST_F(SoundResampling, SoundFollowsTheOutputsRateAndGoesOnFromWhereItWas)
{
    const std::string path = tone("a.mp3", 1000, 1.0);
    const OwnDecode own = decode_own(path);
    sink().set_rate(48000);
    FSOUND_STREAM* s = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    FSOUND_Stream_Play(FSOUND_FREE, s);
    const auto fast = pull(9600);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 8820u);  // 0.2 s of the file
    EXPECT_NEAR(dominant_frequency(fast.data() + 2400 * 2, 7200, 48000), 1000, 5);
    EXPECT_LT(thd_n_db(std::span(fast).subspan(2400 * 2), 2, 48000, 1000), -30.0);

    // Back at the file's own rate: from the position on, exactly the decode.
    sink().set_rate(44100);
    const auto exact = pull(4410);
    EXPECT_EQ(FSOUND_Stream_GetPosition(s), 8820u + 4410u);
    EXPECT_TRUE(std::equal(exact.begin(), exact.end(), own.pcm.begin() + 8820 * 2));
}

TEST_F(SoundResampling, ARateChangeInsideTheFileEndsItThere)
{
    fixtures::ToneTrack t;
    t.frequency_hz = 440;
    t.seconds = 0.5;
    t.id3v2_version = 0;
    Bytes joined = read_bytes(tone("first.mp3", t));
    t.sample_rate = 48000;
    const Bytes second = read_bytes(tone("second.mp3", t));
    joined.insert(joined.end(), second.begin(), second.end());
    FSOUND_STREAM* s = FSOUND_Stream_Open(write_bytes("joined.mp3", joined).c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EndLog log;
    EXPECT_NEAR(play_out(s, log), 22050.0, 1152.0);
    EXPECT_EQ(log.ended.size(), 1u);
}

}  // namespace
}  // namespace zv::test
