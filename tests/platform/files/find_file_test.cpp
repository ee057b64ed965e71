#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "files/codepage.h"
#include "files/file_system.h"
#include "tests/support/fixture_dir.h"
#include "winbase.h"
#include "winnls.h"

namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::vector<std::u16string> list(const std::u16string& pattern)
{
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(fd.cFileName);
    while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// The first entry matching `pattern`; its name is empty when there is none.
WIN32_FIND_DATAW first(const std::u16string& pattern)
{
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    return fd;
}

class FindFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path& r = tree_.path();
        write_file(r / "Song.MP3", "s");
        write_file(r / "notes.mp3.txt", "notes");
        write_file(tree_.file("x.mp3/inner.wav"), "");
        write_file(tree_.file("music/album/track.mp3"), "track");
        fs::create_directory_symlink(".", r / "music" / "here");  // loops onto its own folder
        write_file(tree_.file(".hidden/secret.mp3"), "");
        write_file(r / ".dotfile", "");
        fs::create_directories(r / "a" / "b");
        fs::create_directory_symlink(r / "a", r / "a" / "b" / "link");  // a/b/link -> a
        write_file(outside_.path() / "far.mp3", "far");
        fs::create_directory_symlink(outside_.path(), r / "out");
        fs::create_symlink(r / "nowhere", r / "dangling");
        write_file(r / "bad\xFF.mp3", "bad bytes");
        root_ = zv::widen(r.string()) + u"/";
    }

    // Walks like the library scan does, but descends into every reported directory so that
    // loops and hidden folders get enumerated too. Maps paths relative to the root to attributes.
    void walk(const std::u16string& rel, std::map<std::u16string, DWORD>& out, bool basic)
    {
        WIN32_FIND_DATAW fd;
        const std::u16string pattern = root_ + rel + u"*";
        HANDLE h = basic ? FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0)
                         : FindFirstFileW(pattern.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            const std::u16string path = rel + fd.cFileName;
            ASSERT_EQ(out.count(path), 0u) << zv::narrow(path);
            out[path] = fd.dwFileAttributes;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) walk(path + u"/", out, basic);
        } while (FindNextFileW(h, &fd));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
    }

    zv::FileSystemState state_;
    zv::test::FixtureDir tree_;
    zv::test::FixtureDir outside_;
    std::u16string root_;
};

