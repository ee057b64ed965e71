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
#include <tuple>

#include "base/unique_fd.h"
#include "entry/zorvane_profile.h"
#include "instance/instance_protocol.h"
#include "tests/support/fixture_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
namespace proto = zv::instance_protocol;

// A private runtime folder for each test, published the way the program finds it.
class Instance : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("ZORVANE_RUNTIME_DIR")) old_ = old;
        setenv("ZORVANE_RUNTIME_DIR", dir_.path().c_str(), 1);
    }
    void TearDown() override
    {
        if (old_)
            setenv("ZORVANE_RUNTIME_DIR", old_->c_str(), 1);
        else
            unsetenv("ZORVANE_RUNTIME_DIR");
    }

    // A socket at `path`, bound and perhaps listening, or connected.
    static zv::UniqueFd open_socket(const std::string& path, bool connecting, bool listening = false)
    {
        zv::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        const auto* a = reinterpret_cast<const sockaddr*>(&addr);
        EXPECT_EQ(connecting ? connect(fd.get(), a, sizeof addr) : bind(fd.get(), a, sizeof addr), 0);
        if (listening) {
            EXPECT_EQ(listen(fd.get(), 4), 0);
        }
        return fd;
    }

    // What the server sends to `bytes` before closing; bounded so a broken server fails the
    // test, not hangs it.
    static std::string answer(const std::string& path, const std::string& bytes)
    {
        const zv::UniqueFd fd = open_socket(path, true);
        EXPECT_EQ(send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
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

    const zv::AppProfile profile_ = zv::zorvane_profile();
    zv::test::FixtureDir dir_;
    std::optional<std::string> old_;
    std::atomic<int> raised_{0};
};

TEST_F(Instance, ServerAnswersQueriesAndRaisesForItsOwnClassAndTitle)
{
    EXPECT_FALSE(zv::query_instance(profile_, u"VEMO", u"Zorvane")) << "nothing running";
    EXPECT_FALSE(zv::raise_instance(profile_, u"VEMO", u"Zorvane"));
    std::string path;
    {
        zv::InstanceServer server(profile_, u"VEMO", u"Zorvane", [&] { ++raised_; });
        ASSERT_TRUE(server.listening());
        path = server.socket_path();
        EXPECT_EQ(fs::path(path).parent_path(), dir_.path());
        EXPECT_TRUE(fs::is_socket(path));

        EXPECT_TRUE(zv::query_instance(profile_, u"VEMO", u"Zorvane"));
        EXPECT_EQ(raised_, 0);
        EXPECT_TRUE(zv::raise_instance(profile_, u"VEMO", u"Zorvane"));
        EXPECT_EQ(raised_, 1);  // acknowledged only after the callback ran
        EXPECT_FALSE(zv::query_instance(profile_, u"VEMO", u"Vemo"));
        EXPECT_FALSE(zv::raise_instance(profile_, u"Other", u"Zorvane"));
        EXPECT_EQ(raised_, 1);

        // A live instance keeps its socket.
        {
            zv::InstanceServer second(profile_, u"VEMO", u"Zorvane", {});
            EXPECT_FALSE(second.listening());
        }
        EXPECT_TRUE(fs::is_socket(path));
        EXPECT_TRUE(zv::query_instance(profile_, u"VEMO", u"Zorvane"));
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(zv::query_instance(profile_, u"VEMO", u"Zorvane"));

    // A socket left by a crashed process is replaced (bound, closed again at once; the file stays).
    open_socket(path, false);
    ASSERT_TRUE(fs::is_socket(path));
    EXPECT_FALSE(zv::query_instance(profile_, u"VEMO", u"Zorvane"));
    zv::InstanceServer server(profile_, u"VEMO", u"Zorvane", [&] { ++raised_; });
    EXPECT_TRUE(server.listening());
    EXPECT_TRUE(zv::raise_instance(profile_, u"VEMO", u"Zorvane"));
    EXPECT_EQ(raised_, 2);

    // Something that is not a socket is never deleted to make room.
    const std::optional<std::string> other = zv::instance_socket_path(profile_, u"VEMO", u"Notes");
    std::ofstream(*other) << "keep";
    zv::InstanceServer third(profile_, u"VEMO", u"Notes", {});
    EXPECT_FALSE(third.listening());
    EXPECT_TRUE(fs::is_regular_file(*other));
}

TEST_F(Instance, WedgedPeersBadAndSilentClientsBlockNobodyAndAnUnusableFolderDisablesTheRule)
{
    {
        // Listens but never accepts or answers.
        const zv::UniqueFd wedged = open_socket(*zv::instance_socket_path(profile_, u"VEMO", u"Zorvane"), false, true);
        EXPECT_FALSE(zv::query_instance(profile_, u"VEMO", u"Zorvane", 50ms));
        EXPECT_FALSE(zv::raise_instance(profile_, u"VEMO", u"Zorvane", 50ms));
    }
    zv::InstanceServer server(
        profile_, u"VEMO", u"Zorvane", [&] { ++raised_; }, 60s);
    ASSERT_TRUE(server.listening());
    const zv::UniqueFd silent = open_socket(server.socket_path(), true);
    EXPECT_EQ(answer(server.socket_path(), "GET / HTTP/1.0\r\n"), "");
    EXPECT_EQ(answer(server.socket_path(), std::string("ZVI1R\xFF\xFF\0\0", 9)), "") << "oversized";
    EXPECT_EQ(answer(server.socket_path(), proto::encode({proto::Op::Raise, "VEMO", "Someone else"})), "ZVNO");
    // The silent client is still connected, and others are served meanwhile.
    EXPECT_TRUE(zv::raise_instance(profile_, u"VEMO", u"Zorvane"));
    EXPECT_EQ(raised_, 1);

    // An unusable runtime folder disables the rule.
    const std::string nested = (dir_.path() / "missing" / "deeper").string();
    setenv("ZORVANE_RUNTIME_DIR", nested.c_str(), 1);
    EXPECT_FALSE(zv::instance_socket_path(profile_, u"VEMO", u"Zorvane"));
    zv::InstanceServer refused(profile_, u"VEMO", u"Zorvane", {});
    EXPECT_FALSE(refused.listening());
    EXPECT_FALSE(zv::query_instance(profile_, u"VEMO", u"Zorvane"));

    // Too long for a socket address.
    const std::string deep = (dir_.path() / std::string(120, 'd')).string();
    setenv("ZORVANE_RUNTIME_DIR", deep.c_str(), 1);
    EXPECT_FALSE(zv::instance_socket_path(profile_, u"VEMO", u"Zorvane"));
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
    EXPECT_EQ(std::tie(out.op, out.cls, out.title), std::tie(in.op, in.cls, in.title));

    for (std::size_t n = 0; n < wire.size(); ++n)
        EXPECT_EQ(proto::parse(bytes(wire.substr(0, n)), out), proto::Parse::Incomplete) << n;
    EXPECT_EQ(proto::parse(bytes(wire + "x"), out), proto::Parse::Malformed);
    EXPECT_EQ(proto::parse(bytes("X"), out), proto::Parse::Malformed);
    EXPECT_EQ(proto::parse(bytes("ZVI1S"), out), proto::Parse::Malformed);
    EXPECT_EQ(proto::parse(bytes(std::string("ZVI1Q\x01\x04\0\0", 9)), out), proto::Parse::Malformed);
    EXPECT_TRUE(proto::encode({proto::Op::Query, std::string(proto::kMaxFieldBytes + 1, 'c'), ""}).empty());
    // The longest fields go both ways.
    const proto::Request longest{proto::Op::Query, std::string(proto::kMaxFieldBytes, 'c'),
                                 std::string(proto::kMaxFieldBytes, 't')};
    const std::string full = proto::encode(longest);
    ASSERT_EQ(full.size(), proto::kMaxRequestBytes);
    ASSERT_EQ(proto::parse(bytes(full), out), proto::Parse::Complete);
    EXPECT_EQ(std::tie(out.cls, out.title), std::tie(longest.cls, longest.title));
}

}  // namespace
