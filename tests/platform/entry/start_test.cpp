// The start main() makes, run over a headless platform: the scale from the option or the
// variable, a folder on the command line played in place of the settings file's, and the box an
// installed player shows when nothing says where the music is.
#include "entry/start.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "app/zorvane.h"
#include "backend/headless_backend.h"
#include "core/user_state.h"
#include "files/codepage.h"
#include "resources/resource_blob.h"
#include "support/fixture_dir.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string_view>;

void touch(const fs::path& p)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

std::string read(const fs::path& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

// The start enters folders; each test gets its working directory back.
struct KeepWorkingDirectory {
    fs::path saved = fs::current_path();
    ~KeepWorkingDirectory() { fs::current_path(saved); }
};

// A start run as main() runs it, over a headless platform, the program on its own thread.
class StartedPlayer {
public:
    StartedPlayer(zv::Start start, const fs::path& run) : start_(std::move(start))
    {
        // Announced in a folder of its own, so no other player finds it.
        fs::create_directories(run);
        setenv(start_.options.profile.runtime_dir_variable.c_str(), run.c_str(), 1);
        start_.options.backend = zv::PlatformOptions::BackendKind::Headless;
        start_.options.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
        platform_ = std::make_unique<zv::Platform>(start_.options);
        ui_ = std::thread([this] { zv::run_program(*platform_, start_, WinMain); });
        settle();
    }
    ~StartedPlayer()
    {
        if (!platform_->headless()->has_finished()) platform_->user().queue().post_closure([] { PostQuitMessage(0); });
        ui_.join();
        TrackCount = 0;  // the program's count pass adds to what a run before it left
    }
    void settle() { ASSERT_TRUE(platform_->headless()->wait_idle()) << "the player did not settle"; }
    template <class F>
    auto ui(F f)
    {
        decltype(f()) v{};
        platform_->user().queue().post_closure([&] { v = f(); });
        settle();
        return v;
    }
    void key(int vk, bool ctrl = false)
    {
        for (auto type : {zv::InputEvent::Type::KeyDown, zv::InputEvent::Type::KeyUp})
            platform_->headless()->push_input({.type = type, .vk = vk, .ctrl = ctrl});
        settle();
    }
    // The tracks the program listed (full paths as it holds them).
    std::vector<std::u16string> tracks()
    {
        return ui([] {
            std::vector<std::u16string> paths;
            for (int i = 0, n = static_cast<int>(SendMessage(PathList, LVM_GETITEMCOUNT, 0, 0)); i < n; ++i) {
                WCHAR text[PATH_BUFFER_CHARS] = {};
                LVITEM item{};
                item.pszText = text, item.cchTextMax = PATH_BUFFER_CHARS;
                SendMessage(PathList, LVM_GETITEMTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
                paths.emplace_back(text);
            }
            std::sort(paths.begin(), paths.end());
            return paths;
        });
    }
    zv::Platform& platform() { return *platform_; }

private:
    zv::Start start_;
    std::unique_ptr<zv::Platform> platform_;
    std::thread ui_;
};

TEST(Start, TheScaleComesFromTheOptionElseTheVariableAndBadUsageTouchesNothing)
{
    zv::test::FixtureDir dir;
    KeepWorkingDirectory keep;
    touch(dir.path() / "a file");
    const fs::path portable = dir.path() / "zorvane";
    const struct {
        Args args;
        std::optional<std::string> variable;
        int scale;
        std::string err;  // a part of standard error; empty: nothing there
    } cases[] = {
        {{}, std::nullopt, 0, ""},
        {{}, "3", 3, ""},
        {{"--scale=5"}, "many", 5, ""},  // the option wins, and the variable is not looked at
        {{}, "", 0, ""},
        {{}, "0", 0, "zorvane: ignoring ZORVANE_SCALE='0': not a whole number from 1 to 16\n"},
        {{"--fullscreen"}, "17", 0, "zorvane: ignoring ZORVANE_SCALE='17'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable.value_or("(unset)"));
        const zv::Start s = zv::prepare_start(c.args, {{}, c.variable}, portable);
        EXPECT_FALSE(s.exit_code);
        EXPECT_EQ(s.options.scale, c.scale);
        EXPECT_EQ(s.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(s.err.empty(), c.err.empty());
        EXPECT_EQ(s.options.fullscreen, !c.args.empty() && c.args[0] == "--fullscreen");
        EXPECT_FALSE(s.options.settings_text);
        EXPECT_EQ(fs::current_path(), keep.saved);
    }

    // Installed, a start that leaves at once makes no per-user folder.
    fs::create_directories(dir.path() / "usr/share");
    const zv::StartEnvironment installed{{(dir.path() / "home").string(), "", ""}, {}};
    const std::string file = (dir.path() / "a file").string();
    const std::pair<Args, std::string> leaving[] = {
        {{"--help"}, ""},
        {{"nowhere"}, "zorvane: no such folder 'nowhere'\n"},
        {{file}, "zorvane: '" + file + "' is not a folder\n"},
    };
    for (const auto& [args, err] : leaving) {
        const zv::Start s = zv::prepare_start(args, installed, dir.path() / "usr/bin/zorvane");
        EXPECT_EQ(s.exit_code, err.empty() ? 0 : 2) << args[0];
        EXPECT_EQ(s.err.substr(0, err.size()), err);
    }
    EXPECT_FALSE(fs::exists(dir.path() / "home")) << "nothing made on disk";
}

// A portable player whose settings file names folder A, started with folder B: B is played, at
// start-up and when the library browser reads the settings again, and the file stays as it was.
TEST(Start, AFolderOnTheCommandLineIsPlayedInPlaceOfTheSettingsFolder)
{
    zv::test::FixtureDir dir;
    KeepWorkingDirectory keep;
    touch(dir.path() / "A" / "a.mp3");
    touch(dir.path() / "B" / "b.mp3");
    touch(dir.path() / "B" / "live" / "c.MP3");
    const std::string settings = (dir.path() / "A").string() + "/\n";
    std::ofstream(dir.file("app/direc.zvn"), std::ios::binary) << settings;
    const std::string folder = (dir.path() / "B").string();

    zv::Start start = zv::prepare_start(Args{folder}, {}, dir.path() / "app" / "zorvane");
    ASSERT_FALSE(start.exit_code) << start.err;
    EXPECT_EQ(start.options.settings_text, "");
    EXPECT_EQ(start.err, "");
    EXPECT_EQ(fs::current_path(), dir.path() / "B");
    start.options.executable_path = (dir.path() / "app" / "zorvane").u16string();  // the test's own "executable"
    const std::vector<std::u16string> expected{u"b.mp3", u"live/c.MP3"};
    {
        StartedPlayer p(std::move(start), dir.path() / ".run");
        EXPECT_EQ(p.tracks(), expected);
        // The library browser reads the settings file again, and lists B once more.
        p.ui([] { return EndDialog(NowPlayingPanel, 0); });
        p.key('A', /*ctrl=*/true);
        // In front, the browser with its paths (a box about the settings file would be there instead).
        EXPECT_EQ(p.ui([] { return SendDlgItemMessage(GetActiveWindow(), 1006, LB_GETCOUNT, 0, 0); }), 2);
        const std::vector<std::u16string> twice{u"b.mp3", u"b.mp3", u"live/c.MP3", u"live/c.MP3"};
        EXPECT_EQ(p.tracks(), twice);
    }
    EXPECT_EQ(read(dir.path() / "app" / "direc.zvn"), settings);
}

// An installed player with neither a settings file nor a music folder says where it looked and
// how to name the music, in a box before the program starts and on standard error; it says
// nothing when a music folder, a settings file or a folder argument names the music, or when it
// runs portable.
TEST(Start, TheFirstStartHintShowsOnlyWhileNothingNamesTheMusic)
{
    zv::test::FixtureDir dir;
    KeepWorkingDirectory keep;
    enum What { Nothing, MusicFolder, UserDirsFolder, FolderArgument, SettingsFile, Portable };
    const struct {
        What what;
        bool hint;
    } cases[] = {{Nothing, true},         {MusicFolder, false},  {UserDirsFolder, true},
                 {FolderArgument, false}, {SettingsFile, false}, {Portable, false}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(c.what));
        const fs::path root = dir.path() / std::to_string(n++), home = root / "home";
        for (const fs::path& p : {root / "usr/share", root / "cwd", home}) fs::create_directories(p);
        fs::current_path(root / "cwd");
        touch(root / "cwd" / "stray.mp3");  // where it was started holds a track, but not the music
        zv::StartEnvironment env{{home.string(), "", ""}, {}};
        fs::path music = home / "Music";
        std::vector<std::string> args;
        if (c.what == MusicFolder) touch(music / "t.mp3");
        if (c.what == UserDirsFolder) {
            std::ofstream(root / "user-dirs.dirs") << "XDG_MUSIC_DIR=\"$HOME/Songs\"\n";
            env.user.xdg_config_home = root.string();
            music = home / "Songs";
        }
        if (c.what == FolderArgument) {
            touch(root / "B" / "t.mp3");
            args.push_back((root / "B").string());
        }
        const fs::path user_folder = home / ".local/share/zorvane";
        if (c.what == SettingsFile) {
            touch(root / "B" / "t.mp3");
            fs::create_directories(user_folder);
            std::ofstream(user_folder / "direc.zvn") << (root / "B").string() << "/";
        }
        const fs::path executable = root / (c.what == Portable ? "zorvane" : "usr/bin/zorvane");

        zv::Start start = zv::prepare_start(Args(args.begin(), args.end()), env, executable);
        ASSERT_FALSE(start.exit_code);
        EXPECT_EQ(start.hint.empty(), !c.hint);
        if (!c.hint) {
            EXPECT_EQ(start.err, "");
        } else {
            EXPECT_EQ(start.err, "zorvane: " + start.hint + "\n");
            for (const std::string& part : {"no folder " + music.string() + ".", (user_folder / "direc.zvn").string(),
                                            std::string("ending with /"), std::string("zorvane FOLDER")})
                EXPECT_NE(start.hint.find(part), std::string::npos) << part << " in " << start.hint;
        }
        const fs::path entered = c.hint                     ? user_folder
                                 : c.what == MusicFolder    ? music
                                 : c.what == FolderArgument ? root / "B"
                                                            : root / "cwd";
        EXPECT_EQ(fs::current_path(), entered);

        const std::string hint = start.hint;
        StartedPlayer p(std::move(start), root / ".run");
        HWND front = p.ui(GetActiveWindow);
        if (c.hint) {
            // The box, alone: the program has not started yet.
            EXPECT_EQ(p.ui([&] { return p.platform().user().windows().top_levels(); }), std::vector<HWND>{front});
            const std::string caption_and_text = p.ui([&] {
                WCHAR caption[64] = {}, text[1024] = {};
                SendMessage(front, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(caption));
                SendMessage(GetDlgItem(front, 0xFFFF), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
                return zv::narrow(caption) + "|" + zv::narrow(text);
            });
            EXPECT_EQ(caption_and_text, "Zorvane|" + hint);
            p.key(VK_RETURN);
            EXPECT_FALSE(p.ui([&] { return IsWindow(front); }));
            front = p.ui(GetActiveWindow);
        }
        EXPECT_EQ(front, p.ui([] { return NowPlayingPanel; })) << "the program's own panel is in front";
        std::vector<std::u16string> listed;  // after the hint: the per-user folder, which is empty
        if (c.what == MusicFolder || c.what == FolderArgument) listed = {u"t.mp3"};
        if (c.what == Portable) listed = {u"stray.mp3"};  // no settings file: where it was started
        if (c.what == SettingsFile) listed = {(root / "B/t.mp3").u16string()};
        EXPECT_EQ(p.tracks(), listed);
    }
}

}  // namespace
