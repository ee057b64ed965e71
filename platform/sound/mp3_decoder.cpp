#include "sound/mp3_decoder.h"

#include <mpg123.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "files/regular_file.h"

namespace zv {

namespace {

// A decoder that keeps answering "fine, no samples" would spin the decoder thread forever.
constexpr int kMaxIdleReads = 64;

bool library_ready()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = mpg123_init() == MPG123_OK; });
    return ok;
}

}  // namespace

Mp3Decoder::Mp3Decoder(mpg123_handle_struct* handle, UniqueFd fd, ReadHook hook)
    : file_{std::move(fd), std::move(hook)}, handle_(handle)
{
}

std::unique_ptr<Mp3Decoder> Mp3Decoder::open(const std::string& path, ReadHook hook)
{
    if (!library_ready()) return nullptr;
    // Anything but a regular file (a FIFO, a directory, a dangling link) fails here at once.
    UniqueFd fd = open_regular_file(path);
    if (!fd) return nullptr;
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return nullptr;
    std::unique_ptr<Mp3Decoder> dec(new Mp3Decoder(h, std::move(fd), std::move(hook)));

    // Every rate at its own rate and channel count, 16-bit: mpg123's own rate change has no real
    // filter, so the stream source resamples.
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_FUZZY | MPG123_FORCE_STEREO | MPG123_FORCE_MONO, 0.0);
    if (mpg123_format_none(h) != MPG123_OK) return nullptr;
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        if (mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) return nullptr;

    // mpg123 reads through our descriptor and never closes it.
    if (mpg123_replace_reader_handle(h, &Mp3Decoder::read_file, &Mp3Decoder::seek_file, nullptr) != MPG123_OK)
        return nullptr;
    if (mpg123_open_handle(h, &dec->file_) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // Finding the format means mpg123 has parsed a first frame header.
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK) return nullptr;
    if (rate <= 0 || (channels != 1 && channels != 2) || encoding != MPG123_ENC_SIGNED_16) return nullptr;
    dec->rate_ = static_cast<int>(rate);
    dec->channels_ = channels;
    return dec;
}

Mp3Decoder::~Mp3Decoder()
{
    mpg123_close(handle_);
    mpg123_delete(handle_);
}

ssize_t Mp3Decoder::read_file(void* file, void* buffer, std::size_t bytes)
{
    File& f = *static_cast<File*>(file);
    if (f.hook) f.hook(::lseek(f.fd.get(), 0, SEEK_CUR));
    for (;;) {
        const ssize_t n = ::read(f.fd.get(), buffer, bytes);
        if (n >= 0 || errno != EINTR) return n;
    }
}

off_t Mp3Decoder::seek_file(void* file, off_t offset, int whence)
{
    return ::lseek(static_cast<File*>(file)->fd.get(), offset, whence);
}

std::size_t Mp3Decoder::read(std::span<std::int16_t> out)
{
    const std::size_t bytes_per_frame = static_cast<std::size_t>(channels_) * sizeof(std::int16_t);
    const std::size_t want_frames = out.size() / static_cast<std::size_t>(channels_);
    std::size_t got_bytes = 0;
    const std::size_t want_bytes = want_frames * bytes_per_frame;
    auto* dest = reinterpret_cast<unsigned char*>(out.data());
    int idle = 0;
    while (!ended_ && got_bytes < want_bytes) {
        std::size_t done = 0;
        int rc = mpg123_read(handle_, dest + got_bytes, want_bytes - got_bytes, &done);
        got_bytes += done;
        if (rc == MPG123_NEW_FORMAT && !same_format()) {
            // What decoded before the change plays; the rest would need another format.
            ended_ = true;
        } else if (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) {
            idle = done ? 0 : idle + 1;
            if (idle > kMaxIdleReads) ended_ = true;
        } else {
            // MPG123_DONE, a read error, or damage further on: play what decoded, then end.
            ended_ = true;
        }
    }
    // A partial sample pair from a damaged tail is dropped.
    return got_bytes / bytes_per_frame;
}

bool Mp3Decoder::same_format() const
{
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK) return false;
    return rate == rate_ && channels == channels_ && encoding == MPG123_ENC_SIGNED_16;
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
