#include "sound/sound_system.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <string>
#include <utility>

namespace zv {

namespace {

// How long a render for a waiting output (a test's sink) waits for the decoder before it mixes
// what there is. Generous: it only bounds a fault.
constexpr std::chrono::seconds kDecodeWait{10};

FSOUND_STREAM* as_stream(std::uintptr_t handle) { return to_handle<FSOUND_STREAM*>(handle); }

constexpr std::uint32_t bit(int channel) { return std::uint32_t{1} << channel; }

// The decoder fills a ring until less than a step is free, so a waiting render must never want
// more than that (it waits for more than half a ring, and at least a pass).
static_assert(ChannelMixer::kMaxFrames <= StreamSource::kRingFrames / 2);
static_assert(StreamSource::kRingFrames / 2 < StreamSource::kRingFrames - StreamSource::kStepFrames);

}  // namespace

SoundSystem::SoundSystem(AudioOutputFactory factory, UiPoster post)
    : factory_(std::move(factory)), post_(std::move(post)), alive_(std::make_shared<SoundSystem*>(this))
{
}

SoundSystem::~SoundSystem()
{
    close();
    alive_.reset();
}

bool SoundSystem::init()
{
    if (output_) return true;
    if (!factory_) return false;
    std::unique_ptr<AudioOutput> out = factory_();
    if (!out) return false;
    {
        std::lock_guard lock(mutex_);
        initialised_ = true;
        silent_frames_ = 0;
    }
    output_resting_ = false;
    start_decoder();
    AudioOutput* o = out.get();
    if (!out->start([this, o](std::int16_t* p, std::size_t n) { render(p, n, o->waits_for_decoding()); })) {
        stop_decoder();
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
    output_resting_ = false;
    // The decoders are freed below, so a read in progress has to return first.
    stop_decoder();
    std::vector<std::unique_ptr<SoundStream>> gone;
    std::array<MixChannel, ChannelMixer::kChannels> silenced{};
    {
        std::lock_guard lock(mutex_);
        initialised_ = false;
        std::vector<std::uintptr_t> handles;
        streams_.for_each([&](std::uintptr_t h, SoundStream&) { handles.push_back(h); });
        for (std::uintptr_t h : handles) gone.push_back(streams_.remove(h));
        mix_.swap(silenced);
        staged_ = {};
        assignment_changed_ = 0;
        volume_changed_ = 0;
        seeks_.clear();
    }
}

bool SoundSystem::initialised() const
{
    std::lock_guard lock(mutex_);
    return initialised_;
}

void SoundSystem::publish_at_turn_end(bool on)
{
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        turns_ = on;
        if (!on) changed = publish_locked();
    }
    if (changed) wake_output();
}

void SoundSystem::publish()
{
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = publish_locked();
    }
    if (changed) wake_output();
}

void SoundSystem::set_read_hook(Mp3Decoder::ReadHook hook)
{
    std::lock_guard lock(mutex_);
    read_hook_ = std::move(hook);
}

std::uintptr_t SoundSystem::open_stream(const char* path)
{
    if (!path) return 0;
    Mp3Decoder::ReadHook hook;
    {
        std::lock_guard lock(mutex_);
        if (!initialised_) return 0;
        hook = read_hook_;
    }
    auto s = std::make_unique<SoundStream>();
    s->path = path;
    // The probe reads the file: done before taking the lock so the output never waits on a disk.
    std::unique_ptr<Mp3Decoder> decoder = Mp3Decoder::open(s->path, std::move(hook));
    if (!decoder) return 0;
    s->source = std::make_shared<StreamSource>(std::move(decoder));
    std::lock_guard lock(mutex_);  // released before `s` goes, should it go
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
    if (ChannelMixer::valid(s.channel)) {
        staged_[static_cast<std::size_t>(s.channel)].stream = 0;
        assignment_changed_ |= bit(s.channel);
    }
    s.channel = -1;
    ++s.play_token;
}

int SoundSystem::play(int channel, std::uintptr_t stream)
{
    const int used = [&] {
        std::lock_guard lock(mutex_);
        return play_locked(channel, stream);
    }();
    // Published at once without turns: the device is needed now.
    if (used >= 0) wake_output();
    return used;
}

int SoundSystem::play_locked(int channel, std::uintptr_t stream)
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

bool SoundSystem::stop(std::uintptr_t stream)
{
    std::lock_guard lock(mutex_);
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    detach(*s);
    // Off the mixer at once, turn or no turn: the position read after a stop is where the sound
    // stopped, so a resume from there neither repeats nor skips what the output rendered meanwhile.
    unmix(*s);
    staged();
    return true;
}

void SoundSystem::unmix(const SoundStream& s)
{
    for (MixChannel& m : mix_) {
        if (m.source != s.source) continue;
        m.source.reset();
        m.stream = 0;
    }
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
    if (!s) return 0;
    return s->staged_seek ? *s->staged_seek : s->source->position();
}

