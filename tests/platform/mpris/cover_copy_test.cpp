// Copies of the cover named by their content: one name per picture, only the current copy kept,
// nothing written outside the private folder, and nothing left behind.
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

std::size_t count(const fs::path& folder)
{
    std::error_code ec;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder, ec), {}));
}

TEST(CoverCopy, OneCopyPerPictureKeptOnlyWhileShown)
{
    zv::test::FixtureDir dir;
    const fs::path source = dir.file("album.jpg"), folder = dir.path() / "covers";
    const Bytes jpeg = zv::fixtures::make_cover_jpeg(16, 16, 1), png = zv::fixtures::make_cover_png(16, 16, 2);
    Bytes touched = jpeg;
    touched[touched.size() / 2] ^= 1;
    EXPECT_TRUE(zv::cover_copy_name(png, "7").ends_with(".png"));
    for (const Bytes& bad : {Bytes{}, Bytes{0xFF, 0xD8}, Bytes{'G', 'I', 'F', '8', '9', 'a'}})
        EXPECT_EQ(zv::cover_copy_name(bad, "7"), "") << bad.size();
    {
        zv::CoverCopies copies(folder.string(), "7");
        // Each row: the cover the program wrote, and whether it is shown as the first one's copy.
        const std::vector<std::pair<Bytes, std::string>> rows = {{jpeg, "first"},  {jpeg, "first"},
                                                                 {touched, "new"}, {{'n', 'o', 'p', 'e'}, ""},
                                                                 {jpeg, "first"},  {png, "new"}};
        std::string first;
        for (const auto& [cover, shown] : rows) {
            write(source, cover);
            const std::string path = copies.show(source.string());
            if (first.empty()) first = path;
            EXPECT_EQ(path.empty() ? "" : path == first ? "first" : "new", shown) << path;
            EXPECT_EQ(fs::path(path).parent_path(), path.empty() ? fs::path() : folder);
            EXPECT_EQ(count(folder), path.empty() ? 0u : 1u);  // the previous copy is gone
        }
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        fs::remove(source);
        EXPECT_EQ(copies.show(source.string()), "");
        write(source, jpeg);
        EXPECT_EQ(copies.show(source.string()), first);
    }
    EXPECT_FALSE(fs::exists(folder));
}

// Where no copy can be made the program's own file is shown, and nothing is written.
TEST(CoverCopy, WithoutAPrivateFolderShowsTheProgramsFile)
{
    zv::test::FixtureDir dir;
    const fs::path source = dir.file("album.jpg"), shared = dir.path() / "shared";
    write(source, zv::fixtures::make_cover_jpeg(16, 16, 3));
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    for (const fs::path& folder : {fs::path(), shared, dir.path() / "missing" / "covers"}) {
        zv::CoverCopies copies(folder.string(), "7");
        EXPECT_EQ(copies.show(source.string()), source.string()) << folder;
    }
    EXPECT_EQ(count(shared), 0u);
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

}  // namespace
