#include "sound/output_gate.h"

#include <algorithm>
#include <span>
#include <utility>

#include "sound/sound_system.h"

namespace zv {

namespace {

// The decoder fills a ring until less than a step is free, so a waiting render must never want
// more than that (it waits for more than half a ring, and at least a pass).
static_assert(ChannelMixer::kMaxFrames <= StreamSource::kRingFrames / 2);
static_assert(StreamSource::kRingFrames / 2 < StreamSource::kRingFrames - StreamSource::kStepFrames);

}  // namespace

bool OutputGate::start(std::unique_ptr<AudioOutput> out)
{
    {
        std::lock_guard lock(sound_.mutex());
        silent_frames_ = 0;
    }
    resting_ = false;
    AudioOutput* o = out.get();
    const bool started = out->start([this, o](std::int16_t* p, std::size_t n) {
        {
            // The device may have come back at another rate: no stream is mixed at the old one.
            const int rate = o->rate();
            std::lock_guard lock(sound_.mutex());
            for (MixChannel& m : mix_)
                if (m.source) m.source->set_mix_rate(rate);
        }
        render(p, n, o->waits_for_decoding());
    });
    if (!started) return false;
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
    return std::any_of(mix_.begin(), mix_.end(), [](const MixChannel& m) { return m.source != nullptr; });
}

void OutputGate::unmix(const StreamSource* source)
{
    for (MixChannel& m : mix_) {
        if (m.source.get() != source) continue;
        m.source.reset();
        m.stream = 0;
    }
}

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

void OutputGate::render(std::int16_t* out, std::size_t frames, bool wait)
{
    std::vector<PendingEnd> ended;
    bool rest = false;
    {
        std::unique_lock lock(sound_.mutex());
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
    for (const PendingEnd& e : ended) sound_.post([e](SoundSystem& s) { s.table().deliver_end(e.stream, e.token); });
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
    if (wake_decoder) sound_.decoder().wake_locked();
}

void OutputGate::note_end(int channel, std::vector<PendingEnd>& ended)
{
    MixChannel& m = mix_[static_cast<std::size_t>(channel)];
    const std::uintptr_t handle = std::exchange(m.stream, 0);
    m.source.reset();  // never the last owner: the stream, open, still holds it
    if (auto end = sound_.table().end_noted(channel, handle, m.token)) ended.push_back(*end);
}

}  // namespace zv
