#include "sound/sound_system.h"

#include <utility>
#include <vector>

namespace zv {

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
    if (gate_.output()) return true;
    if (!factory_) return false;
    std::unique_ptr<AudioOutput> out = factory_();
    if (!out) return false;
    {
        std::lock_guard lock(mutex_);
        table_.set_initialised(true);
    }
    decoder_.start();
    if (!gate_.start(std::move(out))) {
        decoder_.stop();
        std::lock_guard lock(mutex_);
        table_.set_initialised(false);
        return false;
    }
    return true;
}

void SoundSystem::close()
{
    gate_.stop();
    // The decoders are freed below, so a read in progress has to return first.
    decoder_.stop();
    std::vector<std::unique_ptr<SoundStream>> gone;
    OutputGate::Channels silenced{};
    std::vector<std::shared_ptr<StreamSource>> retired;
    {
        std::lock_guard lock(mutex_);
        table_.set_initialised(false);
        table_.clear(gone);
        gate_.clear(silenced, retired);
    }
}

bool SoundSystem::initialised() const
{
    std::lock_guard lock(mutex_);
    return table_.initialised();
}

void SoundSystem::publish_at_turn_end(bool on)
{
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        table_.set_turns(on);
        if (!on) changed = table_.publish_locked();
    }
    if (changed) gate_.wake();
}

void SoundSystem::publish()
{
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = table_.publish_locked();
    }
    if (changed) gate_.wake();
}

void SoundSystem::post(std::function<void(SoundSystem&)> fn)
{
    if (!post_) return;
    std::weak_ptr<SoundSystem*> alive = alive_;
    post_([alive, fn = std::move(fn)] {
        if (auto self = alive.lock()) fn(**self);
    });
}

std::uint64_t SoundSystem::now_playing_version()
{
    std::lock_guard lock(mutex_);
    return now_playing_watch_.version(table_);
}

NowPlaying SoundSystem::now_playing()
{
    std::unique_lock lock(mutex_);
    return now_playing_watch_.snapshot(table_, lock);
}

}  // namespace zv
