// The user-interface half of the platform, as four parts by concern: the window tree, the message
// queue, input routing and the screen. This holds them together (each reaches the others through
// it) and is what the Win32 entry points find as the current instance. Runs on the one
// user-interface thread; only posting to the queue is thread-safe.
#pragma once
#include "base/backend.h"
#include "base/current_instance.h"
#include "core/input_router.h"
#include "core/message_queue.h"
#include "core/screen.h"
#include "core/window_tree.h"

namespace zv {

class UserState {
public:
    explicit UserState(Backend& backend, int screen_width = 240, int screen_height = 320);
    UserState(const UserState&) = delete;
    UserState& operator=(const UserState&) = delete;

    static UserState* current() { return CurrentInstance<UserState>::get(); }

    WindowTree& windows() { return windows_; }
    MessageQueue& queue() { return queue_; }
    InputRouter& input() { return input_; }
    Screen& screen() { return screen_; }

private:
    WindowTree windows_;
    MessageQueue queue_;
    InputRouter input_;
    Screen screen_;
    CurrentInstance<UserState> current_{this};  // last: current once the parts exist
};

}  // namespace zv
