#include "sound/now_playing.h"

#include <optional>
#include <tuple>
#include <vector>

#include "sound/sound_system.h"

namespace zv {

namespace {

static_assert(std::tuple_size_v<decltype(NowPlayingWatch::seen)> == ChannelMixer::kChannels);

std::string text_of(const std::optional<std::vector<unsigned char>>& v)
{
    return v ? std::string(v->begin(), v->end()) : std::string();
}

}  // namespace

void SoundSystem::watch_now_playing_locked()
{
    NowPlayingWatch& w = now_playing_watch_;
    const std::uintptr_t before = w.current;
    for (std::size_t c = 0; c < staged_.size(); ++c) {
        const std::uintptr_t h = staged_[c].stream;
        const SoundStream* s = streams_.get(h);
        if (!s) {
            w.seen[c] = {};
            continue;
        }
        // A play since the last look: every play bumps the stream's token. Two starts within
        // one turn cannot be ordered; the player starts one stream at a time.
        const std::pair key{h, s->play_token};
        if (key == w.seen[c]) continue;
        w.seen[c] = key;
        w.current = h;
        w.channel = static_cast<int>(c);
    }
    const SoundStream* s = streams_.get(w.current);
    if (!s) {
        // Closed: whatever still sounds takes its place.
        w.current = 0;
        for (std::size_t c = 0; c < staged_.size() && !s; ++c) {
            if ((s = streams_.get(staged_[c].stream))) {
                w.current = staged_[c].stream;
                w.channel = static_cast<int>(c);
            }
        }
    }
    PlaybackState state = PlaybackState::Stopped;
    if (s && s->channel >= 0) {
        state = PlaybackState::Playing;
        w.channel = s->channel;
    } else if (s && !s->source->played_out()) {
        state = PlaybackState::Paused;
    }
    const int volume = staged_[static_cast<std::size_t>(w.channel)].volume;
    if (w.current != before || state != w.state || volume != w.volume) ++w.version;
    w.state = state;
    w.volume = volume;
}

std::uint64_t SoundSystem::now_playing_version()
{
    std::lock_guard lock(mutex_);
    watch_now_playing_locked();
    return now_playing_watch_.version;
}

NowPlaying SoundSystem::now_playing()
{
    std::unique_lock lock(mutex_);
    watch_now_playing_locked();
    NowPlaying now;
    now.state = now_playing_watch_.state;
    now.volume = now_playing_watch_.volume;
    const std::uintptr_t handle = now_playing_watch_.current;
    if (!handle) return now;
    // The player has usually read these tags already; if not, they are read now, as any tag call
    // would, without the lock.
    const SoundStream* s = with_tags(handle, lock);
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
