// The sound library behind the FSOUND_ functions: open streams, 32 mixed channels, a decoder
// thread and an output.
//
// Three threads meet here. The user-interface thread makes the FSOUND_ calls; the decoder thread
// keeps half a second to a second decoded ahead of every playing stream, woken only to refill it
// in one batch; the output's thread mixes what is decoded (render). One mutex, the sound lock,
// guards what they share, and no file is ever read, sought or closed while it is held, so neither
// the output nor a user-interface call waits on a disk.
//
// The user-interface side stages what it changes (play, stop, position, volume). The changes reach
// the mixer together when they are published: at the end of each turn of the user-interface thread
// once publish_at_turn_end() is on, otherwise at once after every call. Stopping or closing a
// stream takes it off the mixer at once: a stopped stream's position is where its sound stopped,
// and a closed stream's file goes as soon as no thread reads it.
//
// At rest nothing runs: the decoder thread waits without a timeout, and once no channel has
// sounded for kDeviceGraceFrames of output the device is let go (the output's thread ends). The
// output counts that time itself, so nothing polls; a play that makes a channel sound takes the
// device again at once, and it goes on from exactly the frames the mixer had not yet taken.
#pragma once
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/current_instance.h"
#include "base/handle_table.h"
#include "fmod.h"
#include "sound/audio_output.h"
#include "sound/channel_mixer.h"
#include "sound/mp3_decoder.h"
#include "sound/now_playing.h"
#include "sound/sound_stream.h"

namespace zv {

class SoundSystem {
public:
    // Opens the output device; null when there is none.
    using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;
    // Hands a closure to the user-interface thread.
    using UiPoster = std::function<void(std::function<void()>)>;

    // How long the output plays silence before the device is let go: 3 s, so that stepping from one
    // track to the next, or a short pause, never closes it.
    static constexpr std::size_t kDeviceGraceFrames = 3 * static_cast<std::size_t>(Mp3Decoder::kRate);

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
    AudioOutput* output() const { return output_.get(); }

    // From now on staged changes wait for publish(), which the user-interface thread calls at the
    // end of each turn.
    void publish_at_turn_end(bool on);
    void publish();
    // Installed on every stream opened afterwards (a test seam: it can hold the decoder's reads).
    void set_read_hook(Mp3Decoder::ReadHook hook);
    // A test seam as well: waits until the decoder thread sleeps until it is woken again, having
    // decoded what it was woken for. False when that takes more than a generous bound (a fault).
    bool wait_decoder_asleep();

    std::uintptr_t open_stream(const char* path);  // 0 on failure
    bool set_end_callback(std::uintptr_t stream, FSOUND_STREAMCALLBACK callback, void* userdata);
    int play(int channel, std::uintptr_t stream);  // the channel used, or -1
    bool stop(std::uintptr_t stream);
    bool is_open(std::uintptr_t stream) const;
    std::uint32_t position(std::uintptr_t stream) const;
    bool set_position(std::uintptr_t stream, std::uint32_t frame);
    bool close_stream(std::uintptr_t stream);

    int volume(int channel) const;
    bool set_volume(int channel, int volume);

    bool tag_count(std::uintptr_t stream, int* count);
    bool tag_field(std::uintptr_t stream, int index, int* type, char** name, void** value, int* length);
    bool find_tag(std::uintptr_t stream, int type, const char* name, void** value, int* length);

    // For the desktop's media controls (now_playing.cpp): what plays, and a number that changes
    // whenever that answer would, cheap enough to ask at the end of every turn.
    NowPlaying now_playing();
    std::uint64_t now_playing_version();

private:
    struct PendingEnd {
        std::uintptr_t stream = 0;
        std::uint64_t token = 0;
    };
    // A channel as the FSOUND_ calls see and change it.
    struct StagedChannel {
        std::uintptr_t stream = 0;               // 0 when free
        int volume = ChannelMixer::kFullVolume;  // as set, possibly outside 0..255
    };
    // A channel as the mixer plays it: what was last published.
    struct MixChannel {
        std::shared_ptr<StreamSource> source;  // null when silent
        std::uintptr_t stream = 0;
        std::uint64_t token = 0;  // the stream's play token when it was published here
        std::int32_t gain = ChannelMixer::kUnityGain;
    };

    // `wait`: the output wants the same sound whatever the threads' timing.
    void render(std::int16_t* out, std::size_t frames, bool wait);
    bool sounding() const;  // a published channel has a stream
    // User-interface thread: lets the device go if nothing has sounded for the grace period, and
    // takes it again once something sounds.
    void rest_output();
    void wake_output();
    // One mixer pass of at most ChannelMixer::kMaxFrames frames; notes streams that played out.
    void mix(std::int16_t* out, std::size_t frames, std::vector<PendingEnd>& ended);
    void note_end(int channel, std::vector<PendingEnd>& ended);
    bool all_can_give(std::size_t frames) const;
    void deliver_end(std::uintptr_t stream, std::uint64_t token);

    void decode_loop();
    void wake_decoder_locked();
    std::shared_ptr<StreamSource> most_urgent() const;
    void start_decoder();
    void stop_decoder();

    // Staging (all under the lock).
    void staged();          // a change was staged: publish now unless turns publish
    bool publish_locked();  // true when something changed
    int play_locked(int channel, std::uintptr_t stream);
    // Takes the stream off its channel; no end callback will come for what it played so far.
    void detach(SoundStream& s);
    // Takes the stream off the mixer now, without waiting for the turn's end.
    void unmix(const SoundStream& s);

    // Reads the tags on first use (the file is read without holding the lock); null when gone.
    SoundStream* with_tags(std::uintptr_t stream, std::unique_lock<std::mutex>& lock);
    void watch_now_playing_locked();
    static void hand_out(SoundStream& s, const std::vector<unsigned char>& bytes, void** value, int* length);

    AudioOutputFactory factory_;
    UiPoster post_;
    std::unique_ptr<AudioOutput> output_;  // touched on the user-interface thread only
    bool output_resting_ = false;          // likewise: output_ is suspended
    std::thread decoder_;                  // likewise

    mutable std::mutex mutex_;         // the sound lock
    std::condition_variable work_;     // the decoder thread may have something to do
    std::condition_variable decoded_;  // frames were decoded, or the playing set changed
    bool initialised_ = false;
    bool turns_ = false;
    std::size_t waiting_for_ = 0;  // frames a waiting render wants from every playing stream
    bool decoder_quit_ = false;
    bool decoder_asleep_ = false;  // waiting for work, and nobody has woken it since
    // Frames the output has rendered since a channel last sounded, up to the grace period.
    std::size_t silent_frames_ = 0;
    Mp3Decoder::ReadHook read_hook_;
    HandleTable<SoundStream> streams_{HandleKind::Stream};

    std::array<StagedChannel, ChannelMixer::kChannels> staged_{};
    std::uint32_t assignment_changed_ = 0;  // one bit per channel
    std::uint32_t volume_changed_ = 0;
    std::vector<std::uintptr_t> seeks_;  // streams with a staged position

    std::array<MixChannel, ChannelMixer::kChannels> mix_{};
    ChannelMixer mixer_;
    NowPlayingWatch now_playing_watch_;

    // Posted closures hold this weakly, so one that runs after the system is gone does nothing.
    std::shared_ptr<SoundSystem*> alive_;
    CurrentInstance<SoundSystem> current_{this};  // last: registered once the rest exists
};

}  // namespace zv
