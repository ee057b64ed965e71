#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "files/codepage.h"
#include "instance/instance.h"
#include "instance/instance_protocol.h"
#include "instance/instance_socket.h"

namespace zv {

namespace {

using instance_detail::Clock;

// More simultaneous clients than this are turned away; a starter then sees no answer and, at
// worst, starts a second window, which beats wedging.
constexpr std::size_t kMaxClients = 16;

// Serialises "replace a stale socket / remove our socket" between processes, so a starter can
// never delete the socket a neighbour bound a moment earlier.
class PathLock {
public:
    explicit PathLock(const std::string& socket_path)
        : fd_(::open((socket_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (fd_) flock(fd_.get(), LOCK_EX);
    }
    ~PathLock()
    {
        if (fd_) flock(fd_.get(), LOCK_UN);
    }
    PathLock(const PathLock&) = delete;
    PathLock& operator=(const PathLock&) = delete;

private:
    UniqueFd fd_;
};

struct Client {
    UniqueFd fd;
    std::vector<unsigned char> bytes;
    Clock::time_point deadline;
};

}  // namespace

class InstanceServer::Impl {
public:
    Impl(const AppProfile& profile, std::u16string cls, std::u16string title, std::function<void()> on_raise,
         std::chrono::milliseconds timeout)
        : cls_(narrow(cls)), title_(narrow(title)), on_raise_(std::move(on_raise)), timeout_(timeout)
    {
        const std::optional<std::string> path = instance_socket_path(profile, cls, title);
        if (!path) return;
        path_ = *path;
        if (!bind_socket()) return;
        wake_.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!wake_) {
            remove_socket_file();
            listen_.reset();
            return;
        }
        try {
            thread_ = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
            listen_.reset();
            remove_socket_file();
        }
    }

    ~Impl()
    {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = write(wake_.get(), &one, sizeof(one));
            thread_.join();
        }
        if (listen_) {
            listen_.reset();
            remove_socket_file();
        }
    }

    bool listening() const { return thread_.joinable(); }
    const std::string& path() const { return path_; }

private:
    bool bind_socket()
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);  // length checked by instance_socket_path
        const auto* sa = reinterpret_cast<const sockaddr*>(&addr);

        PathLock lock(path_);
        UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd) return false;
        if (bind(fd.get(), sa, sizeof(addr)) != 0) {
            if (errno != EADDRINUSE || !replace_stale_socket()) return false;
            if (bind(fd.get(), sa, sizeof(addr)) != 0) return false;
        }
        if (listen(fd.get(), 8) != 0) {
            unlink(path_.c_str());
            return false;
        }
        struct stat st {};
        if (lstat(path_.c_str(), &st) == 0) {
            bound_dev_ = st.st_dev;
            bound_ino_ = st.st_ino;
        }
        listen_ = std::move(fd);
        return true;
    }

    // A socket file nobody listens on was left by a process that died; anything else stays.
    bool replace_stale_socket()
    {
        struct stat st {};
        if (lstat(path_.c_str(), &st) != 0) return errno == ENOENT;
        if (!S_ISSOCK(st.st_mode)) return false;
        int err = 0;
        const UniqueFd probe = instance_detail::connect_socket(path_, Clock::now() + timeout_, err);
        if (probe || err != ECONNREFUSED) return false;  // alive, or not sure: leave it
        return unlink(path_.c_str()) == 0 || errno == ENOENT;
    }

    void remove_socket_file()
    {
        PathLock lock(path_);
        struct stat st {};
        if (lstat(path_.c_str(), &st) == 0 && st.st_dev == bound_dev_ && st.st_ino == bound_ino_) unlink(path_.c_str());
    }

    void serve()
    {
        std::vector<Client> clients;
        std::vector<pollfd> fds;
        for (;;) {
            fds.assign({{wake_.get(), POLLIN, 0}, {listen_.get(), POLLIN, 0}});
            Clock::time_point next_deadline = Clock::time_point::max();
            for (const Client& c : clients) {
                fds.push_back({c.fd.get(), POLLIN, 0});
                if (c.deadline < next_deadline) next_deadline = c.deadline;
            }
            const int wait = clients.empty() ? -1 : instance_detail::poll_timeout(next_deadline);
            if (poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) return;
            if (fds[0].revents) return;

            // Clients first: their indices in `fds` match `clients` only before new ones join.
            std::vector<Client> kept;
            const auto now = Clock::now();
            for (std::size_t i = 0; i < clients.size(); ++i) {
                Client& c = clients[i];
                const bool done = fds[i + 2].revents ? serve_client(c) : c.deadline <= now;
                if (!done) kept.push_back(std::move(c));
            }
            clients = std::move(kept);

            if (fds[1].revents & POLLIN) {
                for (;;) {
                    UniqueFd fd(accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
                    if (!fd) break;
                    if (clients.size() < kMaxClients) clients.push_back({std::move(fd), {}, Clock::now() + timeout_});
                }
            }
        }
    }

    // Reads what the client sent; true when the client is finished with (answered or dropped).
    bool serve_client(Client& c)
    {
        unsigned char buf[512];
        for (;;) {
            const ssize_t n = recv(c.fd.get(), buf, sizeof(buf), 0);
            if (n == 0) return true;
            if (n < 0) return !(errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
            if (c.bytes.size() + static_cast<std::size_t>(n) > instance_protocol::kMaxRequestBytes) return true;
            c.bytes.insert(c.bytes.end(), buf, buf + n);
            instance_protocol::Request req;
            switch (instance_protocol::parse(c.bytes, req)) {
                case instance_protocol::Parse::Incomplete: continue;
                case instance_protocol::Parse::Malformed: return true;
                case instance_protocol::Parse::Complete: answer(c, req); return true;
            }
        }
    }

    void answer(const Client& c, const instance_protocol::Request& req)
    {
        const bool ours = req.cls == cls_ && req.title == title_;
        if (ours && req.op == instance_protocol::Op::Raise && on_raise_) {
            try {
                on_raise_();
            } catch (...) {
                // The server thread outlives any one bad callback.
            }
        }
        const std::string_view reply = ours ? instance_protocol::kYes : instance_protocol::kNo;
        // Four bytes into a fresh socket's buffer: never blocks, never short.
        [[maybe_unused]] const ssize_t n = send(c.fd.get(), reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }

    std::string cls_;
    std::string title_;
    std::function<void()> on_raise_;
    std::chrono::milliseconds timeout_;
    std::string path_;
    UniqueFd listen_;
    UniqueFd wake_;
    dev_t bound_dev_ = 0;
    ino_t bound_ino_ = 0;
    std::thread thread_;
};

InstanceServer::InstanceServer(const AppProfile& profile, std::u16string cls, std::u16string title,
                               std::function<void()> on_raise, std::chrono::milliseconds client_timeout)
    : impl_(std::make_unique<Impl>(profile, std::move(cls), std::move(title), std::move(on_raise), client_timeout))
{
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::listening() const { return impl_->listening(); }

const std::string& InstanceServer::socket_path() const { return impl_->path(); }

}  // namespace zv
