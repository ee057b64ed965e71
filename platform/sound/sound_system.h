// The sound library behind the FSOUND_ functions: open streams, 32 mixed channels, a decoder
// thread and an output. SoundSystem holds the parts and the lock they share:
//
// - StreamTable (stream_table.h): the streams and channels as the FSOUND_ calls change them, the
//   staging and publication of those changes, tags and end delivery;
// - DecoderThread (decoder_thread.h): keeps every playing stream decoded ahead;
// - OutputGate (output_gate.h): the device, its rest and wake, and the render that mixes;
// - NowPlayingWatch (now_playing.h): what the desktop's media controls read.
//
// Three threads meet here. The user-interface thread makes the FSOUND_ calls, the decoder thread
// decodes, and the output's thread renders. One mutex, the sound lock, guards what they share, and
// no file is ever read, sought or closed while it is held.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "base/current_instance.h"
#include "fmod.h"
#include "sound/audio_output.h"
#include "sound/decoder_thread.h"
#include "sound/now_playing.h"
#include "sound/output_gate.h"
#include "sound/stream_table.h"

namespace zv {

class SoundSystem {
public:
    // Opens the output device; null when there is none.
    using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;
    // Hands a closure to the user-interface thread.
    using UiPoster = std::function<void(std::function<void()>)>;

    static constexpr std::size_t kDeviceGraceFrames = OutputGate::kDeviceGraceFrames;
    // How long a render for a waiting output (a test's sink), or a test waiting for the decoder,
    // waits before it goes on. Generous: it only bounds a fault.
    static constexpr std::chrono::seconds kDecodeWait{10};

    SoundSystem(AudioOutputFactory factory, UiPoster post);
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // The live instance the FSOUND_ functions reach, or null (base/current_instance.h).
    static SoundSystem* current() { return CurrentInstance<SoundSystem>::get(); }

    bool init();
    void close();
    bool initialised() const;
    // The running output (null before init), so tests can pull from it.
    AudioOutput* output() const { return gate_.output(); }

    // From now on staged changes wait for publish(), which the user-interface thread calls at the
    // end of each turn.
    void publish_at_turn_end(bool on);
    void publish();
    // Installed on every stream opened afterwards (a test seam: it can hold the decoder's reads).
    void set_read_hook(Mp3Decoder::ReadHook hook) { table_.set_read_hook(std::move(hook)); }
    // A test seam as well (DecoderThread::wait_asleep).
    bool wait_decoder_asleep() { return decoder_.wait_asleep(); }

    std::uintptr_t open_stream(const char* path) { return table_.open(path); }
    bool set_end_callback(std::uintptr_t stream, FSOUND_STREAMCALLBACK callback, void* userdata)
    {
        return table_.set_end_callback(stream, callback, userdata);
    }
    int play(int channel, std::uintptr_t stream) { return table_.play(channel, stream); }
    bool stop(std::uintptr_t stream) { return table_.stop(stream); }
    bool is_open(std::uintptr_t stream) const { return table_.is_open(stream); }
    std::uint32_t position(std::uintptr_t stream) const { return table_.position(stream); }
    bool set_position(std::uintptr_t stream, std::uint32_t frame) { return table_.set_position(stream, frame); }
    std::int64_t position_us(std::uintptr_t stream) const { return table_.position_us(stream); }
    bool set_position_us(std::uintptr_t stream, std::int64_t us) { return table_.set_position_us(stream, us); }
    bool close_stream(std::uintptr_t stream) { return table_.close(stream); }
    int volume(int channel) const { return table_.volume(channel); }
    bool set_volume(int channel, int volume) { return table_.set_volume(channel, volume); }
    bool tag_count(std::uintptr_t stream, int* count) { return table_.tag_count(stream, count); }
    bool tag_field(std::uintptr_t stream, int index, int* type, char** name, void** value, int* length)
    {
        return table_.tag_field(stream, index, type, name, value, length);
    }
    bool find_tag(std::uintptr_t stream, int type, const char* name, void** value, int* length)
    {
        return table_.find_tag(stream, type, name, value, length);
    }

    // For the desktop's media controls: what plays, and a number that changes whenever that
    // answer would.
    NowPlaying now_playing();
    std::uint64_t now_playing_version();

    // --- For the parts.
    std::mutex& mutex() const { return mutex_; }
    // Frames were decoded, the playing set changed, or the decoder thread went to sleep.
    std::condition_variable& decoded() { return decoded_; }
    StreamTable& table() { return table_; }
    DecoderThread& decoder() { return decoder_; }
    OutputGate& gate() { return gate_; }
    // Runs `fn` on the user-interface thread, unless this system is gone by then.
    void post(std::function<void(SoundSystem&)> fn);

private:
    AudioOutputFactory factory_;
    UiPoster post_;
    mutable std::mutex mutex_;  // the sound lock
    std::condition_variable decoded_;
    StreamTable table_{*this};
    DecoderThread decoder_{*this};
    OutputGate gate_{*this};
    NowPlayingWatch now_playing_watch_;

    // Posted closures hold this weakly, so one that runs after the system is gone does nothing.
    std::shared_ptr<SoundSystem*> alive_;
    CurrentInstance<SoundSystem> current_{this};  // last: registered once the rest exists
};

}  // namespace zv
