// The desktop media controls without the bus: what a request from outside becomes for the
// player, and how the player's state reads as the properties of MPRIS's Player interface.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/app_profile.h"
#include "sound/now_playing.h"

namespace zv {

enum class MediaRequest { PlayPause, Play, Pause, Stop, Next, Previous, SetVolume, Raise, Quit };

struct MediaCommand {
    MediaRequest request = MediaRequest::PlayPause;
    double volume = 0;  // SetVolume: 0..1
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
