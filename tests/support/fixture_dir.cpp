#include "tests/support/fixture_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace zv::test {

FixtureDir::FixtureDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zv-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    root_ = pattern;
}

FixtureDir::~FixtureDir()
{
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::filesystem::path FixtureDir::file(const std::string& relative) const
{
    std::filesystem::path p = root_ / std::filesystem::u8path(relative);
    std::error_code ec;
    std::filesystem::create_directories(p.parent_path(), ec);
    return p;
}

ScratchFolder::ScratchFolder(const FixtureDir& fallback)
{
    std::string pattern =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/zv-test-XXXXXX" : (fallback.path() / "scratch-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

void ScratchFolder::add_empty_tracks(int count) const
{
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "t%06d.mp3", i);
        std::ofstream(path_ / name);
    }
}

}  // namespace zv::test
