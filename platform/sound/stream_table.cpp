#include "sound/stream_table.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "sound/sound_system.h"

namespace zv {

namespace {

FSOUND_STREAM* as_stream(std::uintptr_t handle) { return to_handle<FSOUND_STREAM*>(handle); }

constexpr std::uint32_t bit(int channel) { return std::uint32_t{1} << channel; }

}  // namespace

void StreamTable::set_read_hook(Mp3Decoder::ReadHook hook)
{
    std::lock_guard lock(sound_.mutex());
    read_hook_ = std::move(hook);
}

std::uintptr_t StreamTable::open(const char* path)
{
    if (!path) return 0;
    Mp3Decoder::ReadHook hook;
    int mix_rate = 0;
    {
        std::lock_guard lock(sound_.mutex());
        if (!initialised_) return 0;
        hook = read_hook_;
        mix_rate = sound_.gate().mix_rate();
    }
    auto s = std::make_unique<SoundStream>();
    s->path = path;
    // The probe reads the file: done before taking the lock so the output never waits on a disk.
    std::unique_ptr<Mp3Decoder> decoder = Mp3Decoder::open(s->path, std::move(hook));
    if (!decoder) return 0;
    s->source = std::make_shared<StreamSource>(std::move(decoder), mix_rate);
    std::lock_guard lock(sound_.mutex());  // released before `s` goes, should it go
    if (!initialised_) return 0;
    return streams_.insert(std::move(s));
}

bool StreamTable::set_end_callback(std::uintptr_t stream, FSOUND_STREAMCALLBACK callback, void* userdata)
{
    std::lock_guard lock(sound_.mutex());
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    s->end_callback = callback;
    s->end_userdata = userdata;
    return true;
}

void StreamTable::detach(SoundStream& s)
{
    if (ChannelMixer::valid(s.channel)) {
        staged_[static_cast<std::size_t>(s.channel)].stream = 0;
        assignment_changed_ |= bit(s.channel);
    }
    s.channel = -1;
    ++s.play_token;
}

int StreamTable::play(int channel, std::uintptr_t stream)
{
    const int used = [&] {
        std::lock_guard lock(sound_.mutex());
        return play_locked(channel, stream);
    }();
    // Published at once without turns: the device is needed now.
    if (used >= 0) sound_.gate().wake();
    return used;
}

int StreamTable::play_locked(int channel, std::uintptr_t stream)
{
    if (!initialised_) return -1;
    SoundStream* s = streams_.get(stream);
    if (!s) return -1;
    if (channel != FSOUND_FREE && !ChannelMixer::valid(channel)) return -1;
    detach(*s);
    if (channel == FSOUND_FREE) {
        auto free = std::find_if(staged_.begin(), staged_.end(), [](const StagedChannel& c) { return !c.stream; });
        if (free == staged_.end()) {
            staged();
            return -1;
        }
        channel = static_cast<int>(free - staged_.begin());
    } else if (SoundStream* previous = streams_.get(staged_[static_cast<std::size_t>(channel)].stream)) {
        // The channel is re-used: what sounded there is cut off without an end callback.
        detach(*previous);
    }
    // The channel keeps the volume it has: callers set the volume right after starting a stream.
    staged_[static_cast<std::size_t>(channel)].stream = stream;
    assignment_changed_ |= bit(channel);
    s->channel = channel;
    staged();
    return channel;
}

bool StreamTable::stop(std::uintptr_t stream)
{
    std::lock_guard lock(sound_.mutex());
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    detach(*s);
    // Off the mixer at once, turn or no turn: the position read after a stop is where the sound
    // stopped, so a resume from there neither repeats nor skips what the output rendered meanwhile.
    sound_.gate().unmix(s->source.get());
    staged();
    return true;
}

bool StreamTable::is_open(std::uintptr_t stream) const
{
    std::lock_guard lock(sound_.mutex());
    return streams_.get(stream) != nullptr;
}

std::uint32_t StreamTable::position(std::uintptr_t stream) const
{
    std::lock_guard lock(sound_.mutex());
    const SoundStream* s = streams_.get(stream);
    if (!s) return 0;
    return s->staged_seek ? *s->staged_seek : s->source->position();
}

bool StreamTable::set_position(std::uintptr_t stream, std::uint32_t frame)
{
    std::lock_guard lock(sound_.mutex());
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    // The decoder thread moves there; nobody waits for the file.
    if (!s->staged_seek) seeks_.push_back(stream);
    s->staged_seek = frame;
    staged();
    return true;
}

std::int64_t StreamTable::position_us(std::uintptr_t stream) const
{
    std::lock_guard lock(sound_.mutex());
    const SoundStream* s = streams_.get(stream);
    if (!s) return -1;
    const std::uint32_t frame = s->staged_seek ? *s->staged_seek : s->source->position();
    return std::int64_t{frame} * 1000000 / s->source->rate();
}

bool StreamTable::set_position_us(std::uintptr_t stream, std::int64_t us)
{
    std::unique_lock lock(sound_.mutex());
    const SoundStream* s = streams_.get(stream);
    if (!s || us < 0) return false;
    const std::int64_t frame = us * s->source->rate() / 1000000;
    if (frame > std::int64_t{std::numeric_limits<std::uint32_t>::max()}) return false;
    lock.unlock();
    return set_position(stream, static_cast<std::uint32_t>(frame));
}

bool StreamTable::close(std::uintptr_t stream)
{
    std::unique_ptr<SoundStream> gone;
    {
        std::lock_guard lock(sound_.mutex());
        SoundStream* s = streams_.get(stream);
        if (!s) return false;
        detach(*s);
        // Off the mixer at once, turn or no turn, so the file goes as soon as no thread reads it.
        sound_.gate().unmix(s->source.get());
        s->source->close();
        gone = streams_.remove(stream);
        staged();
        sound_.decoded().notify_all();
    }
    // The decoder closes its file here, outside the lock, or, when the decoder thread is reading
    // it, once that read has returned.
    return true;
}

int StreamTable::volume(int channel) const
{
    std::lock_guard lock(sound_.mutex());
    return ChannelMixer::valid(channel) ? staged_[static_cast<std::size_t>(channel)].volume : 0;
}

bool StreamTable::set_volume(int channel, int volume)
{
    std::lock_guard lock(sound_.mutex());
    if (channel == FSOUND_ALL) {
        for (StagedChannel& c : staged_) c.volume = volume;
        volume_changed_ = ~std::uint32_t{0};
    } else if (ChannelMixer::valid(channel)) {
        staged_[static_cast<std::size_t>(channel)].volume = volume;
        volume_changed_ |= bit(channel);
    } else {
        return false;
    }
    staged();
    return true;
}

void StreamTable::staged()
{
    if (!turns_) publish_locked();
}

bool StreamTable::publish_locked()
{
    if (!assignment_changed_ && !volume_changed_ && seeks_.empty()) return false;
    OutputGate& gate = sound_.gate();
    bool queue_touched = false;
    // Positions first, so a stream played in the same turn starts from its new place.
    for (std::uintptr_t h : seeks_) {
        SoundStream* s = streams_.get(h);
        if (!s || !s->staged_seek) continue;
        queue_touched |= gate.queued(s->source.get());
        if (gate.in_tail(s->source.get())) gate.cut_tail();
        s->source->request_seek(*std::exchange(s->staged_seek, std::nullopt));
    }
    seeks_.clear();
    std::uint32_t started = 0;
    for (int c = 0; c < ChannelMixer::kChannels; ++c) {
        if (assignment_changed_ & bit(c)) {
            const std::uintptr_t handle = staged_[static_cast<std::size_t>(c)].stream;
            const SoundStream* s = streams_.get(handle);
            queue_touched |= gate.assign(c, s ? s->source : nullptr, s ? handle : 0, s ? s->play_token : 0);
            if (s) started |= bit(c);
        }
        if (volume_changed_ & bit(c))
            gate.channels()[static_cast<std::size_t>(c)].gain =
                volume_gain_q16(staged_[static_cast<std::size_t>(c)].volume);
    }
    gate.queue_or_cut(started, queue_touched);
    assignment_changed_ = 0;
    volume_changed_ = 0;
    if (gate.sounding()) gate.reset_silence();
    sound_.decoder().wake_locked();
    sound_.decoded().notify_all();
    return true;
}

void StreamTable::clear(std::vector<std::unique_ptr<SoundStream>>& gone)
{
    std::vector<std::uintptr_t> handles;
    streams_.for_each([&](std::uintptr_t h, SoundStream&) { handles.push_back(h); });
    for (std::uintptr_t h : handles) gone.push_back(streams_.remove(h));
    staged_ = {};
    assignment_changed_ = 0;
    volume_changed_ = 0;
    seeks_.clear();
}

std::optional<PendingEnd> StreamTable::end_noted(int channel, std::uintptr_t stream, std::uint64_t token) const
{
    // Reported only while the user-interface side still has this play on this channel.
    const SoundStream* s = streams_.get(stream);
    if (!s || s->channel != channel || s->play_token != token || channel_stream(channel) != stream) return std::nullopt;
    return PendingEnd{stream, token, channel};
}

void StreamTable::deliver_end(const PendingEnd& end)
{
    FSOUND_STREAMCALLBACK callback = nullptr;
    void* userdata = nullptr;
    {
        std::lock_guard lock(sound_.mutex());
        SoundStream* s = streams_.get(end.stream);
        // A play, stop or close since the end was noted wins.
        if (!s || s->play_token != end.token) return;
        // The channel is free for the next play, and the rest of this one plays out as the tail.
        staged_[static_cast<std::size_t>(end.channel)].stream = 0;
        s->channel = -1;
        ++s->play_token;
        sound_.gate().end_delivered(end.channel, s->source.get());
        callback = s->end_callback;
        userdata = s->end_userdata;
    }
    // Without the lock: the callback usually stops this stream and plays the next one.
    if (callback) callback(as_stream(end.stream), nullptr, 0, userdata);
}

SoundStream* StreamTable::with_tags(std::uintptr_t stream, std::unique_lock<std::mutex>& lock)
{
    SoundStream* s = streams_.get(stream);
    if (!s) return nullptr;
    if (s->tags) return s;
    const std::string path = s->path;
    lock.unlock();
    StreamTags tags = StreamTags::read(path);
    lock.lock();
    s = streams_.get(stream);
    if (s && !s->tags) s->tags = std::move(tags);
    return s;
}

void StreamTable::hand_out(SoundStream& s, const std::vector<unsigned char>& bytes, void** value, int* length)
{
    // Two zero bytes after the field, so text in any encoding reads as terminated.
    s.tag_value.assign(bytes.begin(), bytes.end());
    s.tag_value.push_back(0);
    s.tag_value.push_back(0);
    if (value) *value = s.tag_value.data();
    if (length) *length = static_cast<int>(bytes.size());
}

bool StreamTable::tag_count(std::uintptr_t stream, int* count)
{
    std::unique_lock lock(sound_.mutex());
    SoundStream* s = with_tags(stream, lock);
    if (!s) return false;
    if (count) *count = static_cast<int>(s->tags->fields().size());
    return true;
}

bool StreamTable::tag_field(std::uintptr_t stream, int index, int* type, char** name, void** value, int* length)
{
    std::unique_lock lock(sound_.mutex());
    SoundStream* s = with_tags(stream, lock);
    if (!s) return false;
    const auto& fields = s->tags->fields();
    if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) return false;
    const TagField& f = fields[static_cast<std::size_t>(index)];
    s->tag_name = f.name;
    if (type) *type = static_cast<int>(f.type);
    if (name) *name = s->tag_name.data();
    hand_out(*s, f.value, value, length);
    return true;
}

bool StreamTable::find_tag(std::uintptr_t stream, int type, const char* name, void** value, int* length)
{
    if (!name) return false;
    std::unique_lock lock(sound_.mutex());
    SoundStream* s = with_tags(stream, lock);
    if (!s) return false;
    auto found = s->tags->find(type, name);
    if (!found) return false;
    hand_out(*s, *found, value, length);
    return true;
}

}  // namespace zv