bool SoundSystem::set_position(std::uintptr_t stream, std::uint32_t frame)
{
    std::lock_guard lock(mutex_);
    SoundStream* s = streams_.get(stream);
    if (!s) return false;
    // The decoder thread moves there; nobody waits for the file.
    if (!s->staged_seek) seeks_.push_back(stream);
    s->staged_seek = frame;
    staged();
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
        // Off the mixer at once, turn or no turn, so the file goes as soon as no thread reads it.
        unmix(*s);
        s->source->close();
        gone = streams_.remove(stream);
        staged();
        decoded_.notify_all();
    }
    // The decoder closes its file here, outside the lock, or, when the decoder thread is reading
    // it, once that read has returned.
    return true;
}

int SoundSystem::volume(int channel) const
{
    std::lock_guard lock(mutex_);
    return ChannelMixer::valid(channel) ? staged_[static_cast<std::size_t>(channel)].volume : 0;
}

bool SoundSystem::set_volume(int channel, int volume)
{
    std::lock_guard lock(mutex_);
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

void SoundSystem::staged()
{
    if (!turns_) publish_locked();
}

bool SoundSystem::publish_locked()
{
    if (!assignment_changed_ && !volume_changed_ && seeks_.empty()) return false;
    // Positions first, so a stream played in the same turn starts from its new place.
    for (std::uintptr_t h : seeks_) {
        SoundStream* s = streams_.get(h);
        if (s && s->staged_seek) s->source->request_seek(*std::exchange(s->staged_seek, std::nullopt));
    }
    seeks_.clear();
    for (int c = 0; c < ChannelMixer::kChannels; ++c) {
        MixChannel& m = mix_[static_cast<std::size_t>(c)];
        if (assignment_changed_ & bit(c)) {
            const std::uintptr_t handle = staged_[static_cast<std::size_t>(c)].stream;
            const SoundStream* s = streams_.get(handle);
            m.source = s ? s->source : nullptr;
            m.stream = s ? handle : 0;
            m.token = s ? s->play_token : 0;
        }
        if (volume_changed_ & bit(c)) m.gain = volume_gain_q16(staged_[static_cast<std::size_t>(c)].volume);
    }
    assignment_changed_ = 0;
    volume_changed_ = 0;
    if (sounding()) silent_frames_ = 0;
    wake_decoder_locked();
    decoded_.notify_all();
    return true;
}

bool SoundSystem::sounding() const
{
    return std::any_of(mix_.begin(), mix_.end(), [](const MixChannel& m) { return m.source != nullptr; });
}

void SoundSystem::rest_output()
{
    if (!output_ || output_resting_) return;
    {
        std::lock_guard lock(mutex_);
        if (silent_frames_ < kDeviceGraceFrames || sounding()) return;
    }
    // Without the lock: the output waits for a render in progress, which takes it. Only this
    // thread publishes, so nothing starts sounding meanwhile.
    output_->suspend();
    output_resting_ = true;
}

void SoundSystem::wake_output()
{
    if (!output_ || !output_resting_) return;
    {
        std::lock_guard lock(mutex_);
        if (!sounding()) return;
    }
    // Nothing was mixed while the device was away, so its first frames are the streams' next ones.
    // When the device cannot be had now, the next play tries again.
    output_resting_ = !output_->resume();
}

void SoundSystem::render(std::int16_t* out, std::size_t frames, bool wait)
{
    std::vector<PendingEnd> ended;
    bool rest = false;
    {
        std::unique_lock lock(mutex_);
        // The output's own pace is the grace period's clock: no timer runs for it.
        if (sounding()) {
            silent_frames_ = 0;
        } else if (silent_frames_ < kDeviceGraceFrames) {
            silent_frames_ += frames;
            rest = silent_frames_ >= kDeviceGraceFrames;
        }
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(frames - done, ChannelMixer::kMaxFrames);
            // A sink a test pulls gets the same sound whatever the threads' timing: each pass waits
            // until every playing stream has its frames decoded or has reached its end. A device
            // never waits; what is not decoded in time is silence.
            if (wait && !all_can_give(n)) {
                // Waits for a good part of the ring, not for each step, so a test pulling faster
                // than a device does not pay a thread switch per step.
                waiting_for_ = std::max(n, StreamSource::kRingFrames / 2);
                wake_decoder_locked();
                decoded_.wait_for(lock, kDecodeWait, [&] { return all_can_give(waiting_for_); });
                waiting_for_ = 0;
            }
            mix(out + done * 2, n, ended);
            done += n;
        }
    }
    if (!post_) return;
    for (const PendingEnd& e : ended) {
        std::weak_ptr<SoundSystem*> alive = alive_;
        post_([alive, e] {
            if (auto self = alive.lock()) (*self)->deliver_end(e.stream, e.token);
        });
    }
    if (rest) {
        std::weak_ptr<SoundSystem*> alive = alive_;
        post_([alive] {
            if (auto self = alive.lock()) (*self)->rest_output();
        });
    }
}

