// A second start of the player finds the running one, brings it forward and exits with 0.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "app/zorvane.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"

extern char** environ;

namespace {

// Runs the player binary and returns its exit code (-1 when it had to be killed).
int run_second_player(const std::filesystem::path& folder)
{
    pid_t pid;
    std::string player = ZV_PLAYER_PATH;
    char* argv[] = {player.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string log = (folder / "second.log").string();
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    int rc = posix_spawn(&pid, player.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -2;
    // The second player gives up on a silent peer within its own short timeouts.
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

}  // namespace

TEST(SingleInstance, SecondStartRaisesTheFirstAndExitsZero)
{
    zv::test::FixtureDir dir;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    zv::test::ProgramHarness p(zv::test::ProgramHarness::Options(dir.path()));
    int raised_before = p.backend().raise_count();

    EXPECT_EQ(run_second_player(dir.path()), 0);
    // The request reaches the first player's user-interface thread as a posted task.
    EXPECT_TRUE(p.backend().wait_raised(raised_before + 1));
    p.settle();
    EXPECT_GT(p.backend().raise_count(), raised_before);
    EXPECT_FALSE(p.finished());
    EXPECT_EQ(GetForegroundWindow(), MainWindow);
}
