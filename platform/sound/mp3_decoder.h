// One MP3 file decoded by libmpg123 to interleaved 16-bit samples at the file's own rate and with its
// own channel count (one or two); the stream source resamples to the mix rate. libmpg123 reads the
// file through our descriptor, which we own.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "base/unique_fd.h"

struct mpg123_handle_struct;

namespace zv {

class Mp3Decoder {
public:
    // The rate sound is mixed at when the output names no other (and the unit of the device's
    // grace period).
    static constexpr int kRate = 44100;

    // Runs before each read of the file, on the reading thread, with the offset the read starts
    // at. Tests use it to hold a reader as slow storage would.
    using ReadHook = std::function<void(std::int64_t offset)>;

    // Null when the path is not a regular file, does not open, or holds no MPEG frame.
    static std::unique_ptr<Mp3Decoder> open(const std::string& path, ReadHook hook = {});

    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // The file's format, from its first frame; it holds for the whole stream.
    int rate() const { return rate_; }
    int channels() const { return channels_; }

    // Fills `out` (interleaved, channels() samples a frame) from the current position; returns the
    // frames written. Fewer than asked means the stream has ended: a decoder error after the first
    // frame counts as the end, and so do a read error, a file cut short and a change of rate or
    // channel count (what follows it would need another format).
    std::size_t read(std::span<std::int16_t> out);

    // Moves to a PCM frame (at the file's own rate); returns the frame reached (the end when past
    // it).
    std::uint32_t seek(std::uint32_t frame);

    bool ended() const { return ended_; }

private:
    struct File {
        UniqueFd fd;
        ReadHook hook;
    };

    Mp3Decoder(mpg123_handle_struct* handle, UniqueFd fd, ReadHook hook);
    static ssize_t read_file(void* file, void* buffer, std::size_t bytes);
    static off_t seek_file(void* file, off_t offset, int whence);
    bool same_format() const;  // after MPG123_NEW_FORMAT: the stream goes on as it began

    File file_;  // outlives the handle: members go after the destructor has closed it
    mpg123_handle_struct* handle_;
    int rate_ = kRate;
    int channels_ = 2;
    bool ended_ = false;
};

}  // namespace zv
