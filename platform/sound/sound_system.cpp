#include "sound/sound_system.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>

namespace zv {

namespace {

SoundSystem* g_current = nullptr;

FSOUND_STREAM* as_stream(std::uintptr_t handle) { return to_handle<FSOUND_STREAM*>(handle); }

}  // namespace

SoundSystem::SoundSystem(AudioOutputFactory factory, UiPoster post)
    : factory_(std::move(factory)), post_(std::move(post)), alive_(std::make_shared<SoundSystem*>(this))
{
    g_current = this;
}

SoundSystem::~SoundSystem()
{
    close();
    alive_.reset();
    if (g_current == this) g_current = nullptr;
}

SoundSystem* SoundSystem::current() { return g_current; }

bool SoundSystem::init()
{
    if (output_) return true;
    if (!factory_) return false;
    std::unique_ptr<AudioOutput> out = factory_();
    if (!out) return false;
    {
        std::lock_guard lock(mutex_);
        initialised_ = true;
    }
    if (!out->start([this](std::int16_t* p, std::size_t n) { render(p, n); })) {
        std::lock_guard lock(mutex_);
        initialised_ = false;
        return false;
    }
    output_ = std::move(out);
    return true;
}

void SoundSystem::close()
{
    // Stopped without the lock: the output waits for a render in progress, which takes it.
    if (output_) output_->stop();
    std::unique_ptr<AudioOutput> out = std::move(output_);
    std::vector<std::unique_ptr<SoundStream>> gone;
    {
        std::lock_guard lock(mutex_);
        initialised_ = false;
        std::vector<std::uintptr_t> handles;
        streams_.for_each([&](std::uintptr_t h, SoundStream&) { handles.push_back(h); });
        for (std::uintptr_t h : handles) gone.push_back(streams_.remove(h));
        mixer_.reset();
    }
}

bool SoundSystem::initialised() const
{
    std::lock_guard lock(mutex_);
    return initialised_;
}

std::uintptr_t SoundSystem::open_stream(const char* path)
{
    if (!path || !initialised()) return 0;
    auto s = std::make_unique<SoundStream>();
    s->path = path;
    // The probe reads the file: done before taking the lock so the output never waits on a disk.
    s->decoder = Mp3Decoder::open(s->path);
    if (!s->decoder) return 0;
    std::lock_guard lock(mutex_);
    if (!initialised_) return 0;
    return streams_.insert(std::move(s));
}

bool SoundSystem::set_end_callback(std::uintptr_t stream, FSOUND_STREAMCALLBACK callback, void* userdata)
{
    std::lock_guard lock(mutex_);
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    s->end_callback = callback;
    s->end_userdata = userdata;
    return true;
}

void SoundSystem::detach(SoundStream& s)
{
    if (ChannelMixer::valid(s.channel)) mixer_[s.channel].stream = 0;
    s.channel = -1;
    s.end_pending = false;
    ++s.play_token;
}

int SoundSystem::play(int channel, std::uintptr_t stream)
{
    std::lock_guard lock(mutex_);
    if (!initialised_) return -1;
    SoundStream* s = streams_.get(stream);
    if (!s) return -1;
    if (channel != FSOUND_FREE && !ChannelMixer::valid(channel)) return -1;
    detach(*s);
    if (channel == FSOUND_FREE) {
        channel = mixer_.lowest_free();
        if (channel < 0) return -1;
    } else if (SoundStream* previous = streams_.get(mixer_[channel].stream)) {
        // The channel is re-used: what sounded there is cut off without an end callback.
        detach(*previous);
    }
    // The channel keeps the volume it has: callers set the volume right after starting a stream,
    // and a reset to full volume would sound at full gain until then (one output buffer or more).
    mixer_[channel].stream = stream;
    s->channel = channel;
    return channel;
}

bool SoundSystem::stop(std::uintptr_t stream)
{
    std::lock_guard lock(mutex_);
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    detach(*s);
    return true;
}

bool SoundSystem::is_open(std::uintptr_t stream) const
{
    std::lock_guard lock(mutex_);
    return streams_.get(stream) != nullptr;
}

std::uint32_t SoundSystem::position(std::uintptr_t stream) const
{
    std::lock_guard lock(mutex_);
    const SoundStream* s = streams_.get(stream);
    return s ? s->position : 0;
}

bool SoundSystem::set_position(std::uintptr_t stream, std::uint32_t frame)
{
    std::lock_guard lock(mutex_);
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    s->position = s->decoder->seek(frame);
    return true;
}

bool SoundSystem::close_stream(std::uintptr_t stream)
{
    std::unique_ptr<SoundStream> gone;
    {
        std::lock_guard lock(mutex_);
        SoundStream* s = streams_.get(stream);
        if (!s) return false;
        detach(*s);
        gone = streams_.remove(stream);
    }
    return true;  // the decoder closes its file here, outside the lock
}

int SoundSystem::volume(int channel) const
{
    std::lock_guard lock(mutex_);
    return ChannelMixer::valid(channel) ? mixer_[channel].volume : 0;
}

bool SoundSystem::set_volume(int channel, int volume)
{
    std::lock_guard lock(mutex_);
    if (channel == FSOUND_ALL) {
        for (int c = 0; c < ChannelMixer::kChannels; ++c) mixer_[c].volume = volume;
        return true;
    }
    if (!ChannelMixer::valid(channel)) return false;
    mixer_[channel].volume = volume;
    return true;
}

void SoundSystem::render(std::int16_t* out, std::size_t frames)
{
    std::vector<PendingEnd> ended;
    {
        std::lock_guard lock(mutex_);
        std::array<std::pair<int, SoundStream*>, ChannelMixer::kChannels> playing;
        std::size_t count = 0;
        for (int c = 0; c < ChannelMixer::kChannels; ++c) {
            const std::uintptr_t handle = mixer_[c].stream;
            if (!handle) continue;
            if (SoundStream* s = streams_.get(handle))
                playing[count++] = {c, s};
            else
                mixer_[c].stream = 0;
        }
        // Decodes one channel's share into `buf`; notes the stream's end when it runs out.
        auto pull_stream = [&](int c, SoundStream& s, std::span<std::int16_t> buf) {
            const std::size_t got = s.decoder->read(buf);
            s.position += static_cast<std::uint32_t>(got);
            if (got < frames || s.decoder->ended()) {
                ended.push_back({mixer_[c].stream, ++s.play_token});
                mixer_[c].stream = 0;
                s.channel = -1;
                s.end_pending = true;
            }
            return got;
        };
        if (count == 1) {
            // One stream (the player's usual state): decode straight into the output.
            const auto [c, s] = playing[0];
            const std::size_t got = pull_stream(c, *s, {out, frames * 2});
            mixer_.scale_in_place(c, {out, got * 2});
            std::fill(out + got * 2, out + frames * 2, std::int16_t{0});
        } else {
            mixer_.begin(frames);
            for (std::size_t i = 0; i < count; ++i) {
                const auto [c, s] = playing[i];
                std::span<std::int16_t> buf = mixer_.scratch(frames);
                const std::size_t got = pull_stream(c, *s, buf);
                mixer_.add(c, buf.first(got * 2));
            }
            mixer_.finish(out, frames);
        }
    }
    if (!post_ || ended.empty()) return;
    for (const PendingEnd& e : ended) {
        std::weak_ptr<SoundSystem*> alive = alive_;
        post_([alive, e] {
            if (auto self = alive.lock()) (*self)->deliver_end(e.stream, e.token);
        });
    }
}

void SoundSystem::deliver_end(std::uintptr_t stream, std::uint64_t token)
{
    FSOUND_STREAMCALLBACK callback = nullptr;
    void* userdata = nullptr;
    {
        std::lock_guard lock(mutex_);
        SoundStream* s = streams_.get(stream);
        if (!s || !s->end_pending || s->play_token != token) return;
        s->end_pending = false;
        callback = s->end_callback;
        userdata = s->end_userdata;
    }
    // Without the lock: the callback usually stops this stream and plays the next one.
    if (callback) callback(as_stream(stream), nullptr, 0, userdata);
}

SoundStream* SoundSystem::with_tags(std::uintptr_t stream, std::unique_lock<std::mutex>& lock)
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

void SoundSystem::hand_out(SoundStream& s, const std::vector<unsigned char>& bytes, void** value, int* length)
{
    // Two zero bytes after the field, so text in any encoding reads as terminated.
    s.tag_value.assign(bytes.begin(), bytes.end());
    s.tag_value.push_back(0);
    s.tag_value.push_back(0);
    if (value) *value = s.tag_value.data();
    if (length) *length = static_cast<int>(bytes.size());
}

bool SoundSystem::tag_count(std::uintptr_t stream, int* count)
{
    std::unique_lock lock(mutex_);
    SoundStream* s = with_tags(stream, lock);
    if (!s) return false;
    if (count) *count = static_cast<int>(s->tags->fields().size());
    return true;
}

bool SoundSystem::tag_field(std::uintptr_t stream, int index, int* type, char** name, void** value, int* length)
{
    std::unique_lock lock(mutex_);
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

bool SoundSystem::find_tag(std::uintptr_t stream, int type, const char* name, void** value, int* length)
{
    if (!name) return false;
    std::unique_lock lock(mutex_);
    SoundStream* s = with_tags(stream, lock);
    if (!s) return false;
    auto found = s->tags->find(type, name);
    if (!found) return false;
    hand_out(*s, *found, value, length);
    return true;
}

}  // namespace zv
