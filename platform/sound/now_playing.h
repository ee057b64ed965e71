// What the sound library is playing, as the desktop's media controls show it: the stream most
// recently started on a channel that is still open, whether it sounds, its channel's volume and
// what its tags say. NowPlayingWatch keeps it.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "sound/channel_mixer.h"

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

class StreamTable;

// The now-playing snapshot the media controls read, kept under the sound lock. It remembers from
// one look to the next which play of which stream each channel held, so a new start is seen
// whatever channel it took.
class NowPlayingWatch {
public:
    // A number that changes whenever the answer of snapshot() would, cheap enough to ask at the
    // end of every turn.
    std::uint64_t version(const StreamTable& table);
    // What plays; the tags are read, without `lock`, when no tag call has read them yet.
    NowPlaying snapshot(StreamTable& table, std::unique_lock<std::mutex>& lock);

private:
    void look(const StreamTable& table);

    std::array<std::pair<std::uintptr_t, std::uint64_t>, ChannelMixer::kChannels> seen_{};  // stream and play token
    std::uintptr_t current_ = 0;
    int channel_ = 0;  // where `current_` last sounded: its volume is the one the player steps
    PlaybackState state_ = PlaybackState::Stopped;
    int volume_ = 255;
    std::uint64_t version_ = 0;
};

}  // namespace zv
