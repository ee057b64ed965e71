// What the sound library is playing, as the desktop's media controls show it: the stream most
// recently started on a channel that is still open, whether it sounds, its channel's volume and
// what its tags say. SoundSystem::now_playing() answers it (now_playing.cpp).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace zv {

enum class PlaybackState { Stopped, Paused, Playing };

struct NowPlaying {
    std::uintptr_t stream = 0;  // 0: nothing has been started, or it was closed
    // Playing while its channel sounds it. A stream taken off its channel before its end (the
    // player pauses by stopping) is Paused; one that played to its end is Stopped.
    PlaybackState state = PlaybackState::Stopped;
    int volume = 255;   // its channel's volume as stored: possibly outside 0..255
    std::string path;   // the file, for what the tags do not say (its name)
    std::string title;  // UTF-8; empty when the tags have none
    std::string artist;
    // The tags hold a picture, of `cover_bytes` as its tag value; the program's profile says
    // which of them it writes out as its cover (writes_cover, mpris_model.h).
    bool has_cover = false;
    std::size_t cover_bytes = 0;
    std::int64_t length_us = 0;  // from the file's headers, read with the tags; 0 unknown

    bool operator==(const NowPlaying&) const = default;
};

// What now_playing() remembers from one look to the next: which play of which stream each
// channel held, so a new start is seen whatever channel it took. Kept under the sound lock.
struct NowPlayingWatch {
    std::array<std::pair<std::uintptr_t, std::uint64_t>, 32> seen{};  // stream and play token
    std::uintptr_t current = 0;
    int channel = 0;  // where `current` last sounded: its volume is the one the player steps
    PlaybackState state = PlaybackState::Stopped;
    int volume = 255;
    std::uint64_t version = 0;
};

}  // namespace zv
