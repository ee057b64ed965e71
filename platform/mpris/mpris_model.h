// The desktop media controls without the bus: what a request from outside becomes for the
// player, and how the player's state reads as the properties of MPRIS's Player interface.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/app_profile.h"
#include "sound/now_playing.h"

namespace zv {

enum class MediaRequest { PlayPause, Play, Pause, Stop, Next, Previous, SetVolume, Seek, SetPosition, Raise, Quit };

struct MediaCommand {
    MediaCommand(MediaRequest r = MediaRequest::PlayPause, double v = 0, std::int64_t us = 0, std::string id = {})
        : request(r), volume(v), position_us(us), trackid(std::move(id))
    {
    }

    MediaRequest request;
    double volume;             // SetVolume: 0..1
    std::int64_t position_us;  // Seek: how far to move (back when negative); SetPosition: where to
    std::string trackid;       // SetPosition: the track it means
};

// The APPCOMMAND_ a transport request becomes in `state`; 0 when it does nothing there. The
// player has one play/pause toggle, so Play, Pause and Stop use it only when it goes their way.
int app_command_for(MediaRequest request, PlaybackState state);

// The program's volume steps (each `step` of 255) that bring `volume` nearest to `wanted` (0..1),
// the ends reached whole: `count` times APPCOMMAND_VOLUME_UP or _DOWN. None for a step below 1.
struct VolumeSteps {
    int command = 0;
    int count = 0;
    bool operator==(const VolumeSteps&) const = default;
};
VolumeSteps volume_steps(int volume, double wanted, int step);

inline constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// A stream's track id: the profile's track prefix and the stream's number; kNoTrack for no stream
// or a profile without a prefix (an object path needs one).
std::string track_id(std::uintptr_t stream, const AppProfile& profile);

// What a Seek or SetPosition request does to the playing track.
struct SeekMove {
    enum class Kind { None, To, Next };
    Kind kind = Kind::None;
    std::int64_t to_us = 0;  // To: the new position
    bool operator==(const SeekMove&) const = default;
};

// Decided against the track playing now: its state, id, position (negative: not open) and length
// (0: unknown). A playing or paused track moves; a stopped one does not. A Seek clamps at the
// start and past the end goes on to the next track; a SetPosition for another track, before the
// start or past the end does nothing.
SeekMove seek_move(const MediaCommand& command, PlaybackState state, const std::string& trackid,
                   std::int64_t position_us, std::int64_t length_us);

// The Player interface's changing properties.
struct PlayerView {
    PlaybackState state = PlaybackState::Stopped;
    double volume = 1.0;
    std::string trackid = kNoTrack;  // an object path
    std::string title;
    std::vector<std::string> artists;
    std::int64_t length_us = 0;
    std::string art_url;  // empty: no art
    bool can_play = false;
    bool can_pause = false;
    bool can_seek = false;  // while a track is open, playing or paused (seek_move)

    bool operator==(const PlayerView&) const = default;
};

// `program_folder` ends with '/': the program writes the playing track's cover there, under the
// profile's album picture name. Track ids are the profile's track prefix and the stream's number.
PlayerView player_view(const NowPlaying& now, std::int64_t length_us, const std::string& program_folder,
                       const AppProfile& profile);

// Whether the program writes the playing track's picture out as its cover (the profile's rule).
bool writes_cover(const NowPlaying& now, const AppProfile& profile);

const char* playback_status_name(PlaybackState state);

// The properties whose change from `before` to `after` is announced (Position never is).
std::vector<const char*> changed_properties(const PlayerView& before, const PlayerView& after);

// A file:// URI for an absolute path, every byte outside the unreserved set percent-encoded.
std::string file_uri(const std::string& path);

}  // namespace zv
