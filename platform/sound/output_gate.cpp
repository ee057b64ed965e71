#include "sound/output_gate.h"

#include <algorithm>
#include <bit>
#include <span>
#include <utility>

#include "sound/sound_system.h"

namespace zv {

namespace {

// The decoder fills a ring until less than a step is free, so a waiting render must never want
// more than that (it waits for more than half a ring, and at least a pass).
static_assert(ChannelMixer::kMaxFrames <= StreamSource::kRingFrames / 2);
static_assert(StreamSource::kRingFrames / 2 < StreamSource::kRingFrames - StreamSource::kStepFrames);

// A channel without a stream keeps its volume.
void empty(MixChannel& m)
{
    const std::int32_t gain = m.gain;
    m = MixChannel{};
    m.gain = gain;
}

}  // namespace

bool OutputGate::start(std::unique_ptr<AudioOutput> out)
{
    {
        std::lock_guard lock(sound_.mutex());
        silent_frames_ = 0;
    }
    AudioOutput* o = out.get();
    if (!out->start([this, o](std::int16_t* p, std::size_t n) { render(p, n, *o); })) return false;
    // The device is first taken at the first play.
    resting_ = true;
    output_ = std::move(out);
    std::lock_guard lock(sound_.mutex());
    mix_rate_ = output_->rate();
    return true;
}

void OutputGate::stop()
{
    // Stopped without the lock: the output waits for a render in progress, which takes it.
    if (output_) output_->stop();
    output_.reset();
    resting_ = false;
}

bool OutputGate::sounding() const
{
    return tail_.source || echo_.source ||
           std::any_of(mix_.begin(), mix_.end(), [](const MixChannel& m) { return m.source != nullptr; });
}

void OutputGate::unmix(const StreamSource* source)
{
    for (MixChannel& m : mix_) {
        if (m.source.get() != source) continue;
        if (m.queued) cut_tail();
        empty(m);
    }
}

bool OutputGate::assign(int channel, std::shared_ptr<StreamSource> source, std::uintptr_t stream, std::uint64_t token)
{
    MixChannel& m = mix_[static_cast<std::size_t>(channel)];
    const bool was_queued = m.queued;
    empty(m);
    m.source = std::move(source);
    m.stream = stream;
    m.token = token;
    return was_queued;
}

void OutputGate::queue_or_cut(std::uint32_t started, bool queue_touched)
{
    if (!tail_.source) return;
    const bool queue_exists = std::any_of(mix_.begin(), mix_.end(), [](const MixChannel& m) { return m.queued; });
    if (!queue_touched && !queue_exists && std::popcount(started) == 1) {
        MixChannel& next = mix_[static_cast<std::size_t>(std::countr_zero(started))];
        next.queued = true;
        next.source->follow(*tail_.source);
    } else if (started || queue_touched) {
        cut_tail();
    }
}

bool OutputGate::queued(const StreamSource* source) const
{
    return std::any_of(mix_.begin(), mix_.end(),
                       [&](const MixChannel& m) { return m.queued && m.source.get() == source; });
}

void OutputGate::cut_tail()
{
    retire(std::move(tail_.source));
    retire(std::move(echo_.source));
    tail_ = {};
    echo_ = {};
    for (MixChannel& m : mix_) m.queued = false;
}

void OutputGate::end_delivered(int channel, const StreamSource* source)
{
    if (!ChannelMixer::valid(channel)) return;
    MixChannel& m = mix_[static_cast<std::size_t>(channel)];
    // Played out already, or taken off meanwhile: nothing is left to play.
    if (!m.source || m.source.get() != source || !m.end_noted) return;
    // One tail at a time: a stream only nears its end once it sounds, after any tail before it.
    // The echo of the join into it may still sound (it is shorter than the lead): it stays.
    retire(std::move(tail_.source));
    tail_ = Tail{std::move(m.source), m.gain};
    empty(m);
}

void OutputGate::clear(Channels& into, std::vector<std::shared_ptr<StreamSource>>& gone)
{
    into.swap(mix_);
    mix_ = {};
    gone = std::move(retired_);
    retired_.clear();
    gone.push_back(std::move(tail_.source));
    gone.push_back(std::move(echo_.source));
    tail_ = {};
    echo_ = {};
}

std::size_t OutputGate::lead_frames() const { return static_cast<std::size_t>(mix_rate_) * kEndLeadMs / 1000; }

void OutputGate::rest()
{
    if (!output_ || resting_) return;
    {
        std::lock_guard lock(sound_.mutex());
        if (silent_frames_ < kDeviceGraceFrames || sounding()) return;
    }
    // Without the lock: the output waits for a render in progress, which takes it. Only this
    // thread publishes, so nothing starts sounding meanwhile.
    output_->suspend();
    resting_ = true;
}

void OutputGate::wake()
{
    if (!output_ || !resting_) return;
    {
        std::lock_guard lock(sound_.mutex());
        if (!sounding()) return;
    }
    // Nothing was mixed while the device was away, so its first frames are the streams' next ones.
    // When the device cannot be had now, the next play tries again.
    resting_ = !output_->resume();
    if (resting_) return;
    // It may have come back at another rate.
    std::lock_guard lock(sound_.mutex());
    mix_rate_ = output_->rate();
    for (MixChannel& m : mix_)
        if (m.source) m.source->set_mix_rate(mix_rate_);
}

void OutputGate::render(std::int16_t* out, std::size_t frames, const AudioOutput& output)
{
    const bool wait = output.waits_for_decoding();
    std::vector<PendingEnd> ended;
    bool rest = false;
    {
        std::unique_lock lock(sound_.mutex());
        // The device may have come back at another rate, and a stream may have been opened for the
        // old one: none is mixed at a rate it was not made for.
        mix_rate_ = output.rate();
        for (MixChannel& m : mix_)
            if (m.source) m.source->set_mix_rate(mix_rate_);
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
                sound_.decoder().wake_locked();
                sound_.decoded().wait_for(lock, SoundSystem::kDecodeWait, [&] { return all_can_give(waiting_for_); });
                waiting_for_ = 0;
            }
            mix(out + done * 2, n, ended);
            done += n;
        }
    }
    for (const PendingEnd& e : ended) sound_.post([e](SoundSystem& s) { s.table().deliver_end(e); });
    if (rest) sound_.post([](SoundSystem& s) { s.gate().rest(); });
}

