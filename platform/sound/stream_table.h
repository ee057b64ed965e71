// The FSOUND_ streams and channels as the user-interface side sees and changes them: open streams
// (with their tags), 32 channels with a stream and a volume each, and the staging of what changes.
//
// The user-interface side stages what it changes (play, stop, position, volume). The changes reach
// the mixer together when they are published: at the end of each turn of the user-interface thread
// once publishing at turn end is on, otherwise at once after every call. Stopping or closing a
// stream takes it off the mixer at once: a stopped stream's position is where its sound stopped,
// and a closed stream's file goes as soon as no thread reads it.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/handle_table.h"
#include "fmod.h"
#include "sound/channel_mixer.h"
#include "sound/mp3_decoder.h"
#include "sound/output_gate.h"
#include "sound/sound_stream.h"

namespace zv {

class SoundSystem;

class StreamTable {
public:
    explicit StreamTable(SoundSystem& sound) : sound_(sound) {}

    // The FSOUND_ calls: each takes the sound lock itself.
    std::uintptr_t open(const char* path);  // 0 on failure
    bool set_end_callback(std::uintptr_t stream, FSOUND_STREAMCALLBACK callback, void* userdata);
    int play(int channel, std::uintptr_t stream);  // the channel used, or -1
    bool stop(std::uintptr_t stream);
    bool is_open(std::uintptr_t stream) const;
    std::uint32_t position(std::uintptr_t stream) const;
    bool set_position(std::uintptr_t stream, std::uint32_t frame);
    // The same in microseconds, for the desktop's media controls; -1 when the stream is not open.
    std::int64_t position_us(std::uintptr_t stream) const;
    bool set_position_us(std::uintptr_t stream, std::int64_t us);
    bool close(std::uintptr_t stream);
    int volume(int channel) const;
    bool set_volume(int channel, int volume);
    bool tag_count(std::uintptr_t stream, int* count);
    bool tag_field(std::uintptr_t stream, int index, int* type, char** name, void** value, int* length);
    bool find_tag(std::uintptr_t stream, int type, const char* name, void** value, int* length);

    void set_read_hook(Mp3Decoder::ReadHook hook);
    // User-interface thread: calls a stream's end callback, unless it was played, stopped or closed
    // since the render noted its end. What is left of it plays out as the tail.
    void deliver_end(const PendingEnd& end);

    // --- Under the sound lock.
    bool initialised() const { return initialised_; }
    void set_initialised(bool on) { initialised_ = on; }
    // From now on staged changes wait for publish_locked(), which the user-interface thread calls
    // at the end of each turn.
    void set_turns(bool on) { turns_ = on; }
    bool publish_locked();  // true when something changed
    // Forgets every stream and channel; the streams go to `gone`, to be freed without the lock.
    void clear(std::vector<std::unique_ptr<SoundStream>>& gone);
    // The render found the play `token` of `stream` on `channel` near its end: the end to deliver,
    // unless a stop, replace or close staged meanwhile wins.
    std::optional<PendingEnd> end_noted(int channel, std::uintptr_t stream, std::uint64_t token) const;

    // For the now-playing watch.
    const SoundStream* stream(std::uintptr_t handle) const { return streams_.get(handle); }
    std::uintptr_t channel_stream(int channel) const { return staged_[static_cast<std::size_t>(channel)].stream; }
    int channel_volume(int channel) const { return staged_[static_cast<std::size_t>(channel)].volume; }
    // Reads the tags on first use (the file is read without holding `lock`); null when gone.
    SoundStream* with_tags(std::uintptr_t stream, std::unique_lock<std::mutex>& lock);

private:
    // A channel as the FSOUND_ calls see and change it.
    struct StagedChannel {
        std::uintptr_t stream = 0;               // 0 when free
        int volume = ChannelMixer::kFullVolume;  // as set, possibly outside 0..255
    };

    void staged();  // a change was staged: publish now unless turns publish
    int play_locked(int channel, std::uintptr_t stream);
    // Takes the stream off its channel; no end callback will come for what it played so far.
    void detach(SoundStream& s);
    static void hand_out(SoundStream& s, const std::vector<unsigned char>& bytes, void** value, int* length);

    SoundSystem& sound_;
    bool initialised_ = false;
    bool turns_ = false;
    Mp3Decoder::ReadHook read_hook_;
    HandleTable<SoundStream> streams_{HandleKind::Stream};
    std::array<StagedChannel, ChannelMixer::kChannels> staged_{};
    std::uint32_t assignment_changed_ = 0;  // one bit per channel
    std::uint32_t volume_changed_ = 0;
    std::vector<std::uintptr_t> seeks_;  // streams with a staged position
};

}  // namespace zv