TEST_F(FindFile, WalksPatternsLoopsNamesTimesFailuresAndStaleHandles)
{
    const std::map<std::u16string, DWORD> expected = {
        {u"Song.MP3", 0x20},
        {u"notes.mp3.txt", 0x20},
        {u"x.mp3", 0x10},
        {u"x.mp3/inner.wav", 0x20},
        {u"music", 0x10},
        {u"music/album", 0x10},
        {u"music/album/track.mp3", 0x20},
        {u".hidden", 0x12},
        {u".hidden/secret.mp3", 0x20},
        {u".dotfile", 0x22},
        {u"a", 0x10},
        {u"a/b", 0x10},
        {u"out", 0x10},
        {u"out/far.mp3", 0x20},
        {u"dangling", 0x20},
        {u"bad\xDCFF.mp3", 0x20},
    };
    // The library's scan descends only into attribute 16 exactly and takes any path containing
    // ".mp3"; every name and attribute it reads is pinned here.
    for (bool basic : {false, true}) {
        std::map<std::u16string, DWORD> got;
        walk(u"", got, basic);
        EXPECT_EQ(got, expected) << (basic ? "basic information" : "full information");
    }
    EXPECT_EQ(state_.finds().live_count(), 0u);
    WIN32_FIND_DATAW fd;
    EXPECT_EQ(FindFirstFileExW((root_ + u"*").c_str(), static_cast<FINDEX_INFO_LEVELS>(7), &fd, FindExSearchNameMatch,
                               nullptr, 0),
              INVALID_HANDLE_VALUE);

    // Patterns match the last component only.
    EXPECT_EQ(list(root_ + u"*.txt"), std::vector<std::u16string>{u"notes.mp3.txt"});
    EXPECT_EQ(list(root_ + u"S?ng.MP3"), std::vector<std::u16string>{u"Song.MP3"});
    EXPECT_EQ(list(root_ + u"notes.mp3.txt"), std::vector<std::u16string>{u"notes.mp3.txt"});
    EXPECT_EQ(list(root_ + u"*.*"), list(root_ + u"*"));
    EXPECT_EQ(list(root_ + u"*.mp3"), (std::vector<std::u16string>{u"bad\xDCFF.mp3", u"x.mp3"}));
    EXPECT_EQ(list(root_ + u"music/album/*"), std::vector<std::u16string>{u"track.mp3"});
    // A link to the folder being enumerated is never reported.
    EXPECT_EQ(list(root_ + u"music/*"), std::vector<std::u16string>{u"album"});

    // Relative patterns use the working directory.
    char old[PATH_MAX];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir((tree_.path() / "music" / "album").c_str()), 0);
    const auto bare = list(u"*");
    const auto relative = list(u"../*");
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(bare, std::vector<std::u16string>{u"track.mp3"});
    EXPECT_EQ(relative, std::vector<std::u16string>{u"album"});

    // Enumerated on its own, a/b has no ancestor open, so the link is an ordinary directory;
    // with a open, the same entry is the way back into it.
    fd = first(root_ + u"a/b/*");
    EXPECT_EQ(std::u16string(fd.cFileName), u"link");
    EXPECT_EQ(fd.dwFileAttributes, 0x10u);
    HANDLE outer = FindFirstFileW((root_ + u"a/*").c_str(), &fd);
    ASSERT_NE(outer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW((root_ + u"a/b/*").c_str(), &fd), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    FindClose(outer);

    // A name that is not UTF-8 opens from its wide form.
    const std::u16string full = root_ + first(root_ + u"bad*").cFileName;
    char narrow[PATH_BUFFER_CHARS];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, full.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr), 0);
    std::FILE* f = std::fopen(narrow, "rb");
    ASSERT_NE(f, nullptr);
    char buf[32] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 9u);
    std::fclose(f);
    EXPECT_STREQ(buf, "bad bytes");

    // Times and sizes come from the file.
    const fs::path p = tree_.path() / "music" / "album" / "track.mp3";
    const timespec times[2] = {{1000000000, 0}, {1000000000, 500000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
    fd = first(root_ + u"music/album/track.mp3");
    const auto ticks = [](const FILETIME& t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    EXPECT_EQ(ticks(fd.ftLastWriteTime), (1000000000ull + 11644473600ull) * 10000000ull + 5000000ull);
    EXPECT_EQ(ticks(fd.ftLastAccessTime), (1000000000ull + 11644473600ull) * 10000000ull);
    EXPECT_EQ((std::vector<DWORD>{fd.nFileSizeHigh, fd.nFileSizeLow, fd.cAlternateFileName[0]}),
              (std::vector<DWORD>{0, 5, 0}));
    EXPECT_EQ((std::vector<DWORD>{first(root_ + u"music").nFileSizeLow, first(root_ + u"Song.MP3").nFileSizeLow}),
              (std::vector<DWORD>{0, 1}));
    fs::resize_file(p, (std::uint64_t{1} << 32) + 0x10000005);  // sparse: a long live recording
    fd = first(root_ + u"music/album/track.mp3");
    EXPECT_EQ((std::vector<DWORD>{fd.nFileSizeHigh, fd.nFileSizeLow}), (std::vector<DWORD>{1, 0x10000005}));

    // Failures give an invalid handle and a reason; stale and foreign handles fail.
    fs::create_directory(tree_.path() / "empty");
    const std::pair<std::u16string, DWORD> cases[] = {
        {root_ + u"missing/*", ERROR_PATH_NOT_FOUND},
        {root_ + u"Song.MP3/*", ERROR_PATH_NOT_FOUND},
        {root_ + u"empty/*", ERROR_FILE_NOT_FOUND},
        {root_ + u"*.flac", ERROR_FILE_NOT_FOUND},
        {root_, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& [pattern, error] : cases) {
        SetLastError(0);
        EXPECT_EQ(FindFirstFileW(pattern.c_str(), &fd), INVALID_HANDLE_VALUE) << zv::narrow(pattern);
        EXPECT_EQ(GetLastError(), error) << zv::narrow(pattern);
    }
    EXPECT_EQ(FindFirstFileW(nullptr, &fd), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW(u"*", nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(state_.finds().live_count(), 0u);

    HANDLE h = FindFirstFileW((root_ + u"*").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(h));
    // The slot is reused by the next search; the old handle must not reach it.
    HANDLE h2 = FindFirstFileW((root_ + u"*").c_str(), &fd);
    ASSERT_NE(h2, INVALID_HANDLE_VALUE);
    EXPECT_NE(h2, h);
    EXPECT_FALSE(FindNextFileW(h, &fd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindClose(h));
    for (HANDLE bad : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(0x12345)}) {
        EXPECT_FALSE(FindNextFileW(bad, &fd));
        EXPECT_FALSE(FindClose(bad));
    }
    EXPECT_FALSE(FindNextFileW(h2, nullptr));
    EXPECT_TRUE(FindNextFileW(h2, &fd));
    EXPECT_TRUE(FindClose(h2));

    // Handles die with their state.
    {
        zv::FileSystemState inner;
        EXPECT_EQ(zv::FileSystemState::current(), &inner);
        h = FindFirstFileW((root_ + u"*").c_str(), &fd);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(zv::FileSystemState::current(), &state_);
    EXPECT_FALSE(FindNextFileW(h, &fd));
    EXPECT_FALSE(FindClose(h));

    // Entries removed mid-enumeration are skipped.
    const fs::path churn = tree_.path() / "churn";
    fs::create_directory(churn);
    for (int i = 0; i < 64; ++i) fs::create_directory(churn / ("d" + std::to_string(i)));
    h = FindFirstFileW((root_ + u"churn/*").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 64; ++i) fs::remove(churn / ("d" + std::to_string(i)));
    int reported = 1;
    while (FindNextFileW(h, &fd)) ++reported;
    EXPECT_LE(reported, 64);
    EXPECT_TRUE(FindClose(h));
}

TEST(FileSystemState, SearchesWithoutOneFailAndTheModuleFileNameTruncatesLikeWin32)
{
    ASSERT_EQ(zv::FileSystemState::current(), nullptr);
    WIN32_FIND_DATAW fd;
    EXPECT_EQ(FindFirstFileW(u"*", &fd), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileW(reinterpret_cast<HANDLE>(0x13), &fd));
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(0x13)));

    zv::FileSystemState state;
    WCHAR buf[PATH_BUFFER_CHARS];
    char exe[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const DWORD n = GetModuleFileNameW(nullptr, buf, PATH_BUFFER_CHARS);
    EXPECT_EQ(zv::narrow(std::u16string_view(buf, n)), exe);

    state.set_executable_path(u"/opt/zorvane/zorvane");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, PATH_BUFFER_CHARS), 20u);
    EXPECT_EQ(std::u16string(buf), u"/opt/zorvane/zorvane");
    // Exactly the length: no room for the terminator, so it is cut by one and flagged.
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 20), 20u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(buf), u"/opt/zorvane/zorvan");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 21), 20u);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 0), 0u);
    EXPECT_EQ(GetModuleFileNameW(nullptr, nullptr, 10), 0u);
    // A surrogate pair is never cut in half.
    state.set_executable_path(u"/a/\U0001F3B5");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 5), 5u);
    EXPECT_EQ(std::u16string(buf), u"/a/");
}

}  // namespace
