#include "sound/mp3_decoder.h"

#include <mpg123.h>

#include <cstdio>
#include <mutex>

namespace zv {

namespace {

constexpr std::size_t kBytesPerFrame = 2 * sizeof(std::int16_t);
// A decoder that keeps answering "fine, no samples" would spin the audio thread forever.
constexpr int kMaxIdleReads = 64;

bool library_ready()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = mpg123_init() == MPG123_OK; });
    return ok;
}

}  // namespace

std::unique_ptr<Mp3Decoder> Mp3Decoder::open(const std::string& path)
{
    if (!library_ready()) return nullptr;
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return nullptr;
    std::unique_ptr<Mp3Decoder> dec(new Mp3Decoder(h));

    // Only one output format is allowed, so mpg123 resamples and up-mixes as needed.
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_FUZZY, 0.0);
    mpg123_param(h, MPG123_FORCE_RATE, kRate, 0.0);
    if (mpg123_format_none(h) != MPG123_OK) return nullptr;
    if (mpg123_format(h, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) return nullptr;

    if (mpg123_open(h, path.c_str()) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // Finding the format means mpg123 has parsed a first frame header.
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK) return nullptr;
    if (rate != kRate || channels != 2 || encoding != MPG123_ENC_SIGNED_16) return nullptr;
    return dec;
}

Mp3Decoder::~Mp3Decoder()
{
    mpg123_close(handle_);
    mpg123_delete(handle_);
}

std::size_t Mp3Decoder::read(std::span<std::int16_t> out)
{
    const std::size_t want_frames = out.size() / 2;
    std::size_t got_bytes = 0;
    const std::size_t want_bytes = want_frames * kBytesPerFrame;
    auto* dest = reinterpret_cast<unsigned char*>(out.data());
    int idle = 0;
    while (!ended_ && got_bytes < want_bytes) {
        std::size_t done = 0;
        int rc = mpg123_read(handle_, dest + got_bytes, want_bytes - got_bytes, &done);
        got_bytes += done;
        if (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) {
            idle = done ? 0 : idle + 1;
            if (idle > kMaxIdleReads) ended_ = true;
        } else {
            // MPG123_DONE, or damage further on: play what decoded, then end.
            ended_ = true;
        }
    }
    // A partial sample pair from a damaged tail is dropped.
    return got_bytes / kBytesPerFrame;
}

std::uint32_t Mp3Decoder::seek(std::uint32_t frame)
{
    off_t reached = mpg123_seek(handle_, static_cast<off_t>(frame), SEEK_SET);
    if (reached < 0) {
        // Past the end or unseekable: nothing more to play from here.
        ended_ = true;
        return frame;
    }
    ended_ = false;
    return static_cast<std::uint32_t>(reached);
}

}  // namespace zv
