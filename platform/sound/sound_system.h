// The sound library behind the FSOUND_ functions: open streams, 32 mixed channels and an output.
// Render runs on the output's thread, everything else on the user-interface thread; one mutex
// guards the state both touch.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/handle_table.h"
#include "fmod.h"
#include "sound/audio_output.h"
#include "sound/channel_mixer.h"
#include "sound/sound_stream.h"

namespace zv {

class SoundSystem {
public:
    // Opens the output device; null when there is none.
    using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;
    // Hands a closure to the user-interface thread.
    using UiPoster = std::function<void(std::function<void()>)>;

    SoundSystem(AudioOutputFactory factory, UiPoster post);
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // The live instance the FSOUND_ functions reach, or null.
    static SoundSystem* current();

    bool init();
    void close();
    bool initialised() const;
    // The running output (null before init), so tests can pull from it.
    AudioOutput* output() const { return output_.get(); }

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

private:
    struct PendingEnd {
        std::uintptr_t stream;
        std::uint64_t token;
    };

    void render(std::int16_t* out, std::size_t frames);
    void deliver_end(std::uintptr_t stream, std::uint64_t token);
    // Takes the stream off its channel; no end callback will come for what it played so far.
    void detach(SoundStream& s);
    // Reads the tags on first use (the file is read without holding the lock); null when gone.
    SoundStream* with_tags(std::uintptr_t stream, std::unique_lock<std::mutex>& lock);
    static void hand_out(SoundStream& s, const std::vector<unsigned char>& bytes, void** value, int* length);

    AudioOutputFactory factory_;
    UiPoster post_;
    std::unique_ptr<AudioOutput> output_;  // touched on the user-interface thread only

    mutable std::mutex mutex_;
    bool initialised_ = false;
    HandleTable<SoundStream> streams_{HandleKind::Stream};
    ChannelMixer mixer_;

    // Posted closures hold this weakly, so one that runs after the system is gone does nothing.
    std::shared_ptr<SoundSystem*> alive_;
};

}  // namespace zv
