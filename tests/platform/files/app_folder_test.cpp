#include "files/app_folder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "entry/zorvane_profile.h"
#include "tests/support/fixture_dir.h"

namespace {

namespace fs = std::filesystem;

void write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string read(const fs::path& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

TEST(AppFolder, InstalledUnderAPrefixUserDirsAndThePerUserFolder)
{
    const zv::AppProfile profile = zv::zorvane_profile();
    zv::test::FixtureDir dir;
    const fs::path root = dir.path();
    for (const char* d : {"usr/share", "portable/bin", "opt/share"}) fs::create_directories(root / d);
    write(dir.file("opt/bin/direc.zvn"), "/music/\n");  // a settings file keeps it portable
    const std::pair<fs::path, fs::path> cases[] = {
        {root / "usr/bin/zorvane", root / "usr"},
        {root / "portable/bin/zorvane", {}},  // no share/ beside bin/
        {root / "build/zorvane", {}},
        {root / "opt/bin/zorvane", {}},
        {"zorvane", {}},
    };
    for (const auto& [executable, prefix] : cases)
        EXPECT_EQ(zv::installed_prefix(executable, profile), prefix) << executable;

    EXPECT_EQ(zv::user_data_folder({"/h", "/data", ""}, profile), "/data/zorvane");
    EXPECT_EQ(zv::user_data_folder({"/h", "relative", ""}, profile), "/h/.local/share/zorvane");
    EXPECT_EQ(zv::user_data_folder({"", "", ""}, profile), "");

    // user-dirs.dirs names the music folder.
    const std::pair<const char*, const char*> dirs[] = {
        {"XDG_MUSIC_DIR=\"$HOME/Music\"\n", "/h/Music"},
        {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n  XDG_MUSIC_DIR=\"$HOME/Musik/\"", "/h/Musik"},
        {"XDG_MUSIC_DIR=\"/srv/songs\"\nXDG_MUSIC_DIR=\"$HOME//Later\"\n", "/h/Later"},
        {"XDG_MUSIC_DIR=\"$HOME/My \\\"Best\\\" \\$ongs\"", "/h/My \"Best\" $ongs"},
        {"XDG_MUSIC_DIR=\"$HOME/\"", ""},  // the home folder: no music folder
        {"XDG_MUSIC_DIR=\"$HOMEWARD\"", ""},
        {"XDG_MUSIC_DIR=\"relative\"", ""},
        {"XDG_MUSIC_DIR=\"$HOME/unterminated", ""},
        {"#XDG_MUSIC_DIR=\"/commented\"\nXDG_MUSIC_DIRS=\"/other\"", ""},
    };
    for (auto [text, expected] : dirs) EXPECT_EQ(zv::music_dir_from_user_dirs(text, "/h"), expected) << text;

    // The per-user folder is prepared, and the user's files are kept.
    const fs::path exe = dir.file("prefix/bin/zorvane");
    write(dir.file("prefix/share/zorvane/default.jpg"), "shipped");
    const fs::path home = dir.path() / "home";
    fs::create_directories(home / "Tunes");
    write(dir.file("config/user-dirs.dirs"), "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    const zv::UserEnvironment env{home.string(), "", (dir.path() / "config").string()};
    const fs::path folder = home / ".local/share/zorvane";

    zv::AppFolderChoice first = zv::prepare_app_folder(exe, env, profile);
    EXPECT_EQ(first.module_path, folder / "zorvane");
    EXPECT_EQ(first.working_folder, home / "Tunes");
    EXPECT_FALSE(first.needs_hint);
    EXPECT_EQ(zv::user_music_folder({home.string(), "", ""}), home / "Music");  // no user-dirs.dirs
    EXPECT_TRUE(first.problem.empty());
    EXPECT_EQ(read(folder / "default.jpg"), "shipped");
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The user's own picture and settings file: nothing is replaced and the scan follows the file.
    write(folder / "default.jpg", "mine");
    write(folder / "direc.zvn", "/elsewhere/\n");
    zv::AppFolderChoice second = zv::prepare_app_folder(exe, env, profile);
    EXPECT_EQ(second.module_path, folder / "zorvane");
    EXPECT_TRUE(second.working_folder.empty());
    EXPECT_EQ(read(folder / "default.jpg"), "mine");
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(folder), {}).size(), 2u);  // no leftover copy
    EXPECT_FALSE(second.needs_hint);
    // A music folder named but missing is no music folder, and nothing says where the music is.
    fs::remove(folder / "direc.zvn");
    fs::remove(home / "Tunes");
    const zv::AppFolderChoice lost = zv::prepare_app_folder(exe, env, profile);
    EXPECT_TRUE(lost.working_folder.empty());
    EXPECT_EQ(lost.music_folder, home / "Tunes");
    EXPECT_EQ(lost.settings_path, folder / "direc.zvn");
    EXPECT_TRUE(lost.needs_hint);

    // Nowhere to keep files: portable, with a reason.
    zv::AppFolderChoice homeless = zv::prepare_app_folder(exe, {"", "", ""}, profile);
    EXPECT_TRUE(homeless.module_path.empty());
    EXPECT_FALSE(homeless.problem.empty());
    EXPECT_FALSE(homeless.needs_hint) << "portable: no hint";
}

}  // namespace
