// The library browser as the user meets it: Ctrl+A lists the library again and appends it to the
// playlist, the screen turns to show the track list and "Sort By Artist", artists of every text
// encoding list correctly, the name list scrolls on, the ways back to the player and out, and the
// working directory walked when there is no settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "files/codepage.h"
#include "library/library.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace fs = std::filesystem;

namespace {

using zv::fixtures::TextEncoding;

std::vector<std::u16string> list_box_items(HWND dialog, int id)
{
    std::vector<std::u16string> items;
    int n = static_cast<int>(SendDlgItemMessage(dialog, id, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        WCHAR text[PATH_BUFFER_CHARS];
        SendDlgItemMessage(dialog, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

// Four tagged tracks, one per way ID3v2 stores text, and one without an artist.
class LibraryBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path music = dir_.path() / "music";
        fs::create_directories(music);
        const struct {
            const char* file;
            const char* artist;
            TextEncoding encoding;
            int version;
        } tracks[] = {{"latin.mp3", "Zo\xC3\xAB Ch\xC3\xA2teau", TextEncoding::Latin1, 3},
                      {"wide.mp3", "\xE6\x9D\xB1\xE4\xBA\xAC Quartet", TextEncoding::Utf16, 3},
                      {"utf8.mp3", "\xC3\x85sa Nord\xC3\xA9n", TextEncoding::Utf8, 4},
                      {"none.mp3", nullptr, TextEncoding::Latin1, 4}};
        for (const auto& t : tracks) {
            zv::fixtures::ToneTrack tone;
            tone.seconds = 0.5, tone.bitrate_kbps = 32, tone.text_encoding = t.encoding, tone.id3v2_version = t.version;
            if (t.artist) tone.artist = t.artist, artists_[zv::widen(t.file)] = zv::widen(t.artist);
            tone.title = "T";
            ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / t.file, tone));
        }
        std::ofstream(dir_.path() / "direc.zvn", std::ios::binary) << music.string() << "/\n";
        p_ = std::make_unique<zv::test::ProgramHarness>(zv::test::ProgramHarness::Options(dir_.path()));
    }

    HWND open_browser()
    {
        p_->key('A', /*ctrl=*/true);
        HWND browser = p_->ui(GetActiveWindow);
        EXPECT_NE(browser, p_->ui([] { return MainWindow; }));
        EXPECT_EQ(p_->ui(GetFocus), browser) << "keys go to the browser in front";
        return browser;
    }
    RECT rect(HWND w, int control = 0) { return p_->rect(w, control); }
    void tap_control(HWND w, int control)
    {
        RECT r = rect(w, control);
        p_->advance(600);
        p_->tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void notify_names(HWND browser)
    {
        p_->on_ui([&] {
            SendMessage(browser, WM_COMMAND, MAKEWPARAM(IDC_LIBRARY_NAMES, LBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(GetDlgItem(browser, IDC_LIBRARY_NAMES)));
        });
    }
    // The artist each listed path should give, in the order of the path list.
    std::vector<std::u16string> expected_artists(HWND browser)
    {
        std::vector<std::u16string> out;
        for (const auto& path : p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_PATHS); })) {
            auto it = artists_.find(fs::path(zv::narrow(path)).filename().u16string());
            if (it != artists_.end()) out.push_back(it->second);
        }
        return out;
    }

    zv::test::FixtureDir dir_;
    std::unique_ptr<zv::test::ProgramHarness> p_;
    std::map<std::u16string, std::u16string> artists_;
};

}  // namespace

