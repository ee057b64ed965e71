// A fresh temporary folder for one test, removed with everything in it when the test ends.
#pragma once
#include <filesystem>
#include <string>

namespace zv::testing {

class FixtureDir {
public:
    FixtureDir();
    ~FixtureDir();
    FixtureDir(const FixtureDir&) = delete;
    FixtureDir& operator=(const FixtureDir&) = delete;

    const std::filesystem::path& path() const { return root_; }
    // A path inside the folder (its parent folders are created).
    std::filesystem::path file(const std::string& relative) const;

private:
    std::filesystem::path root_;
};

}  // namespace zv::testing
