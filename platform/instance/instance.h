// The single-instance rule across processes. The running program's main window is announced by
// an InstanceServer listening on a per-user Unix-domain socket named after its window class and
// title; a starting process finds it with query_instance and brings it forward with
// raise_instance. Sockets live in the folder the profile's runtime variable names, else
// $XDG_RUNTIME_DIR, else /tmp/<runtime prefix><uid>/ (created 0700, refused unless it is ours and
// private), and are named after the runtime prefix too. A profile without a runtime prefix has no
// sockets: every query answers no and a server never listens.
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/app_profile.h"

namespace zv {

inline constexpr std::chrono::milliseconds kInstanceTimeout{1000};

// The socket path for a class and title; nullopt when no usable runtime folder exists or the path
// is too long for a socket address.
std::optional<std::string> instance_socket_path(const AppProfile& profile, std::u16string_view cls,
                                                std::u16string_view title);

class InstanceServer {
public:
    // Binds and listens at once. A socket file left by a crashed process is replaced; a live
    // instance keeps its socket and this server stays inactive (listening() is false). on_raise
    // runs on the server's own thread whenever another process asks for the window; it should only
    // post to the UI thread. `client_timeout` bounds how long a silent client is kept.
    InstanceServer(const AppProfile& profile, std::u16string cls, std::u16string title, std::function<void()> on_raise,
                   std::chrono::milliseconds client_timeout = kInstanceTimeout);
    // Stops the thread and removes the socket file (only if it is still this server's).
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    bool listening() const;
    const std::string& socket_path() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// True when a live process serves this class and title. Never waits longer than `timeout` per
// step (connect, send, answer), so a wedged peer cannot hang the caller.
bool query_instance(const AppProfile& profile, std::u16string_view cls, std::u16string_view title,
                    std::chrono::milliseconds timeout = kInstanceTimeout);

// Asks that process to bring its window forward; true once it acknowledged.
bool raise_instance(const AppProfile& profile, std::u16string_view cls, std::u16string_view title,
                    std::chrono::milliseconds timeout = kInstanceTimeout);

}  // namespace zv