TEST_F(LibraryBrowser, CtrlAListsAndAppendsTheLibraryTurnsToLandscapeListsEveryArtistAndScrollsTheNames)
{
    HWND browser = open_browser();
    EXPECT_EQ(p_->item_count(PlaylistView), 8);
    EXPECT_EQ(p_->item_count(PathList), 8);
    EXPECT_EQ(p_->ui([] { return TrackCount; }), 4);
    // The fill lists each track's path and name, in scan order.
    auto paths = p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_PATHS); });
    auto names = p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_NAMES); });
    ASSERT_EQ(paths.size(), 4u);
    ASSERT_EQ(names.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(paths[i], zv::widen((dir_.path() / "music").string()) + u"/" + names[i]);

    // Portrait: full screen, "Back To Player" on screen, the lists off it.
    RECT r = rect(browser);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({0, 0, 240, 320}));
    EXPECT_LT(rect(browser, IDC_LIBRARY_BACK).top, 320);
    EXPECT_GE(rect(browser, IDC_LIBRARY_NAMES).left, 240);
    // "Back To Player" opens a panel over the browser, which has the keys again once it ends.
    tap_control(browser, IDC_LIBRARY_BACK);
    HWND panel = p_->ui([] { return NowPlayingPanel; });
    EXPECT_EQ(p_->ui(GetActiveWindow), panel);
    EXPECT_EQ(p_->ui([&] { return p_->platform().user().windows().live_window(panel)->parent; }), browser);
    p_->end_panels();
    EXPECT_EQ(p_->ui(GetActiveWindow), browser);
    EXPECT_EQ(p_->ui(GetFocus), browser);

    // Landscape: the browser takes the screen and shows the names and both buttons; the turn
    // gives it the keys back from the control that had them.
    p_->on_ui([&] { SetFocus(GetDlgItem(browser, IDC_LIBRARY_NAMES)); });
    p_->key(VK_F7);
    EXPECT_EQ(p_->ui(GetFocus), browser);
    auto expect_landscape = [&] {
        r = rect(browser);
        EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({0, 0, 320, 240}));
        for (int id : {IDC_LIBRARY_NAMES, IDC_LIBRARY_SORT, IDC_LIBRARY_BACK}) {
            RECT c = rect(browser, id);
            EXPECT_TRUE(c.left >= 0 && c.right <= 320 && c.top >= 0 && c.bottom <= 240) << id;
        }
    };
    expect_landscape();
    tap_control(browser, IDC_LIBRARY_SORT);
    EXPECT_EQ(p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_NAMES); }), expected_artists(browser));
    p_->key(VK_RETURN);
    EXPECT_EQ(p_->ui(GetActiveWindow), p_->ui([] { return MainWindow; }));

    // A second browser, opened on the landscape screen, takes it too; it appends the library a
    // third time and lists it once.
    browser = open_browser();
    expect_landscape();
    EXPECT_EQ(p_->item_count(PlaylistView), 12);
    EXPECT_EQ(p_->item_count(PathList), 12);
    EXPECT_EQ(p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_PATHS); }).size(), 4u);
    p_->key(VK_ESCAPE);
    EXPECT_EQ(p_->ui(GetActiveWindow), p_->ui([] { return MainWindow; }));
    p_->key(VK_F7);
    EXPECT_EQ(p_->ui([] { return GetSystemMetrics(SM_CXSCREEN); }), 240);

    // The name list scrolls one entry further at every notification, for the life of the process,
    // from 14: the first browser's list notified twice, so it goes on from 16.
    browser = open_browser();
    auto fill = [&] {
        p_->on_ui([&] {
            for (int i = 0; i < 60; ++i) SendDlgItemMessage(browser, IDC_LIBRARY_NAMES, LB_ADDSTRING, 0, (LPARAM)u"x");
        });
    };
    auto top = [&] {
        return p_->ui([&] { return (int)SendDlgItemMessage(browser, IDC_LIBRARY_NAMES, LB_GETTOPINDEX, 0, 0); });
    };
    fill();
    notify_names(browser);
    EXPECT_EQ(top(), 16);
    notify_names(browser);
    EXPECT_EQ(top(), 17);
    p_->key(VK_ESCAPE);
    browser = open_browser();
    fill();
    notify_names(browser);
    EXPECT_EQ(top(), 18) << "the count goes on in a new browser";

    // No paths: the artist list empties. A path that does not open gives no entry and stops
    // nothing; listed 1000 times, no file stays open.
    p_->on_ui([&] {
        SendDlgItemMessage(browser, IDC_LIBRARY_PATHS, LB_RESETCONTENT, 0, 0);
        SendMessage(browser, WM_COMMAND, IDC_LIBRARY_SORT, 0);
    });
    EXPECT_EQ(p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_NAMES); }).size(), 0u);
    const std::u16string gone = (dir_.path() / "gone.mp3").u16string(),
                         wide = (dir_.path() / "music" / "wide.mp3").u16string();
    p_->on_ui([&] {
        for (const std::u16string* path : {&gone, &wide})
            SendDlgItemMessage(browser, IDC_LIBRARY_PATHS, LB_ADDSTRING, 0, (LPARAM)path->c_str());
    });
    const int before = zv::test::open_descriptors();
    p_->on_ui([&] {
        for (int i = 0; i < 1000; ++i) SendMessage(browser, WM_COMMAND, IDC_LIBRARY_SORT, 0);
    });
    EXPECT_EQ(zv::test::open_descriptors(), before);
    EXPECT_EQ(p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_NAMES); }),
              std::vector<std::u16string>{artists_[u"wide.mp3"]});

    // Without a settings file a box names the program's folder, and the working directory is
    // walked.
    p_->key(VK_ESCAPE);
    fs::remove(dir_.path() / "direc.zvn");
    fs::path old = fs::current_path();
    fs::current_path(dir_.path() / "music");
    p_->key('A', true);
    HWND box = p_->ui(GetActiveWindow);
    WCHAR text[PATH_BUFFER_CHARS] = {};
    p_->on_ui([&] { SendDlgItemMessage(box, 0xFFFF, WM_GETTEXT, PATH_BUFFER_CHARS, (LPARAM)text); });
    EXPECT_EQ(std::u16string(text), p_->ui([] { return std::u16string(AppFolder); }));
    p_->key(VK_RETURN);
    browser = p_->ui(GetActiveWindow);
    EXPECT_EQ(p_->ui([&] { return list_box_items(browser, IDC_LIBRARY_NAMES); }).size(), 4u);
    EXPECT_EQ(p_->item_count(PathList), 24) << "the sixth time the library is appended";
    p_->key(VK_ESCAPE);
    p_->stop();
    fs::current_path(old);
}

