#include "sound/decoder_thread.h"

#include <vector>

#include "sound/sound_system.h"

namespace zv {

void DecoderThread::start()
{
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(sound_.mutex());
        quit_ = false;
    }
    thread_ = std::thread([this] { loop(); });
}

void DecoderThread::stop()
{
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(sound_.mutex());
        quit_ = true;
    }
    work_.notify_all();
    thread_.join();
}

void DecoderThread::wake_locked()
{
    asleep_ = false;
    work_.notify_one();
}

bool DecoderThread::wait_asleep()
{
    std::unique_lock lock(sound_.mutex());
    return sound_.decoded().wait_for(lock, SoundSystem::kDecodeWait, [&] { return asleep_; });
}

std::shared_ptr<StreamSource> DecoderThread::most_urgent_locked() const
{
    const StreamSource* best = nullptr;
    std::shared_ptr<StreamSource> out;
    for (const MixChannel& m : sound_.gate().channels()) {
        if (!m.source || !m.source->wants_decoding()) continue;
        if (!best || m.source->ready() < best->ready()) {
            best = m.source.get();
            out = m.source;
        }
    }
    return out;
}

void DecoderThread::loop()
{
    std::vector<std::int16_t> buffer(StreamSource::kStepFrames * 2);
    std::unique_lock lock(sound_.mutex());
    while (!quit_) {
        if (auto gone = sound_.gate().take_retired(); !gone.empty()) {
            // Perhaps the last owners of closed streams: their files close without the lock.
            lock.unlock();
            gone.clear();
            lock.lock();
            continue;
        }
        std::shared_ptr<StreamSource> source = most_urgent_locked();
        if (!source) {
            asleep_ = true;
            sound_.decoded().notify_all();
            work_.wait(lock);
            asleep_ = false;
            continue;
        }
        const StreamSource::Step step = source->begin_step();
        lock.unlock();
        const StreamSource::Decoded decoded = source->decode(step, buffer);
        lock.lock();
        source->finish_step(step, decoded, buffer);
        const std::size_t waiting = sound_.gate().waiting_for();
        if (waiting && source->can_give(waiting)) sound_.decoded().notify_all();
        lock.unlock();
        source.reset();  // perhaps the last owner of a closed stream: its file closes without the lock
        lock.lock();
    }
}

}  // namespace zv
