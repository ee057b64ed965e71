// The command line: what runs, what leaves at once and with which text, and that the player
// answers --help and --version without a display.
#include "entry/command_line.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "entry/zorvane_profile.h"
#include "support/fixture_dir.h"
#include "zv_version.h"

namespace {

using Args = std::vector<std::string_view>;

zv::CommandLine parse(const Args& args) { return zv::parse_command_line(args); }

std::string read(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

TEST(CommandLine, HelpAndVersionLeaveWithTheirTextOnStandardOutput)
{
    const std::string version = std::string("zorvane ") + ZV_VERSION + "\n";
    const std::string help = parse({"--help"}).out;
    const struct {
        Args args;
        std::string out;
    } cases[] = {{{"--help"}, help},
                 {{"--fullscreen", "--scale", "2", "music", "-h"}, help},
                 {{"--version"}, version},
                 {{"-V", "--bogus"}, version}};  // left at the first that decides
    for (const auto& c : cases) {
        const zv::CommandLine r = parse(c.args);
        SCOPED_TRACE(c.args.front());
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
    // The help names every option, the files of the profile and the variables the player reads.
    const zv::AppProfile profile = zv::zorvane_profile();
    for (const std::string& word :
         {std::string("Usage: zorvane [OPTION]... [FOLDER]"), std::string("--scale N"), std::string("--fullscreen"),
          std::string("-V, --version"), profile.settings_file, profile.default_picture, profile.album_picture,
          "$XDG_DATA_HOME/" + profile.data_folder, std::string("~/Music"), std::string("ZORVANE_SCALE"),
          std::string("XDG_CONFIG_HOME"), profile.runtime_dir_variable, std::string("Ctrl+Q")})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

TEST(CommandLine, BadUsageLeavesWithTwoAndOneLineOnStandardError)
{
    const struct {
        Args args;
        std::string says;  // in the error line
    } cases[] = {
        {{"--bogus", "--help"}, "unknown option '--bogus'"},
        {{"-hV"}, "unknown option '-hV'"},
        {{"--scale"}, "'--scale' needs a value"},
        {{"--scale", "0"}, "from 1 to 16, not '0'"},
        {{"--scale=17"}, "not '17'"},
        {{"--scale", "-2"}, "not '-2'"},
        {{"--scale=2x"}, "not '2x'"},
        {{"--scale", "99999999999999999999"}, "not '99999999999999999999'"},
        {{"--fullscreen=1"}, "'--fullscreen' takes no value"},
        {{"a", "--", "-b"}, "not both 'a' and '-b'"},
        {{"--x\nInjected"}, "'--x?Injected'"},
    };
    for (const auto& c : cases) {
        const zv::CommandLine r = parse(c.args);
        SCOPED_TRACE(c.args.front());
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        const std::size_t end = r.err.find('\n');
        ASSERT_NE(end, std::string::npos);
        EXPECT_TRUE(r.err.starts_with("zorvane: ")) << r.err;
        EXPECT_NE(r.err.substr(0, end).find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.substr(end + 1), "Try 'zorvane --help' for more information.\n");
    }
}

TEST(CommandLine, RunsWithScaleFullScreenAndFolder)
{
    const struct {
        Args args;
        std::optional<int> scale;
        bool fullscreen;
        std::optional<std::string> folder;
    } cases[] = {
        {{}, {}, false, {}},
        {{"--scale", "16", "--scale=04"}, 4, false, {}},  // the last one counts
        {{"Music/Live", "--fullscreen", "--scale=1"}, 1, true, "Music/Live"},
        {{"--", "--help"}, {}, false, "--help"},
        {{"-"}, {}, false, "-"},
    };
    for (const auto& c : cases) {
        const zv::CommandLine r = parse(c.args);
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
        EXPECT_FALSE(r.exit_code);
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(r.scale, c.scale);
        EXPECT_EQ(r.fullscreen, c.fullscreen);
        EXPECT_EQ(r.folder, c.folder);
    }
}

// The built player with no display in its environment answers as the parser does.
TEST(CommandLine, ThePlayerAnswersWithoutADisplay)
{
    zv::test::FixtureDir dir;
    const std::string out = (dir.path() / "out").string(), err = (dir.path() / "err").string();
    for (const Args& args : {Args{"--help"}, Args{"-V"}, Args{"--bogus"}}) {
        SCOPED_TRACE(args.front());
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" +
                                    std::string(ZV_PLAYER_PATH) + "' " + std::string(args.front()) + " >'" + out +
                                    "' 2>'" + err + "'";
        const int status = std::system(command.c_str());
        const zv::CommandLine expected = parse(args);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), expected.exit_code);
        EXPECT_EQ(read(out), expected.out);
        EXPECT_EQ(read(err), expected.err);
    }
}

}  // namespace
