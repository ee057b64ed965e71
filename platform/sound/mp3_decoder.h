// One MP3 file decoded by libmpg123 to 44 100 Hz interleaved stereo 16-bit, whatever the file's own
// rate and channel count.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct mpg123_handle_struct;

namespace zv {

class Mp3Decoder {
public:
    static constexpr int kRate = 44100;

    // Null when the file does not open or no MPEG frame is found in it.
    static std::unique_ptr<Mp3Decoder> open(const std::string& path);

    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Fills `out` (interleaved stereo) from the current position; returns the frames written. Fewer
    // than asked means the stream has ended: a decoder error after the first frame counts as the end.
    std::size_t read(std::span<std::int16_t> out);

    // Moves to a PCM frame; returns the frame reached (the end when past it).
    std::uint32_t seek(std::uint32_t frame);

    bool ended() const { return ended_; }

private:
    explicit Mp3Decoder(mpg123_handle_struct* handle) : handle_(handle) {}

    mpg123_handle_struct* handle_;
    bool ended_ = false;
};

}  // namespace zv
