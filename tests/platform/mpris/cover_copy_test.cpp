// Copies of the cover named by their content: one name per picture, only the current copy kept,
// nothing written outside the private folder, and nothing left behind.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mpris/cover_copy.h"
#include "support/fixture_dir.h"
#include "tools/fixtures.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

void write(const fs::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> names_in(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    return names;
}

TEST(CoverCopy, NamesFollowTheContentAndKind)
{
    const Bytes jpeg = zv::fixtures::make_cover_jpeg(16, 16, 1);
    Bytes changed = jpeg;
    changed[changed.size() / 2] ^= 1;
    const Bytes png = zv::fixtures::make_cover_png(16, 16, 1);
    const std::string name = zv::cover_copy_name(jpeg, "42");
    EXPECT_EQ(name.size(), std::string("42-0123456789abcdef.jpg").size()) << name;
    EXPECT_TRUE(name.starts_with("42-") && name.ends_with(".jpg")) << name;
    EXPECT_EQ(zv::cover_copy_name(Bytes(jpeg), "42"), name);
    EXPECT_NE(zv::cover_copy_name(changed, "42"), name);
    EXPECT_NE(zv::cover_copy_name(jpeg, "43"), name);
    EXPECT_TRUE(zv::cover_copy_name(png, "42").ends_with(".png"));
    for (const Bytes& bad : {Bytes{}, Bytes{0xFF, 0xD8}, Bytes{'G', 'I', 'F', '8', '9', 'a'}, Bytes(64, 0)})
        EXPECT_EQ(zv::cover_copy_name(bad, "42"), "") << bad.size();
}

TEST(CoverCopy, KeepsOnlyTheCurrentCopyAndLeavesNothing)
{
    zv::test::FixtureDir dir;
    const fs::path source = dir.path() / "album.jpg";
    const fs::path folder = dir.path() / "run" / "covers";
    fs::create_directories(folder.parent_path());
    const Bytes first = zv::fixtures::make_cover_jpeg(16, 16, 1);
    const Bytes second = zv::fixtures::make_cover_png(16, 16, 2);
    {
        zv::CoverCopies copies(folder.string(), "7");
        write(source, first);
        const std::string a = copies.show(source.string());
        ASSERT_EQ(fs::path(a).parent_path(), folder);
        EXPECT_EQ(read(a), first);
        struct stat st {};
        ASSERT_EQ(stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(copies.show(source.string()), a);  // the next track of the same album

        write(source, second);
        const std::string b = copies.show(source.string());
        EXPECT_NE(b, a);
        EXPECT_EQ(read(b), second);
        EXPECT_EQ(names_in(folder), std::vector<std::string>{fs::path(b).filename().string()});

        // A cover that is no picture, or no file at all, shows none and keeps no copy.
        write(source, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
        EXPECT_EQ(copies.show(source.string()), "");
        EXPECT_TRUE(names_in(folder).empty());
        write(source, first);
        EXPECT_EQ(copies.show(source.string()), a);
        fs::remove(source);
        EXPECT_EQ(copies.show(source.string()), "");
        fs::create_directory(source);
        EXPECT_EQ(copies.show(source.string()), "");
        fs::remove(source);
        write(source, second);
        EXPECT_EQ(copies.show(source.string()), b);
    }
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>({"album.jpg", "run"}));
    EXPECT_TRUE(names_in(dir.path() / "run").empty());
}

// Where no copy can be made the program's own file is shown, and nothing is written.
TEST(CoverCopy, WithoutAPrivateFolderShowsTheProgramsFile)
{
    zv::test::FixtureDir dir;
    const fs::path source = dir.path() / "album.jpg";
    write(source, zv::fixtures::make_cover_jpeg(16, 16, 3));
    const fs::path shared = dir.path() / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    for (const fs::path& folder : {fs::path(), shared, dir.path() / "missing" / "covers"}) {
        zv::CoverCopies copies(folder.string(), "7");
        EXPECT_EQ(copies.show(source.string()), source.string()) << folder;
        write(dir.path() / "bad.jpg", Bytes{0, 1, 2, 3});
        EXPECT_EQ(copies.show((dir.path() / "bad.jpg").string()), "") << folder;
    }
    EXPECT_TRUE(names_in(shared).empty());
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

}  // namespace
