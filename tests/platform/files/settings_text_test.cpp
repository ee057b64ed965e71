// A run's own settings text: read in place of the settings file in the program's folder, however
// that path is spelt, whether or not the file exists; every other file reads as it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "files/file_system.h"
#include "tests/support/fixture_dir.h"
#include "winbase.h"

namespace {

namespace fs = std::filesystem;

std::optional<std::string> read_through_platform(const fs::path& p)
{
    HANDLE h = CreateFileW(p.u16string().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string text;
    char buffer[7];  // small, so the text comes in several reads
    for (DWORD got = 0; ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0;) text.append(buffer, got);
    EXPECT_TRUE(CloseHandle(h));
    return text;
}

std::string read(const fs::path& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

TEST(SettingsText, StandsInForTheSettingsFileBesideTheExecutableOnly)
{
    zv::test::FixtureDir dir;
    const fs::path app = dir.path() / "app";
    std::ofstream(dir.file("app/direc.zvn"), std::ios::binary) << "/real/\n";
    std::ofstream(dir.file("app/other.zvn"), std::ios::binary) << "other";
    std::ofstream(dir.file("elsewhere/direc.zvn"), std::ios::binary) << "elsewhere";
    const std::string text = "/for/this/run/ with more than one read\n";

    zv::FileSystemState files;
    files.set_executable_path((app / "zorvane").u16string());
    files.set_settings_text("direc.zvn", text);
    const std::pair<fs::path, std::optional<std::string>> cases[] = {
        {app / "direc.zvn", text},
        {app.string() + "//direc.zvn", text},
        {app / "." / "direc.zvn", text},
        {app / "other.zvn", "other"},
        {dir.path() / "elsewhere" / "direc.zvn", "elsewhere"},
        {app / "direc.zvn" / "x", std::nullopt},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(read_through_platform(path), expected) << path;
    EXPECT_EQ(read(app / "direc.zvn"), "/real/\n") << "the file itself is left as it was";
    fs::remove(app / "direc.zvn");
    EXPECT_EQ(read_through_platform(app / "direc.zvn"), text) << "with no file there too";

    // An executable named without a folder: the settings file is looked for in the working
    // directory, and an empty text is still a text.
    files.set_executable_path(u"zorvane");
    files.set_settings_text("direc.zvn", "");
    EXPECT_EQ(read_through_platform("direc.zvn"), "");
    EXPECT_EQ(read_through_platform(app / "direc.zvn"), std::nullopt);

    // Nothing stands in without a plain file name.
    zv::FileSystemState nameless;
    nameless.set_executable_path((app / "zorvane").u16string());
    nameless.set_settings_text("", "x");
    nameless.set_settings_text("sub/direc.zvn", "x");
    EXPECT_EQ(read_through_platform(app / "direc.zvn"), std::nullopt);
    EXPECT_EQ(nameless.read_override((app / "sub/direc.zvn").string()), nullptr);
}

}  // namespace
