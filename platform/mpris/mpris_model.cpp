#include <windows.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "files/file_title.h"
#include "mpris/mpris_model.h"

namespace zv {

namespace {

constexpr double kFullVolume = 255;

}  // namespace

int app_command_for(MediaRequest request, PlaybackState state)
{
    switch (request) {
        case MediaRequest::PlayPause: return APPCOMMAND_MEDIA_PLAY_PAUSE;
        case MediaRequest::Play: return state == PlaybackState::Paused ? APPCOMMAND_MEDIA_PLAY_PAUSE : 0;
        case MediaRequest::Pause: return state == PlaybackState::Playing ? APPCOMMAND_MEDIA_PLAY_PAUSE : 0;
        case MediaRequest::Stop: return state == PlaybackState::Playing ? APPCOMMAND_MEDIA_STOP : 0;
        case MediaRequest::Next: return APPCOMMAND_MEDIA_NEXTTRACK;
        case MediaRequest::Previous: return APPCOMMAND_MEDIA_PREVIOUSTRACK;
        default: return 0;
    }
}

VolumeSteps volume_steps(int volume, double wanted, int step)
{
    if (std::isnan(wanted) || step < 1) return {};
    const double target = std::clamp(wanted, 0.0, 1.0) * kFullVolume;
    if ((target <= 0 && volume <= 0) || (target >= kFullVolume && volume >= kFullVolume)) return {};
    const double distance = std::abs(target - volume) / step;
    // Nearest, but the ends all the way: 0 means silent and 1 means full.
    const bool end = target <= 0 || target >= kFullVolume;
    const int count = static_cast<int>(end ? std::ceil(distance) : std::round(distance));
    if (count == 0) return {};
    return {target > volume ? APPCOMMAND_VOLUME_UP : APPCOMMAND_VOLUME_DOWN, count};
}

std::string track_id(std::uintptr_t stream, const AppProfile& profile)
{
    if (!stream || profile.mpris_track_prefix.empty()) return kNoTrack;
    return profile.mpris_track_prefix + std::to_string(stream);
}

SeekMove seek_move(const MediaCommand& command, PlaybackState state, const std::string& trackid,
                   std::int64_t position_us, std::int64_t length_us)
{
    if (state == PlaybackState::Stopped || position_us < 0) return {};
    const std::int64_t length = std::max<std::int64_t>(length_us, 0);
    if (command.request == MediaRequest::Seek) {
        std::int64_t to = 0;
        if (__builtin_add_overflow(position_us, command.position_us, &to))
            to = std::numeric_limits<std::int64_t>::max();  // only a forward move overflows from here
        if (length > 0 && to >= length) return {SeekMove::Kind::Next, 0};
        return {SeekMove::Kind::To, std::max<std::int64_t>(to, 0)};
    }
    if (command.request == MediaRequest::SetPosition) {
        if (command.trackid != trackid || trackid == kNoTrack || command.position_us < 0) return {};
        if (length > 0 && command.position_us > length) return {};
        return {SeekMove::Kind::To, command.position_us};
    }
    return {};
}

PlayerView player_view(const NowPlaying& now, std::int64_t length_us, const std::string& program_folder,
                       const AppProfile& profile)
{
    PlayerView v;
    v.state = now.state;
    v.volume = std::clamp(now.volume, 0, 255) / kFullVolume;
    v.can_play = v.can_pause = now.state != PlaybackState::Stopped;
    if (!now.stream) return v;
    v.can_seek = now.state != PlaybackState::Stopped && now.stream != 0;
    v.trackid = track_id(now.stream, profile);
    v.title = now.title.empty() ? file_title(now.path) : now.title;
    if (!now.artist.empty()) v.artists.push_back(now.artist);
    v.length_us = std::max<std::int64_t>(length_us, 0);
    if (now.has_cover && !profile.album_picture.empty()) v.art_url = file_uri(program_folder + profile.album_picture);
    return v;
}

bool writes_cover(const NowPlaying& now, const AppProfile& profile)
{
    return now.has_cover && now.cover_bytes >= profile.shortest_cover;
}

const char* playback_status_name(PlaybackState state)
{
    switch (state) {
        case PlaybackState::Playing: return "Playing";
        case PlaybackState::Paused: return "Paused";
        default: return "Stopped";
    }
}

std::vector<const char*> changed_properties(const PlayerView& before, const PlayerView& after)
{
    std::vector<const char*> names;
    if (before.state != after.state) names.push_back("PlaybackStatus");
    if (before.trackid != after.trackid || before.title != after.title || before.artists != after.artists ||
        before.length_us != after.length_us || before.art_url != after.art_url)
        names.push_back("Metadata");
    if (before.volume != after.volume) names.push_back("Volume");
    if (before.can_play != after.can_play) names.push_back("CanPlay");
    if (before.can_pause != after.can_pause) names.push_back("CanPause");
    if (before.can_seek != after.can_seek) names.push_back("CanSeek");
    return names;
}

std::string file_uri(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri;
}

}  // namespace zv
