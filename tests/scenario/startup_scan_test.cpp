// Start-up over generated music folders: the two track lists, the settings file, the keep-alive
// timer, the stylus, shutdown, and the boxes shown when resources or sound are missing.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <fstream>
#include <set>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "files/codepage.h"
#include "resources/resource_blob.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"

namespace fs = std::filesystem;
using zv::test::FixtureDir;
using zv::test::ProgramHarness;

namespace {

void touch(const fs::path& p)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

// The window whose box is on screen (the topmost window that is not the main window).
HWND top_window(zv::UserState& u)
{
    for (HWND h : u.windows().top_levels())
        if (h != MainWindow && IsWindowVisible(h)) return h;
    return nullptr;
}

// Makes `name` inside the current directory and steps into it (paths may outgrow PATH_MAX).
void step_into(const std::string& name)
{
    ASSERT_EQ(::mkdir(name.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(name.c_str()), 0);
}

}  // namespace

TEST(StartupScan, ListsBuildFromTheTreeWithBothPassesAligned)
{
    FixtureDir dir;
    fs::path music = dir.path() / "music";
    touch(music / "a.mp3");
    touch(music / "Song.MP3");  // ".mp3" in any letter case
    touch(music / "b.Mp3");
    touch(music / "song.mp4");  // not a track
    touch(music / "Live.MP3" / "set.ogg");
    touch(music / "notes.mp3.txt");  // a track: ".mp3" anywhere in the path
    touch(music / "nested" / "deeper" / "b.mp3");
    touch(music / "x.mp3" / "inside.ogg");  // under a folder whose path holds ".mp3"
    touch(music / ".hidden" / "c.mp3");     // hidden folders are not descended
    touch(music / "cover.jpg");
    fs::create_directories(music / "loop");
    fs::create_directory_symlink(music, music / "loop" / "again");  // ends, not entered twice
    std::string odd = std::string("bad\xff\xfe") + "name.mp3";
    touch(music / odd);
    // Folders nested until the path is 100 characters short of the path buffer: a name there
    // fits, a 200-character one does not and both passes skip it.
    fs::path old = fs::current_path();
    ASSERT_EQ(::chdir(music.c_str()), 0);
    std::size_t length = music.string().size() + 1;
    const std::size_t target = PATH_BUFFER_CHARS - 100;
    while (length < target) {
        std::size_t n = std::min<std::size_t>(200, target - length);
        if (n < 2) break;
        step_into(std::string(n - 1, 'd'));
        length += n;
    }
    std::ofstream("fits.mp3") << "x";
    std::ofstream(std::string(200, 'n') + ".mp3") << "x";
    // A name whose full path and terminator fill the buffer exactly, and one a character longer.
    const std::size_t room = PATH_BUFFER_CHARS - 1 - (fs::current_path().string().size() + 1);
    const std::string exact = std::string(room - 4, 'e') + ".mp3";
    std::ofstream(exact) << "x";
    std::ofstream(std::string(room - 3, 'o') + ".mp3") << "x";
    ASSERT_EQ(::chdir(old.c_str()), 0);
    zv::test::write_settings(dir.path(), music);

    ProgramHarness p(ProgramHarness::Options(dir.path()));
    EXPECT_EQ(TrackCount, 10);
    ASSERT_EQ(p.item_count(PlaylistView), TrackCount);
    ASSERT_EQ(p.item_count(PathList), TrackCount);
    std::set<std::u16string> names;
    for (int i = 0; i < TrackCount; ++i) {
        std::u16string name = p.item_text(PlaylistView, i), path = p.item_text(PathList, i);
        names.insert(name);
        // Item i of both lists names the same file; the path is folder + name, one separator.
        ASSERT_GE(path.size(), name.size());
        EXPECT_EQ(path.substr(path.size() - name.size()), name);
        EXPECT_EQ(path[path.size() - name.size() - 1], u'/');
        EXPECT_TRUE(fs::exists(fs::path(zv::narrow(path)))) << zv::narrow(path);
        EXPECT_EQ(path.find(u"//"), std::u16string::npos);
        // Both items carry the parameter i + 1.
        for (HWND list : {PlaylistView, PathList}) {
            LVITEM it{};
            it.mask = LVIF_PARAM;
            it.iItem = i;
            ASSERT_TRUE(SendMessage(list, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it)));
            EXPECT_EQ(it.lParam, i + 1);
        }
    }
    std::set<std::u16string> expected{u"a.mp3",   u"Song.MP3",   u"b.Mp3",       u"notes.mp3.txt", u"b.mp3",
                                      u"set.ogg", u"inside.ogg", zv::widen(odd), u"fits.mp3",      zv::widen(exact)};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(zv::narrow(zv::widen(odd)), odd);  // the odd name round-trips to its bytes
    EXPECT_EQ(ItemCounter, TrackCount);
    EXPECT_EQ(p.backend().title(), u"Zorvane");
}

