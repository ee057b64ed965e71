// A fresh temporary folder for one test, removed with everything in it when the test ends.
#pragma once
#include <filesystem>
#include <string>

namespace zv::test {

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

// A folder for very many files: in memory when the system has it, since creating 100 000
// entries on disk takes long; otherwise inside `fallback`.
class ScratchFolder {
public:
    explicit ScratchFolder(const FixtureDir& fallback);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Fills the folder with `count` empty files t000000.mp3, t000001.mp3, ...: the scan looks
    // only at names, so they make a library of that many tracks.
    void add_empty_tracks(int count) const;

private:
    std::filesystem::path path_;
};

}  // namespace zv::test
