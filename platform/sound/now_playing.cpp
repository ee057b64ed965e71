#include "sound/now_playing.h"

#include <optional>
#include <vector>

#include "sound/stream_table.h"

namespace zv {

namespace {

std::string text_of(const std::optional<std::vector<unsigned char>>& v)
{
    return v ? std::string(v->begin(), v->end()) : std::string();
}

}  // namespace

void NowPlayingWatch::look(const StreamTable& table)
{
    const std::uintptr_t before = current_;
    for (std::size_t c = 0; c < seen_.size(); ++c) {
        const std::uintptr_t h = table.channel_stream(static_cast<int>(c));
        const SoundStream* s = table.stream(h);
        if (!s) {
            seen_[c] = {};
            continue;
        }
        // A play since the last look: every play bumps the stream's token. Two starts within
        // one turn cannot be ordered; the player starts one stream at a time.
        const std::pair key{h, s->play_token};
        if (key == seen_[c]) continue;
        seen_[c] = key;
        current_ = h;
        channel_ = static_cast<int>(c);
    }
    const SoundStream* s = table.stream(current_);
    if (!s) {
        // Closed: whatever still sounds takes its place.
        current_ = 0;
        for (std::size_t c = 0; c < seen_.size() && !s; ++c) {
            const std::uintptr_t h = table.channel_stream(static_cast<int>(c));
            if ((s = table.stream(h))) {
                current_ = h;
                channel_ = static_cast<int>(c);
            }
        }
    }
    PlaybackState state = PlaybackState::Stopped;
    if (s && s->channel >= 0) {
        state = PlaybackState::Playing;
        channel_ = s->channel;
    } else if (s && !s->source->played_out()) {
        state = PlaybackState::Paused;
    }
    const int volume = table.channel_volume(channel_);
    if (current_ != before || state != state_ || volume != volume_) ++version_;
    state_ = state;
    volume_ = volume;
}

std::uint64_t NowPlayingWatch::version(const StreamTable& table)
{
    look(table);
    return version_;
}

NowPlaying NowPlayingWatch::snapshot(StreamTable& table, std::unique_lock<std::mutex>& lock)
{
    look(table);
    NowPlaying now;
    now.state = state_;
    now.volume = volume_;
    const std::uintptr_t handle = current_;
    if (!handle) return now;
    // The player has usually read these tags already; if not, they are read now, as any tag call
    // would, without the lock.
    const SoundStream* s = table.with_tags(handle, lock);
    if (!s) {
        now.state = PlaybackState::Stopped;  // closed while its tags were read
        return now;
    }
    now.stream = handle;
    now.path = s->path;
    now.title = text_of(s->tags->find(static_cast<int>(TagType::Id3v2), "TITLE"));
    now.artist = text_of(s->tags->find(static_cast<int>(TagType::Id3v2), "ARTIST"));
    const auto cover = s->tags->find(static_cast<int>(TagType::Id3v2), "APIC");
    now.has_cover = cover && !cover->empty();
    now.cover_bytes = cover ? cover->size() : 0;
    now.length_us = std::int64_t{s->tags->length_ms()} * 1000;
    return now;
}

}  // namespace zv