// The settings file beside the program names the music folder; without one (or with one that
// cannot be read as a file) the working directory is walked. An executable path without a
// separator leaves the program's folder empty, so the settings are looked for in the working
// directory too.
TEST(StartupScan, TheSettingsFileNamesTheFolderElseTheWorkingDirectoryIsWalked)
{
    FixtureDir dir;
    touch(dir.path() / "cwd" / "one.mp3");
    touch(dir.path() / "cwd" / "sub" / "two.mp3");
    touch(dir.path() / "m" / "t.mp3");
    const std::string m = (dir.path() / "m").string();
    enum Kind { None, Text, Fifo, BareExecutable };
    const struct {
        Kind kind;
        std::string settings;
        int tracks;
    } cases[] = {{None, "", 2},
                 {Text, "", 2},
                 {Text, "\r\n", 2},
                 {Text, m + "/\n", 1},
                 {Text, m + "/nowhere/", 0},
                 {Fifo, "", 2},
                 {BareExecutable, m + "/", 1}};
    const fs::path old = fs::current_path(), app = dir.path() / "app", cwd = dir.path() / "cwd";
    fs::current_path(cwd);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings + " kind " + std::to_string(c.kind));
        fs::create_directories(app);
        if (c.kind == Text) std::ofstream(app / "direc.zvn", std::ios::binary) << c.settings;
        ASSERT_TRUE(c.kind != Fifo || ::mkfifo((app / "direc.zvn").c_str(), 0600) == 0);
        if (c.kind == BareExecutable) std::ofstream(cwd / "direc.zvn", std::ios::binary) << c.settings;
        ProgramHarness::Options o(app);
        if (c.kind == BareExecutable) o.executable = u"zorvane";
        TrackCount = 0;  // the count pass adds to what an earlier run left
        ProgramHarness p(o);
        EXPECT_EQ(TrackCount, c.tracks);
        EXPECT_EQ(p.item_count(PathList), c.tracks);
        EXPECT_EQ(p.item_count(PlaylistView), c.tracks);
        EXPECT_EQ(top_window(p.platform().user()), nullptr);
        EXPECT_TRUE(p.ui([] { return IsWindowVisible(MainWindow); }));
        if (c.kind == None || c.kind == Fifo) {
            EXPECT_EQ(MusicFolder[0], 0);
            EXPECT_EQ(std::u16string(SearchPattern), u"*");
            EXPECT_TRUE(p.item_text(PathList, 0) == u"one.mp3" || p.item_text(PathList, 1) == u"one.mp3");
        }
        if (c.tracks == 0) {  // nothing of the list: the main window's black
            EXPECT_NE(PlaylistView, nullptr);
            EXPECT_EQ(ListHeight, 0);
            p.on_ui([] { InvalidateRect(MainWindow, nullptr, TRUE); });
            const zv::Surface s = p.screen();
            for (int y = 0; y < 320; ++y)
                for (int x = 0; x < 240; ++x) ASSERT_EQ(s.pixel(x, y), 0u) << x << "," << y;
        }
        if (c.kind == BareExecutable) {
            EXPECT_EQ(std::u16string(AppFolder), u"");
            EXPECT_EQ(std::u16string(DefaultArtPath), u"default.jpg");
        }
        p.stop();
        fs::remove_all(app);
        fs::remove(cwd / "direc.zvn");
    }
    fs::current_path(old);
}