bool SoundSystem::all_can_give(std::size_t frames) const
{
    return std::all_of(mix_.begin(), mix_.end(),
                       [&](const MixChannel& m) { return !m.source || m.source->can_give(frames); });
}

void SoundSystem::mix(std::int16_t* out, std::size_t frames, std::vector<PendingEnd>& ended)
{
    std::size_t streams = 0;
    int only = -1;
    for (int c = 0; c < ChannelMixer::kChannels; ++c) {
        if (!mix_[static_cast<std::size_t>(c)].source) continue;
        ++streams;
        only = c;
    }
    bool wake_decoder = false;
    auto after_take = [&](int c) {
        const StreamSource& source = *mix_[static_cast<std::size_t>(c)].source;
        if (source.played_out())
            note_end(c, ended);
        else if (source.needs_refill())
            wake_decoder = true;
    };
    if (streams == 1) {
        // One stream (the player's usual state): scaled straight into the output.
        const MixChannel& m = mix_[static_cast<std::size_t>(only)];
        const std::size_t got = m.source->take(frames, [&](std::span<const std::int16_t> piece, std::size_t at) {
            ChannelMixer::scale(piece, out + at * 2, m.gain);
        });
        std::fill(out + got * 2, out + frames * 2, std::int16_t{0});
        after_take(only);
    } else {
        mixer_.begin(frames);
        for (int c = 0; c < ChannelMixer::kChannels; ++c) {
            const MixChannel& m = mix_[static_cast<std::size_t>(c)];
            if (!m.source) continue;
            m.source->take(frames,
                           [&](std::span<const std::int16_t> piece, std::size_t at) { mixer_.add(piece, at, m.gain); });
            after_take(c);
        }
        mixer_.finish(out);
    }
    if (wake_decoder) wake_decoder_locked();
}

void SoundSystem::note_end(int channel, std::vector<PendingEnd>& ended)
{
    MixChannel& m = mix_[static_cast<std::size_t>(channel)];
    const std::uintptr_t handle = std::exchange(m.stream, 0);
    const std::uint64_t token = m.token;
    m.source.reset();  // never the last owner: the stream, open, still holds it
    // Reported only while the user-interface side still has this play on this channel; a stop,
    // replace or close staged meanwhile wins.
    SoundStream* s = streams_.get(handle);
    StagedChannel& staged = staged_[static_cast<std::size_t>(channel)];
    if (!s || s->channel != channel || s->play_token != token || staged.stream != handle) return;
    staged.stream = 0;
    s->channel = -1;
    ended.push_back({handle, ++s->play_token});
}

void SoundSystem::deliver_end(std::uintptr_t stream, std::uint64_t token)
{
    FSOUND_STREAMCALLBACK callback = nullptr;
    void* userdata = nullptr;
    {
        std::lock_guard lock(mutex_);
        SoundStream* s = streams_.get(stream);
        if (!s || s->play_token != token) return;
        callback = s->end_callback;
        userdata = s->end_userdata;
    }
    // Without the lock: the callback usually stops this stream and plays the next one.
    if (callback) callback(as_stream(stream), nullptr, 0, userdata);
}

void SoundSystem::start_decoder()
{
    if (decoder_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        decoder_quit_ = false;
    }
    decoder_ = std::thread([this] { decode_loop(); });
}

void SoundSystem::stop_decoder()
{
    if (!decoder_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        decoder_quit_ = true;
    }
    work_.notify_all();
    decoder_.join();
}

std::shared_ptr<StreamSource> SoundSystem::most_urgent() const
{
    const StreamSource* best = nullptr;
    std::shared_ptr<StreamSource> out;
    for (const MixChannel& m : mix_) {
        if (!m.source || !m.source->wants_decoding()) continue;
        if (!best || m.source->ready() < best->ready()) {
            best = m.source.get();
            out = m.source;
        }
    }
    return out;
}

void SoundSystem::wake_decoder_locked()
{
    decoder_asleep_ = false;
    work_.notify_one();
}

bool SoundSystem::wait_decoder_asleep()
{
    std::unique_lock lock(mutex_);
    return decoded_.wait_for(lock, kDecodeWait, [&] { return decoder_asleep_; });
}

void SoundSystem::decode_loop()
{
    std::vector<std::int16_t> buffer(StreamSource::kStepFrames * 2);
    std::unique_lock lock(mutex_);
    while (!decoder_quit_) {
        std::shared_ptr<StreamSource> source = most_urgent();
        if (!source) {
            decoder_asleep_ = true;
            decoded_.notify_all();
            work_.wait(lock);
            decoder_asleep_ = false;
            continue;
        }
        const StreamSource::Step step = source->begin_step();
        lock.unlock();
        const StreamSource::Decoded decoded = source->decode(step, buffer);
        lock.lock();
        source->finish_step(step, decoded, buffer);
        if (waiting_for_ && source->can_give(waiting_for_)) decoded_.notify_all();
        lock.unlock();
        source.reset();  // perhaps the last owner of a closed stream: its file closes without the lock
        lock.lock();
    }
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