TEST(TagText, EveryId3EncodingDecodesBoundedByItsField)
{
    const struct {
        std::vector<unsigned char> field;
        int capacity;
        int result;
        std::u16string text;
    } cases[] = {
        {{0, 'Z', 'o', 0xEB}, 200, 3, u"Zo\u00EB"},
        {{0, 'A', 0, 'B'}, 200, 1, u"A"},  // several values: the first
        {{1, 0xFF, 0xFE, 0x71, 0x67, 'x', 0}, 200, 2, u"\u6771x"},
        {{1, 0xFE, 0xFF, 0x67, 0x71}, 200, 1, u"\u6771"},
        {{1, 0xFF, 0xFE, 'a', 0, 'b'}, 200, 1, u"a"},  // an odd last byte is no character
        {{2, 0x00, 'h', 0x00, 'i'}, 200, 2, u"hi"},
        {{3, 0xC3, 0x85, 's', 'a'}, 200, 3, u"\u00C5sa"},
        {{0, 'a', 'b', 'c', 'd'}, 3, 2, u"ab"},
        {{2, 0xD8, 0x3D, 0xDE, 0x00}, 2, 0, u""},  // a pair cut by the buffer leaves no half
        {{0}, 200, 0, u""},
        {{7, 'a'}, 200, -1, u""},
        {{}, 200, -1, u""},
    };
    for (const auto& c : cases) {
        WCHAR out[200];
        EXPECT_EQ(DecodeTagText(c.field.data(), static_cast<int>(c.field.size()), out, c.capacity), c.result);
        EXPECT_EQ(std::u16string(out), c.text);
    }
}