// The program's resources with bitmap 129 renamed, so it cannot be found.
std::vector<std::uint8_t> resources_without_skin()
{
    std::vector<std::uint8_t> res(zv_resource_blob, zv_resource_blob + zv_resource_blob_size);
    const std::uint8_t header[] = {0xFF, 0xFF, 0x02, 0x00, 0xFF, 0xFF, 0x81, 0x00};
    auto at = std::search(res.begin(), res.end(), std::begin(header), std::end(header));
    EXPECT_NE(at, res.end());
    if (at != res.end()) at[6] = 0x7F;
    return res;
}

// Without skin bitmap 129 and without sound, start-up shows an empty box, then the sound box,
// and only then builds the lists.
TEST(StartupBoxes, MissingSkinAndSoundShowTheirBoxesThenTheListsBuildTheKeepAliveTicksAndCtrlQCloses)
{
    FixtureDir dir;
    touch(dir.path() / "m" / "t.mp3");
    zv::test::write_settings(dir.path(), dir.path() / "m");
    ProgramHarness::Options o(dir.path(), /*audio=*/false);
    o.resources = resources_without_skin();
    ProgramHarness p(o);
    zv::UserState& u = p.platform().user();
    HWND first = top_window(u);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(u.windows().live_window(first)->text, u"");
    // OK on the box with the stylus.
    RECT r;
    GetWindowRect(first, &r);
    p.tap((r.left + r.right) / 2, r.bottom - 12 - 13);
    HWND box = top_window(u);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(box, first);
    EXPECT_EQ(u.windows().live_window(box)->text, u"");
    EXPECT_EQ(u.windows().live_window(box)->cls->name, u"ZvMessageBox");
    EXPECT_EQ(TrackCount, 0);  // the box is modal: start-up waits for OK
    GetWindowRect(box, &r);
    EXPECT_EQ(p.pixel(r.left + 5, r.top + 5), 0x0000'55D9u) << "drawn: its caption bar is blue";
    p.key(VK_RETURN);
    EXPECT_EQ(TrackCount, 1);
    EXPECT_EQ(p.item_count(PathList), 1);
    // The now-playing panel comes next; the playlist shows once it has ended.
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    p.end_panels();
    EXPECT_EQ(top_window(u), nullptr);
    EXPECT_TRUE(IsWindowVisible(MainWindow));

    // Then the idle timer is reset every 55 s whatever plays; the main window holds the stylus
    // while it is in front, and takes it back at a screen turn; Ctrl+Q, not a plain Q, closes the
    // program.
    EXPECT_EQ(u.screen().idle_resets(), 0u);
    p.advance(54999);
    EXPECT_EQ(u.screen().idle_resets(), 0u);
    p.advance(1);
    EXPECT_EQ(u.screen().idle_resets(), 1u);
    p.advance(55000 * 10);
    EXPECT_EQ(u.screen().idle_resets(), 11u);

    HWND main = p.ui([] { return MainWindow; });
    EXPECT_EQ(p.ui(GetCapture), main);
    for (int turn = 0; turn < 2; ++turn) {
        p.on_ui([] { ReleaseCapture(); });
        p.key(VK_F7);
        EXPECT_EQ(p.ui(GetCapture), main) << "turn " << turn;
    }

    p.key('Q');
    EXPECT_FALSE(p.finished());
    p.key('Q', /*ctrl=*/true);
    EXPECT_TRUE(p.finished());
    p.stop();
    EXPECT_EQ(p.exit_code(), 0);
}
