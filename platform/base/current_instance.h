// The "current instance" of a platform part: the object the free Win32-style functions reach
// (GdiState::current(), SoundSystem::current(), ...). Every such part follows one rule:
//
//   - current() is the most recently constructed instance that is still alive, or null.
//   - An instance becomes current when it is constructed and stops being current when it is
//     destroyed; an instance made while another lives (a test inside a running platform) hands
//     back to that outer one when it ends.
//   - Destroyed out of nesting order (the outer before the inner), an instance that is not current
//     leaves current() alone and is unlinked, so the inner one later hands back to whatever was
//     live before both, never to a destroyed object.
//
// Threads: current() may be read from any thread (a test thread makes the platform that the
// program's threads use). It is one atomic load, and an instance is published with release order,
// so a reader sees its members constructed. Instances of one T are constructed and destroyed by
// one thread at a time: the chain of earlier instances is not locked. Reading current() does not
// keep the instance alive; whoever destroys one makes sure no other thread still uses it (the
// platform joins its threads first).
//
// Use: a member declared last in T, `CurrentInstance<T> current_{this};`. Declared last, it
// registers once the other members exist and unregisters right after T's destructor body, before
// they are destroyed. T's constructor body still runs after registration, so a thread that reads
// current() must not start before that body ends (the platform starts its threads later).
//
// Not every piece of platform state is per instance: the pixel-buffer cache (gdi/pixel_memory)
// is process-wide, because surfaces owned by statics may be freed after every platform is gone,
// and the blocks it keeps are plain memory that any instance can reuse.
#pragma once
#include <atomic>

namespace zv {

template <class T>
class CurrentInstance {
public:
    explicit CurrentInstance(T* self) noexcept : self_(self), previous_(newest_)
    {
        newest_ = this;
        published_.store(self_, std::memory_order_release);
    }

    ~CurrentInstance()
    {
        if (newest_ == this) {
            newest_ = previous_;
            published_.store(previous_ ? previous_->self_ : nullptr, std::memory_order_release);
            return;
        }
        // An instance made after this one still lives and stays current: unlink this one so
        // that it hands back past it.
        for (CurrentInstance* later = newest_; later; later = later->previous_) {
            if (later->previous_ == this) {
                later->previous_ = previous_;
                return;
            }
        }
    }

    CurrentInstance(const CurrentInstance&) = delete;
    CurrentInstance& operator=(const CurrentInstance&) = delete;

    // The newest live instance of T, or null. Any thread.
    static T* get() noexcept { return published_.load(std::memory_order_acquire); }

private:
    T* const self_;
    CurrentInstance* previous_;  // the live instance made just before this one, or null

    static inline CurrentInstance* newest_ = nullptr;   // the constructing/destroying thread's view
    static inline std::atomic<T*> published_{nullptr};  // newest_->self_, for every thread
};

}  // namespace zv
