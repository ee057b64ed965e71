#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/codepage.h"
#include "instance/instance.h"
#include "instance/instance_protocol.h"
#include "instance/instance_socket.h"

namespace zv {

namespace instance_detail {

namespace {

bool is_directory(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string trim_slash(std::string dir)
{
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

}  // namespace

std::optional<std::string> runtime_dir(const AppProfile& profile)
{
    const char* own =
        profile.runtime_dir_variable.empty() ? nullptr : std::getenv(profile.runtime_dir_variable.c_str());
    if (own && *own) {
        const std::string dir = trim_slash(own);
        mkdir(dir.c_str(), 0700);  // existing is fine
        if (is_directory(dir)) return dir;
        return std::nullopt;
    }
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg && is_directory(xdg)) return trim_slash(xdg);

    // Shared /tmp: only a private folder of our own, never one someone else prepared for us.
    if (profile.runtime_prefix.empty()) return std::nullopt;  // no name of its own to claim there
    const std::string dir = "/tmp/" + profile.runtime_prefix + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0)
        return std::nullopt;
    return dir;
}

int poll_timeout(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 60000 ? 60000 : static_cast<int>(left);
}

UniqueFd connect_socket(const std::string& path, Clock::time_point deadline, int& err)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path)) {
        err = ENAMETOOLONG;
        return {};
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) {
        err = errno;
        return {};
    }
    if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0) return fd;
    if (errno != EINPROGRESS) {
        // EAGAIN: the peer's backlog is full, i.e. it is not accepting; treat as absent.
        err = errno;
        return {};
    }
    pollfd p{fd.get(), POLLOUT, 0};
    if (poll(&p, 1, poll_timeout(deadline)) != 1) {
        err = ETIMEDOUT;
        return {};
    }
    int so_error = 0;
    socklen_t len = sizeof(so_error);
    if (getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &so_error, &len) != 0 || so_error != 0) {
        err = so_error ? so_error : errno;
        return {};
    }
    return fd;
}

}  // namespace instance_detail

std::optional<std::string> instance_socket_path(const AppProfile& profile, std::u16string_view cls,
                                                std::u16string_view title)
{
    if (profile.runtime_prefix.empty()) return std::nullopt;
    const std::optional<std::string> dir = instance_detail::runtime_dir(profile);
    if (!dir) return std::nullopt;
    // FNV-1a over class, a separator that cannot occur in either, and title. A collision is
    // harmless: the server checks the class and title it is asked about.
    std::uint64_t h = 0xcbf29ce484222325ull;
    auto mix = [&h](std::string_view bytes) {
        for (const char c : bytes) {
            h ^= static_cast<unsigned char>(c);
            h *= 0x100000001b3ull;
        }
    };
    mix(narrow(cls));
    mix(std::string_view("\0", 1));
    mix(narrow(title));
    char hash[17];
    std::snprintf(hash, sizeof(hash), "%016llx", static_cast<unsigned long long>(h));
    std::string path = *dir + "/" + profile.runtime_prefix + hash + ".sock";
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) return std::nullopt;
    return path;
}

namespace {

bool ask(const AppProfile& profile, instance_protocol::Op op, std::u16string_view cls, std::u16string_view title,
         std::chrono::milliseconds timeout)
{
    using instance_detail::Clock;
    const std::optional<std::string> path = instance_socket_path(profile, cls, title);
    if (!path) return false;
    const std::string request = instance_protocol::encode({op, narrow(cls), narrow(title)});
    if (request.empty()) return false;

    Clock::time_point deadline = Clock::now() + timeout;
    int err = 0;
    UniqueFd fd = instance_detail::connect_socket(*path, deadline, err);
    if (!fd) return false;

    deadline = Clock::now() + timeout;
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd.get(), POLLOUT, 0};
            if (poll(&p, 1, instance_detail::poll_timeout(deadline)) == 1) continue;
        }
        return false;
    }

    deadline = Clock::now() + timeout;
    char answer[instance_protocol::kAnswerBytes];
    std::size_t got = 0;
    while (got < sizeof(answer)) {
        const ssize_t n = recv(fd.get(), answer + got, sizeof(answer) - got, 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd.get(), POLLIN, 0};
            if (poll(&p, 1, instance_detail::poll_timeout(deadline)) == 1) continue;
        }
        return false;  // closed, error or timed out
    }
    return std::string_view(answer, sizeof(answer)) == instance_protocol::kYes;
}

}  // namespace

bool query_instance(const AppProfile& profile, std::u16string_view cls, std::u16string_view title,
                    std::chrono::milliseconds timeout)
{
    return ask(profile, instance_protocol::Op::Query, cls, title, timeout);
}

bool raise_instance(const AppProfile& profile, std::u16string_view cls, std::u16string_view title,
                    std::chrono::milliseconds timeout)
{
    return ask(profile, instance_protocol::Op::Raise, cls, title, timeout);
}

}  // namespace zv
