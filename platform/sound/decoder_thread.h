// The decoder thread: keeps half a second to a second decoded ahead of every stream the mixer
// plays, woken only to refill a ring in one batch, the emptiest first. No file is read, sought or
// closed while the sound lock is held, so neither the output nor a user-interface call waits on a
// disk. At rest it waits without a timeout.
#pragma once
#include <condition_variable>
#include <memory>
#include <thread>

#include "sound/stream_source.h"

namespace zv {

class SoundSystem;

class DecoderThread {
public:
    explicit DecoderThread(SoundSystem& sound) : sound_(sound) {}

    // User-interface thread, without the lock.
    void start();
    void stop();  // when it returns, no decode is in progress

    // Under the sound lock: there may be something to decode.
    void wake_locked();
    // A test seam: waits until the thread sleeps until it is woken again, having decoded what it
    // was woken for. False when that takes more than a generous bound (a fault).
    bool wait_asleep();

private:
    void loop();
    std::shared_ptr<StreamSource> most_urgent_locked() const;

    SoundSystem& sound_;
    std::thread thread_;            // touched on the user-interface thread only
    std::condition_variable work_;  // the thread may have something to do
    bool quit_ = false;             // under the sound lock
    bool asleep_ = false;           // likewise: waiting for work, and nobody has woken it since
};

}  // namespace zv
