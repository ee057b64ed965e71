// The output gate: the device (or a sink a test pulls), checked at init but first taken at the
// first play (nothing is rendered or written before it), let go while nothing sounds and taken again at the next play,
// and the render that mixes the published channels into it.
//
// The output counts its own silence, so nothing polls: once no channel has sounded for
// kDeviceGraceFrames of output the device is let go (the output's thread ends), and it goes on
// from exactly the frames the mixer had not yet taken when it is taken again.
//
// Gapless joins. A stream's end is noted once its decoder has reached the end and at most
// kEndLeadMs of it is left for the output to take (and never before its first frame was taken),
// so the end callback can open and play the next track while the last of this one still sounds.
// When the end is delivered, what is left becomes the tail: it plays out whatever the stream's
// stop or close, and the next play is queued behind it, its first frame right after the tail's
// last. A stop, close, position or play touching the queued stream, or a play of another stream,
// cuts the tail and lets the queue go at once, so a user's tap still answers at once.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sound/audio_output.h"
#include "sound/channel_mixer.h"
#include "sound/mp3_decoder.h"
#include "sound/stream_source.h"

namespace zv {

class SoundSystem;

// A channel as the mixer plays it: what was last published.
struct MixChannel {
    std::shared_ptr<StreamSource> source;  // null when silent
    std::uintptr_t stream = 0;
    std::uint64_t token = 0;  // the stream's play token when it was published here
    std::int32_t gain = ChannelMixer::kUnityGain;
    bool end_noted = false;  // its end was handed to the user-interface thread
    bool queued = false;     // waits for the tail to play out
};

// A stream near its end, noted by the render for the user-interface thread.
struct PendingEnd {
    std::uintptr_t stream = 0;
    std::uint64_t token = 0;
    int channel = -1;
};

class OutputGate {
public:
    using Channels = std::array<MixChannel, ChannelMixer::kChannels>;

    // How long the output plays silence before the device is let go: 3 s, so that stepping from one
    // track to the next, or a short pause, never closes it.
    static constexpr std::size_t kDeviceGraceFrames = 3 * static_cast<std::size_t>(Mp3Decoder::kRate);
    // How much of a stream is left for the output when its end is noted: enough for the
    // user-interface thread to open and queue the next track across two device buffers of 93 ms,
    // and little enough that the now-playing text changes just before the join.
    static constexpr int kEndLeadMs = 180;

    explicit OutputGate(SoundSystem& sound) : sound_(sound) {}

    // User-interface thread. Starts rendering into `out`; false (and `out` dropped) when it cannot.
    bool start(std::unique_ptr<AudioOutput> out);
    // Stops rendering for good; when it returns no render is in progress. Called without the lock.
    void stop();
    AudioOutput* output() const { return output_.get(); }
    // Lets the device go if nothing has sounded for the grace period, and takes it again once
    // something sounds.
    void rest();
    void wake();

    // --- Under the sound lock.
    Channels& channels() { return mix_; }
    const Channels& channels() const { return mix_; }
    bool sounding() const;  // a published channel has a stream
    void reset_silence() { silent_frames_ = 0; }
    // Takes a stream's sound off the mixer at once; when it was queued, the tail goes too.
    void unmix(const StreamSource* source);
    // Publication: a channel takes another play (or none). True when the channel held the queued
    // stream.
    bool assign(int channel, std::shared_ptr<StreamSource> source, std::uintptr_t stream, std::uint64_t token);
    // After a publication that started the plays in `started` (one bit per channel): queues the
    // next play behind the tail, or cuts the tail when the publication touched the queued stream.
    void queue_or_cut(std::uint32_t started, bool queue_touched);
    bool queued(const StreamSource* source) const;
    bool in_tail(const StreamSource* source) const { return source && tail_.source.get() == source; }
    void cut_tail();
    // The end of the stream on `channel` was delivered: what is left of it becomes the tail.
    void end_delivered(int channel, const StreamSource* source);
    // Forgets every channel and the tail; what they held goes to `into` and `gone`, to be freed
    // without the lock.
    void clear(Channels& into, std::vector<std::shared_ptr<StreamSource>>& gone);
    // Sources the mixer let go that nothing else may hold: a closed stream's tail keeps its decoder
    // and file open. The decoder thread frees them, without the lock.
    std::vector<std::shared_ptr<StreamSource>> take_retired();
    // Frames a waiting render wants from every playing stream; 0 when none waits.
    std::size_t waiting_for() const { return waiting_for_; }

    // The rate the output plays at, as it last said; streams opened now are made for it, and every
    // render makes the mixed ones follow it.
    int mix_rate() const { return mix_rate_; }

private:
    // Runs on the output's thread. An output that waits for decoding gets the same sound whatever
    // the threads' timing.
    void render(std::int16_t* out, std::size_t frames, const AudioOutput& output);
    // One mixer pass of at most ChannelMixer::kMaxFrames frames; notes streams that played out.
    void mix(std::int16_t* out, std::size_t frames, std::vector<PendingEnd>& ended);
    void note_end(int channel, std::vector<PendingEnd>& ended);
    bool all_can_give(std::size_t frames) const;
    std::size_t lead_frames() const;

    // What is left of a stream whose end was delivered.
    struct Tail {
        std::shared_ptr<StreamSource> source;
        std::int32_t gain = ChannelMixer::kUnityGain;
    };
    // After a join of two streams resampled alike: the ringing past the first one's end, added to
    // the start of the next.
    struct Echo {
        std::shared_ptr<StreamSource> source;
        std::int32_t gain = ChannelMixer::kUnityGain;
        std::size_t done = 0;  // frames of its edge already added
        std::size_t from = 0;  // where in the next pass it goes on
    };
    // The queued channel, or null.
    const MixChannel* queued_channel() const;
    // Adds the tail (and the next stream's edge before its end) to the pass; where the queued
    // streams start in it, or `frames` while the tail lasts.
    std::size_t mix_tail(std::size_t frames);
    void mix_echo(std::size_t frames);
    void retire(std::shared_ptr<StreamSource> source);

    SoundSystem& sound_;
    std::unique_ptr<AudioOutput> output_;  // touched on the user-interface thread only
    bool resting_ = false;                 // likewise: output_ is suspended

    // Under the sound lock.
    Channels mix_{};
    Tail tail_;
    Echo echo_;
    std::vector<std::shared_ptr<StreamSource>> retired_;
    ChannelMixer mixer_;
    std::size_t waiting_for_ = 0;
    // Frames the output has rendered since a channel last sounded, up to the grace period.
    std::size_t silent_frames_ = 0;
    int mix_rate_ = 44100;
};

}  // namespace zv
