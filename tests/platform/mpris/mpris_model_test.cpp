// The media controls' logic without a bus: requests by the playing state, volume writes as the
// player's steps, and the Player interface's properties with what they announce.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "entry/zorvane_profile.h"
#include "mpris/mpris_model.h"

namespace {

using zv::MediaRequest;
using zv::PlaybackState;

std::vector<std::string> changed(const zv::PlayerView& before, const zv::PlayerView& after)
{
    const std::vector<const char*> names = zv::changed_properties(before, after);
    return {names.begin(), names.end()};
}

TEST(MprisModel, RequestsVolumeStepsAndMetadata)
{
    const zv::AppProfile profile = zv::zorvane_profile();
    const std::tuple<MediaRequest, PlaybackState, int> rows[] = {
        {MediaRequest::Play, PlaybackState::Paused, APPCOMMAND_MEDIA_PLAY_PAUSE},
        {MediaRequest::Play, PlaybackState::Playing, 0},
        {MediaRequest::Play, PlaybackState::Stopped, 0},
        {MediaRequest::Pause, PlaybackState::Playing, APPCOMMAND_MEDIA_PLAY_PAUSE},
        {MediaRequest::Pause, PlaybackState::Paused, 0},
        {MediaRequest::Pause, PlaybackState::Stopped, 0},
        {MediaRequest::Stop, PlaybackState::Playing, APPCOMMAND_MEDIA_STOP},
        {MediaRequest::Stop, PlaybackState::Paused, 0},
        {MediaRequest::PlayPause, PlaybackState::Paused, APPCOMMAND_MEDIA_PLAY_PAUSE},
        {MediaRequest::PlayPause, PlaybackState::Playing, APPCOMMAND_MEDIA_PLAY_PAUSE},
        {MediaRequest::Next, PlaybackState::Stopped, APPCOMMAND_MEDIA_NEXTTRACK},
        {MediaRequest::Previous, PlaybackState::Paused, APPCOMMAND_MEDIA_PREVIOUSTRACK},
        {MediaRequest::Raise, PlaybackState::Playing, 0},
    };
    for (auto [request, state, command] : rows)
        EXPECT_EQ(zv::app_command_for(request, state), command)
            << static_cast<int>(request) << " in state " << static_cast<int>(state);

    // Volume writes become the nearest number of the player's steps.
    const std::tuple<int, double, zv::VolumeSteps> volumes[] = {
        {50, 0.5, {APPCOMMAND_VOLUME_UP, 4}},     // 127.5: 130 is nearer than 110
        {130, 0.5, {}},                           // already the nearest
        {130, 0.2, {APPCOMMAND_VOLUME_DOWN, 4}},  // 51
        {45, 0.0, {APPCOMMAND_VOLUME_DOWN, 3}},   // silent means all the way: -15, not 5
        {250, 1.0, {APPCOMMAND_VOLUME_UP, 1}},    // full means all the way: 270 plays as 255
        {50, 7.0, {APPCOMMAND_VOLUME_UP, 11}},    // clamped to full
        {255, 1.0, {}},
        {-10, 0.0, {}},
        {50, std::nan(""), {}},
    };
    for (auto [volume, wanted, steps] : volumes)
        EXPECT_EQ(zv::volume_steps(volume, wanted, profile.volume_step), steps) << volume << " towards " << wanted;

    // Metadata names the track, and its cover only when it has one.
    zv::NowPlaying now;
    now.stream = 0x1238;
    now.state = PlaybackState::Playing;
    now.volume = 300;
    now.path = "/music/Some Band/02 Song.mp3";
    now.artist = "Some Band";
    now.title = "Song";
    now.has_cover = true;

    zv::PlayerView v = zv::player_view(now, 180000000, "/opt/zor vane/", profile);
    EXPECT_EQ(std::tie(v.trackid, v.title, v.art_url),
              std::tuple("/org/zorvane/track/4664", "Song", "file:///opt/zor%20vane/album.jpg"));
    EXPECT_EQ(v.artists, std::vector<std::string>{"Some Band"});
    EXPECT_EQ(v.length_us, 180000000);
    EXPECT_EQ(v.volume, 1.0);
    EXPECT_TRUE(v.can_play && v.can_pause && v.can_seek);

    now.has_cover = false;
    now.title.clear();
    now.artist.clear();
    now.state = PlaybackState::Paused;
    const zv::PlayerView bare = zv::player_view(now, 0, "/opt/zor vane/", profile);
    // The file's name stands in for a missing title.
    EXPECT_EQ(std::tie(bare.art_url, bare.title), std::tuple("", "02 Song"));
    EXPECT_TRUE(bare.artists.empty());
    // A paused track can be sought; one that played to its end cannot.
    EXPECT_TRUE(bare.can_pause && bare.can_seek);
    EXPECT_EQ(changed(v, bare), (std::vector<std::string>{"PlaybackStatus", "Metadata"}));
    now.state = PlaybackState::Stopped;
    EXPECT_FALSE(zv::player_view(now, 0, "/", profile).can_seek);

    const zv::PlayerView none = zv::player_view(zv::NowPlaying{}, 0, "/", profile);
    EXPECT_EQ(none.trackid, zv::kNoTrack);
    EXPECT_FALSE(none.can_play || none.can_pause);
    EXPECT_EQ(changed(bare, none),
              (std::vector<std::string>{"PlaybackStatus", "Metadata", "CanPlay", "CanPause", "CanSeek"}));
    zv::NowPlaying quieter;
    quieter.volume = 127;
    EXPECT_EQ(changed(none, zv::player_view(quieter, 0, "/", profile)), std::vector<std::string>{"Volume"});
}

// Another program's profile: its track ids, cover file, volume step and cover rule are used, and
// the player's own rule still holds for the player.
TEST(MprisModel, AnotherProfileNamesTracksCoversAndSteps)
{
    zv::AppProfile other;
    other.mpris_track_prefix = "/org/other/item/";
    other.album_picture = "cover.png";
    other.volume_step = 51;
    other.shortest_cover = 100;
    zv::NowPlaying now;
    now.stream = 7;
    now.has_cover = true;
    const zv::PlayerView v = zv::player_view(now, 0, "/srv/other/", other);
    EXPECT_EQ(std::tie(v.trackid, v.art_url), std::tuple("/org/other/item/7", "file:///srv/other/cover.png"));
    EXPECT_EQ(zv::volume_steps(0, 1.0, other.volume_step), (zv::VolumeSteps{APPCOMMAND_VOLUME_UP, 5}));
    EXPECT_EQ(zv::volume_steps(0, 1.0, 0), zv::VolumeSteps{});

    const zv::AppProfile player = zv::zorvane_profile();
    const std::tuple<const zv::AppProfile*, std::size_t, bool> covers[] = {
        {&other, 99, false}, {&other, 100, true}, {&player, 14, false}, {&player, 15, true}};
    for (auto [profile, bytes, written] : covers) {
        now.cover_bytes = bytes;
        EXPECT_EQ(zv::writes_cover(now, *profile), written) << bytes;
    }
    now.has_cover = false;
    EXPECT_FALSE(zv::writes_cover(now, player));
}

// Seek and SetPosition against the track playing now: 10 s into 30 s, id /org/zorvane/track/7.
TEST(MprisModel, SeekMovesClampAtTheStartAndGoOnPastTheEnd)
{
    using Kind = zv::SeekMove::Kind;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const std::string id = zv::track_id(7, zv::zorvane_profile());
    ASSERT_EQ(id, "/org/zorvane/track/7");
    constexpr auto kPlaying = PlaybackState::Playing;
    constexpr std::int64_t kAt = 10000000, kLength = 30000000;
    struct Row {
        MediaRequest request;
        std::int64_t us;
        std::string trackid;
        PlaybackState state;
        std::int64_t position, length;
        zv::SeekMove move;
    };
    const Row rows[] = {
        {MediaRequest::Seek, 5000000, "", kPlaying, kAt, kLength, {Kind::To, 15000000}},
        {MediaRequest::Seek, -20000000, "", kPlaying, kAt, kLength, {Kind::To, 0}},  // clamped at the start
        {MediaRequest::Seek, 19999999, "", kPlaying, kAt, kLength, {Kind::To, 29999999}},
        {MediaRequest::Seek, 20000000, "", kPlaying, kAt, kLength, {Kind::Next, 0}},  // the end is past it
        {MediaRequest::Seek, kMax, "", kPlaying, kAt, kLength, {Kind::Next, 0}},
        {MediaRequest::Seek, kMax, "", kPlaying, kAt, 0, {Kind::To, kMax}},  // unknown length: the library decides
        {MediaRequest::Seek, 1000000, "", PlaybackState::Paused, kAt, kLength, {Kind::To, 11000000}},
        {MediaRequest::Seek, 1000000, "", PlaybackState::Stopped, kAt, kLength, {}},
        {MediaRequest::Seek, 1000000, "", kPlaying, -1, kLength, {}},  // not open
        {MediaRequest::SetPosition, 12000000, id, kPlaying, kAt, kLength, {Kind::To, 12000000}},
        {MediaRequest::SetPosition, kLength, id, kPlaying, kAt, kLength, {Kind::To, kLength}},
        {MediaRequest::SetPosition, kLength + 1, id, kPlaying, kAt, kLength, {}},
        {MediaRequest::SetPosition, 50000000, id, kPlaying, kAt, 0, {Kind::To, 50000000}},
        {MediaRequest::SetPosition, -1, id, kPlaying, kAt, kLength, {}},
        {MediaRequest::SetPosition, 12000000, "/org/zorvane/track/6", kPlaying, kAt, kLength, {}},  // gone by
        {MediaRequest::SetPosition, 12000000, id, PlaybackState::Paused, kAt, kLength, {Kind::To, 12000000}},
        {MediaRequest::SetPosition, 12000000, id, PlaybackState::Stopped, kAt, kLength, {}},
        {MediaRequest::Next, 12000000, id, kPlaying, kAt, kLength, {}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(zv::seek_move({r.request, 0, r.us, r.trackid}, r.state, id, r.position, r.length), r.move)
            << static_cast<int>(r.request) << " " << r.us << " " << r.trackid << " from " << r.position;

    // Nothing playing, or a profile without track ids: no id for SetPosition to name.
    const std::string none = zv::track_id(0, zv::zorvane_profile());
    EXPECT_EQ(none, zv::kNoTrack);
    EXPECT_EQ(zv::track_id(7, zv::AppProfile{}), zv::kNoTrack);
    EXPECT_EQ(zv::seek_move({MediaRequest::SetPosition, 0, 0, none}, PlaybackState::Playing, none, 0, 0),
              zv::SeekMove{});
}

}  // namespace
