#include "instance/instance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "base/unique_fd.h"
#include "instance/instance_protocol.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
namespace proto = zv::instance_protocol;

// A private runtime folder for the test, published the way the program finds it.
class RuntimeDir {
public:
    RuntimeDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "zvinst-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) ADD_FAILURE() << "mkdtemp failed";
        path_ = tmpl;
        if (const char* old = std::getenv("ZORVANE_RUNTIME_DIR")) old_ = old;
        setenv("ZORVANE_RUNTIME_DIR", path_.c_str(), 1);
    }
    ~RuntimeDir()
    {
        if (old_)
            setenv("ZORVANE_RUNTIME_DIR", old_->c_str(), 1);
        else
            unsetenv("ZORVANE_RUNTIME_DIR");
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    std::optional<std::string> old_;
};

sockaddr_un address(const std::string& path)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return addr;
}

// A socket bound at `path`; listening or not.
zv::UniqueFd bound_socket(const std::string& path, bool listening)
{
    zv::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un addr = address(path);
    EXPECT_EQ(bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    if (listening) {
        EXPECT_EQ(listen(fd.get(), 4), 0);
    }
    return fd;
}

zv::UniqueFd connect_raw(const std::string& path)
{
    zv::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un addr = address(path);
    EXPECT_EQ(connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

// What the server sends before closing; bounded so a broken server fails the test, not hangs it.
std::string read_until_closed(const zv::UniqueFd& fd)
{
    std::string got;
    for (;;) {
        pollfd p{fd.get(), POLLIN, 0};
        if (poll(&p, 1, 10000) != 1) return got + "<no close>";
        char buf[64];
        const ssize_t n = recv(fd.get(), buf, sizeof buf, 0);
        if (n <= 0) return got;
        got.append(buf, static_cast<std::size_t>(n));
    }
}

TEST(Instance, ServerAnswersQueriesAndRaisesForItsOwnClassAndTitle)
{
    RuntimeDir dir;
    std::atomic<int> raised{0};
    std::string path;
    {
        zv::InstanceServer server(u"VEMO", u"Zorvane", [&] { ++raised; });
        ASSERT_TRUE(server.listening());
        path = server.socket_path();
        EXPECT_EQ(fs::path(path).parent_path(), dir.path());
        EXPECT_TRUE(fs::is_socket(path));

        EXPECT_TRUE(zv::query_instance(u"VEMO", u"Zorvane"));
        EXPECT_EQ(raised, 0);
        EXPECT_TRUE(zv::raise_instance(u"VEMO", u"Zorvane"));
        EXPECT_EQ(raised, 1);  // acknowledged only after the callback ran
        EXPECT_FALSE(zv::query_instance(u"VEMO", u"Vemo"));
        EXPECT_FALSE(zv::raise_instance(u"Other", u"Zorvane"));
        EXPECT_EQ(raised, 1);
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(zv::query_instance(u"VEMO", u"Zorvane"));
}

TEST(Instance, NothingRunningMeansNoInstance)
{
    RuntimeDir dir;
    EXPECT_FALSE(zv::query_instance(u"VEMO", u"Zorvane"));
    EXPECT_FALSE(zv::raise_instance(u"VEMO", u"Zorvane"));
}

TEST(Instance, SocketLeftByACrashedProcessIsReplaced)
{
    RuntimeDir dir;
    const std::optional<std::string> path = zv::instance_socket_path(u"VEMO", u"Zorvane");
    ASSERT_TRUE(path);
    bound_socket(*path, false);  // closed again at once; the file stays, as after a crash
    ASSERT_TRUE(fs::is_socket(*path));
    EXPECT_FALSE(zv::query_instance(u"VEMO", u"Zorvane"));

    std::atomic<int> raised{0};
    zv::InstanceServer server(u"VEMO", u"Zorvane", [&] { ++raised; });
    EXPECT_TRUE(server.listening());
    EXPECT_TRUE(zv::raise_instance(u"VEMO", u"Zorvane"));
    EXPECT_EQ(raised, 1);
}

TEST(Instance, ALiveInstanceKeepsItsSocket)
{
    RuntimeDir dir;
    zv::InstanceServer first(u"VEMO", u"Zorvane", {});
    ASSERT_TRUE(first.listening());
    {
        zv::InstanceServer second(u"VEMO", u"Zorvane", {});
        EXPECT_FALSE(second.listening());
    }
    EXPECT_TRUE(fs::is_socket(first.socket_path()));
    EXPECT_TRUE(zv::query_instance(u"VEMO", u"Zorvane"));

    // Something that is not a socket is never deleted to make room.
    const std::optional<std::string> other = zv::instance_socket_path(u"VEMO", u"Notes");
    std::ofstream(*other) << "keep";
    zv::InstanceServer third(u"VEMO", u"Notes", {});
    EXPECT_FALSE(third.listening());
    EXPECT_TRUE(fs::is_regular_file(*other));
}

TEST(Instance, WedgedPeerCannotHangTheStarter)
{
    RuntimeDir dir;
    // Listens but never accepts or answers.
    const zv::UniqueFd wedged = bound_socket(*zv::instance_socket_path(u"VEMO", u"Zorvane"), true);
    EXPECT_FALSE(zv::query_instance(u"VEMO", u"Zorvane", 50ms));
    EXPECT_FALSE(zv::raise_instance(u"VEMO", u"Zorvane", 50ms));
}

TEST(Instance, BadAndSilentClientsAreDroppedWithoutBlockingOthers)
{
    RuntimeDir dir;
    std::atomic<int> raised{0};
    zv::InstanceServer server(
        u"VEMO", u"Zorvane", [&] { ++raised; }, 60s);
    ASSERT_TRUE(server.listening());

    const zv::UniqueFd silent = connect_raw(server.socket_path());

    const zv::UniqueFd garbage = connect_raw(server.socket_path());
    ASSERT_EQ(send(garbage.get(), "GET / HTTP/1.0\r\n", 16, MSG_NOSIGNAL), 16);
    EXPECT_EQ(read_until_closed(garbage), "");

    const zv::UniqueFd oversized = connect_raw(server.socket_path());
    const char header[] = {'Z', 'V', 'I', '1', 'R', '\xFF', '\xFF', 0, 0};
    ASSERT_EQ(send(oversized.get(), header, sizeof header, MSG_NOSIGNAL), 9);
    EXPECT_EQ(read_until_closed(oversized), "");

    const zv::UniqueFd stranger = connect_raw(server.socket_path());
    const std::string req = proto::encode({proto::Op::Raise, "VEMO", "Someone else"});
    ASSERT_EQ(send(stranger.get(), req.data(), req.size(), MSG_NOSIGNAL), static_cast<ssize_t>(req.size()));
    EXPECT_EQ(read_until_closed(stranger), "ZVNO");

    // The silent client is still connected, and others are served meanwhile.
    EXPECT_TRUE(zv::raise_instance(u"VEMO", u"Zorvane"));
    EXPECT_EQ(raised, 1);
}

TEST(Instance, UnusableRuntimeFolderDisablesTheRule)
{
    RuntimeDir dir;
    const std::string nested = (dir.path() / "missing" / "deeper").string();
    setenv("ZORVANE_RUNTIME_DIR", nested.c_str(), 1);
    EXPECT_FALSE(zv::instance_socket_path(u"VEMO", u"Zorvane"));
    zv::InstanceServer server(u"VEMO", u"Zorvane", {});
    EXPECT_FALSE(server.listening());
    EXPECT_FALSE(zv::query_instance(u"VEMO", u"Zorvane"));

    // Too long for a socket address.
    const std::string deep = (dir.path() / std::string(120, 'd')).string();
    setenv("ZORVANE_RUNTIME_DIR", deep.c_str(), 1);
    EXPECT_FALSE(zv::instance_socket_path(u"VEMO", u"Zorvane"));
}

TEST(InstanceProtocol, ParsingIsBoundsCheckedAndStrict)
{
    const proto::Request in{proto::Op::Raise, "VEMO", "Zorv\xC3\xA1ne"};
    const std::string wire = proto::encode(in);
    const auto bytes = [](const std::string& s) {
        return std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    };
    proto::Request out;
    ASSERT_EQ(proto::parse(bytes(wire), out), proto::Parse::Complete);
    EXPECT_EQ(out.op, proto::Op::Raise);
    EXPECT_EQ(out.cls, in.cls);
    EXPECT_EQ(out.title, in.title);

    for (std::size_t n = 0; n < wire.size(); ++n)
        EXPECT_EQ(proto::parse(bytes(wire.substr(0, n)), out), proto::Parse::Incomplete) << n;
    EXPECT_EQ(proto::parse(bytes(wire + "x"), out), proto::Parse::Malformed);
    EXPECT_EQ(proto::parse(bytes("X"), out), proto::Parse::Malformed);
    EXPECT_EQ(proto::parse(bytes("ZVI1S"), out), proto::Parse::Malformed);
    EXPECT_EQ(proto::parse(bytes(std::string("ZVI1Q\x01\x04\0\0", 9)), out), proto::Parse::Malformed);
    EXPECT_TRUE(proto::encode({proto::Op::Query, std::string(proto::kMaxFieldBytes + 1, 'c'), ""}).empty());
}

}  // namespace