bool OutputGate::all_can_give(std::size_t frames) const
{
    return std::all_of(mix_.begin(), mix_.end(),
                       [&](const MixChannel& m) { return !m.source || m.source->can_give(frames); });
}

void OutputGate::mix(std::int16_t* out, std::size_t frames, std::vector<PendingEnd>& ended)
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
        MixChannel& m = mix_[static_cast<std::size_t>(c)];
        const StreamSource& source = *m.source;
        if (source.played_out()) {
            note_end(c, ended);
            empty(m);
        } else if (!m.end_noted && source.decoded_to_end() && source.ready() <= lead_frames()) {
            // Only ever after a take: a stream's end never comes before its first frame sounds.
            note_end(c, ended);
        } else if (source.needs_refill()) {
            wake_decoder = true;
        }
    };
    if (streams == 1 && !tail_.source && !echo_.source && !mix_[static_cast<std::size_t>(only)].queued) {
        // One stream (the player's usual state): scaled straight into the output.
        const MixChannel& m = mix_[static_cast<std::size_t>(only)];
        const std::size_t got = m.source->take(frames, [&](std::span<const std::int16_t> piece, std::size_t at) {
            ChannelMixer::scale(piece, out + at * 2, m.gain);
        });
        std::fill(out + got * 2, out + frames * 2, std::int16_t{0});
        after_take(only);
    } else {
        mixer_.begin(frames);
        const std::size_t queue_at = mix_tail(frames);
        mix_echo(frames);
        for (int c = 0; c < ChannelMixer::kChannels; ++c) {
            MixChannel& m = mix_[static_cast<std::size_t>(c)];
            if (!m.source) continue;
            std::size_t from = 0;
            if (m.queued) {
                if (queue_at == frames) continue;
                m.queued = false;
                from = queue_at;
            }
            m.source->take(frames - from, [&](std::span<const std::int16_t> piece, std::size_t at) {
                mixer_.add(piece, from + at, m.gain);
            });
            after_take(c);
        }
        mixer_.finish(out);
    }
    if (wake_decoder) sound_.decoder().wake_locked();
}

void OutputGate::retire(std::shared_ptr<StreamSource> source)
{
    if (!source) return;
    retired_.push_back(std::move(source));
    sound_.decoder().wake_locked();
}

std::vector<std::shared_ptr<StreamSource>> OutputGate::take_retired() { return std::exchange(retired_, {}); }

const MixChannel* OutputGate::queued_channel() const
{
    auto q = std::find_if(mix_.begin(), mix_.end(), [](const MixChannel& m) { return m.queued && m.source; });
    return q == mix_.end() ? nullptr : &*q;
}

std::size_t OutputGate::mix_tail(std::size_t frames)
{
    if (!tail_.source) return 0;
    StreamSource& tail = *tail_.source;
    const std::size_t left = tail.ready();
    const std::int32_t gain = tail_.gain;
    const std::size_t got =
        tail.take(frames, [&](std::span<const std::int16_t> piece, std::size_t at) { mixer_.add(piece, at, gain); });
    const MixChannel* next = queued_channel();
    const bool join = next && tail.joins(*next->source);
    if (join) {
        // The next stream's ringing before its first frame lies under the tail's last frames: the
        // part of it that falls in this pass, which ends `left` frames from here.
        const std::span<const std::int16_t> edge = next->source->edge_in();
        const auto edge_frames = static_cast<std::ptrdiff_t>(edge.size() / 2);
        const std::ptrdiff_t begin = static_cast<std::ptrdiff_t>(left) - edge_frames;
        const std::ptrdiff_t lo = std::max<std::ptrdiff_t>(begin, 0);
        const std::ptrdiff_t hi =
            std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(left), static_cast<std::ptrdiff_t>(frames));
        if (lo < hi)
            mixer_.add(edge.subspan(static_cast<std::size_t>(lo - begin) * 2, static_cast<std::size_t>(hi - lo) * 2),
                       static_cast<std::size_t>(lo), next->gain);
    }
    if (!tail.played_out()) return frames;
    if (join)
        echo_ = Echo{std::move(tail_.source), gain, 0, got};
    else
        retire(std::move(tail_.source));
    tail_ = {};
    return got;
}

void OutputGate::mix_echo(std::size_t frames)
{
    if (!echo_.source) return;
    const std::span<const std::int16_t> edge = echo_.source->edge_out();
    const std::size_t from = std::exchange(echo_.from, 0);
    if (from >= frames) return;
    const std::size_t n = std::min(frames - from, edge.size() / 2 - echo_.done);
    mixer_.add(edge.subspan(echo_.done * 2, n * 2), from, echo_.gain);
    echo_.done += n;
    if (echo_.done * 2 >= edge.size()) {
        retire(std::move(echo_.source));
        echo_ = {};
    }
}

void OutputGate::note_end(int channel, std::vector<PendingEnd>& ended)
{
    MixChannel& m = mix_[static_cast<std::size_t>(channel)];
    if (std::exchange(m.end_noted, true)) return;
    if (auto end = sound_.table().end_noted(channel, m.stream, m.token)) ended.push_back(*end);
}

}  // namespace zv
