// The now-playing and options panels as the user meets them: they slide in, their buttons play,
// step and change the volume, the keys follow the newest panel, and the ways back and out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "gdi/gdi_state.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace {

// Centres of the image buttons once a panel has come to rest at (0, 0).
constexpr POINT kPrevious{35, 303}, kPlayPause{126, 303}, kNext{204, 303}, kArt{50, 100}, kBackground{200, 200};
constexpr POINT kVolDown{49, 71}, kVolUp{199, 71}, kDisplayOff{51, 38}, kExit{125, 38}, kToPlaylist{197, 38},
    kToPanel{126, 72};

std::size_t gdi_objects() { return zv::GdiState::current()->object_count(); }

std::vector<int> expected_slide(int from, int to = 0)
{
    std::vector<int> xs;
    for (int x = from; x <= to; x += 10) xs.push_back(x);
    return xs;
}

// Tracks f0300.mp3 .. f0480.mp3 sounding at their frequency, tagged "A<hz>" / "T<hz>", and a
// 100 x 80 default picture; the program keeps its start-up panel.
class Panels : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto music = dir_.path() / "music";
        std::filesystem::create_directories(music);
        for (int hz = 300; hz < 540; hz += 60) {
            zv::fixtures::ToneTrack t;
            t.frequency_hz = hz, t.seconds = 2.0, t.bitrate_kbps = 64;
            t.artist = "A" + std::to_string(hz), t.title = "T" + std::to_string(hz);
            ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / ("f0" + std::to_string(hz) + ".mp3"), t));
        }
        std::ofstream(dir_.path() / "direc.zvn", std::ios::binary) << music.string() << "/";
        const auto picture = zv::fixtures::make_cover_png(100, 80, 7);
        std::ofstream(dir_.path() / "default.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
        zv::test::ProgramHarness::Options o(dir_.path());
        o.keep_start_panel = true;
        p_ = std::make_unique<zv::test::ProgramHarness>(o);
    }

    template <class F>
    auto ui(F f)  // f's answer, computed on the user-interface thread
    {
        decltype(f()) v{};
        p_->on_ui([&] { v = f(); });
        return v;
    }
    HWND active() { return ui(GetActiveWindow); }
    std::vector<LONG> rect(HWND w, int control = 0)
    {
        return ui([&] {
            RECT r{};
            GetWindowRect(control ? GetDlgItem(w, control) : w, &r);
            return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
        });
    }
    std::vector<int> slide(HWND w, int ticks)  // the left edge after each 10 ms tick
    {
        std::vector<int> xs;
        for (int i = 0; i < ticks; ++i) p_->advance(10), xs.push_back(rect(w)[0]);
        return xs;
    }
    int tone_of(int row)  // from the row's file name: the scan keeps the file system's order
    {
        return ui([&] {
            WCHAR name[PATH_BUFFER_CHARS] = {};
            LVITEM item{};
            item.pszText = name, item.cchTextMax = PATH_BUFFER_CHARS;
            SendMessage(PlaylistView, LVM_GETITEMTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            return std::atoi(std::string(name + 1, name + 5).c_str());
        });
    }
    double heard()
    {
        std::vector<std::int16_t> pcm = p_->pull_audio(8192);
        if (zv::fixtures::rms_level(pcm.data(), 8192) < 1.0) return 0.0;
        return zv::fixtures::dominant_frequency(pcm.data(), 8192, 44100);
    }
    void tap(POINT at)  // well after the last tap, so no two make a double tap
    {
        p_->advance(600);
        p_->tap(at.x, at.y);
    }
    void expect_exit_code_zero()
    {
        EXPECT_TRUE(p_->finished());
        p_->stop();
        EXPECT_EQ(p_->exit_code(), 0);
    }

    zv::testing::FixtureDir dir_;
    std::unique_ptr<zv::test::ProgramHarness> p_;
};

TEST_F(Panels, StartUpPanelSlidesInItsButtonsAndHotKeysPlayAndTheCloseButtonQuits)
{
    HWND panel = ui([] { return NowPlayingPanel; });
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(ui([] { return IsWindowVisible(MainWindow); }));
    EXPECT_EQ(slide(panel, 23), expected_slide(-220)) << "the first slide is one step shorter";
    p_->advance(200);
    EXPECT_EQ(rect(panel), (std::vector<LONG>{0, 0, 240, 320}));
    EXPECT_EQ(active(), panel);
    // Where the dialog units put them; pictures at their own size.
    const LONG placed[][5] = {{IDC_PREVIOUS, 11, 283, 59, 323},
                              {IDC_PLAYPAUSE, 102, 283, 150, 323},
                              {IDC_NEXT, 180, 283, 228, 323},
                              {IDC_ALBUMART, 0, 39, 100, 119},
                              {IDC_NOWPLAYING_TEXT, 2, 11, 240, 37}};
    for (const auto& c : placed) EXPECT_EQ(rect(panel, c[0]), std::vector<LONG>(c + 1, c + 5)) << "control " << c[0];
    EXPECT_NE(p_->pixel(1, 39), p_->pixel(1, 38)) << "the default picture, below the background's grey line";
    EXPECT_NE(p_->pixel(99, 118), 0u);
    EXPECT_EQ(p_->pixel(100, 118), 0u);

    // Nothing plays yet: play/pause only flips the flag; next plays track 1, previous track 0.
    const int playing = ui([] { return IsPlaying; });
    tap(kPlayPause);
    EXPECT_NE(ui([] { return IsPlaying; }), playing);
    EXPECT_EQ(heard(), 0.0);
    tap(kNext);
    EXPECT_NEAR(heard(), tone_of(1), 6.0);
    EXPECT_EQ(p_->pixel(188, 313), 0x0075E7u) << "pressed, even after the release over the button";
    tap(kBackground);
    EXPECT_EQ(p_->pixel(188, 313), 0u) << "a release that reaches the panel restores it";
    int white = 0, coloured = 0;  // artist and title: white glyphs, grey edges, on black
    for (int y = 11; y < 37; ++y)
        for (int x = 2; x < 240; ++x) {
            const std::uint32_t c = p_->pixel(x, y);
            white += c >= 0xC0C0C0 && (c & 0xFF) >= 0xC0;
            coloured += (c >> 16) != ((c >> 8) & 0xFF) || ((c >> 8) & 0xFF) != (c & 0xFF);
        }
    EXPECT_GT(white, 20);
    EXPECT_EQ(coloured, 0);
    tap(kPrevious);
    EXPECT_NEAR(heard(), tone_of(0), 6.0);
    p_->tap(kNext.x, kNext.y);
    p_->advance(100);
    p_->tap(kNext.x, kNext.y);
    EXPECT_EQ(ui([] { return CurrentTrack; }), 1) << "a double tap starts nothing";

    for (int vk : {VK_UP, VK_UP, VK_DOWN}) p_->key(vk);
    p_->key(VK_APP1, false, /*win=*/true);  // F1 on the desktop
    EXPECT_EQ(ui([] { return CurrentVolume; }), 50);
    // A second panel over the first takes the keys; once it has gone they are nobody's.
    p_->platform().user().post_closure([] { RunDialog(IDD_NOWPLAYING, NowPlayingPanel, NowPlayingDlgProc); });
    p_->settle();
    HWND second = ui([] { return NowPlayingPanel; });
    ASSERT_NE(second, panel);
    p_->key(VK_UP);
    EXPECT_EQ(ui([] { return CurrentVolume; }), 70);
    p_->on_ui([second] { EndDialog(second, 0); });
    EXPECT_EQ(active(), panel);
    p_->key(VK_UP);
    EXPECT_EQ(ui([] { return CurrentVolume; }), 70);

    p_->backend().push_input({.type = zv::InputEvent::Type::Quit});  // the desktop's close button
    p_->settle();
    expect_exit_code_zero();
}

TEST_F(Panels, OptionsPanelSlidesAlongTheTopAndLeadsBackOffOrOut)
{
    HWND panel = ui([] { return NowPlayingPanel; });
    p_->advance(300);
    tap(kNext);
    tap(kArt);
    HWND options = active();
    ASSERT_NE(options, panel);
    EXPECT_EQ(slide(options, 23), expected_slide(-220));
    EXPECT_EQ(rect(options), (std::vector<LONG>{0, 0, 240, 90}));
    const int placed[][3] = {{IDC_VOLDOWN, 24, 60}, {IDC_VOLUP, 174, 60},      {IDC_DISPLAYOFF, 33, 20},
                             {IDC_EXIT, 107, 20},   {IDC_TOPLAYLIST, 179, 20}, {IDC_BACKTOPANEL, 111, 57}};
    for (const auto& c : placed) {
        const std::vector<LONG> r = rect(options, c[0]);
        EXPECT_EQ((std::pair{r[0], r[1]}), (std::pair<LONG, LONG>{c[1], c[2]})) << "control " << c[0];
    }

    for (POINT at : {kVolUp, kVolUp, kVolUp, kVolDown}) tap(at);
    EXPECT_EQ(ui([] { return CurrentVolume; }), 50 + 2 * 20) << "volume taps repeat while the panel stays open";
    EXPECT_EQ(active(), options);
    tap(kToPanel);
    EXPECT_FALSE(ui([&] { return IsWindow(options); }));
    EXPECT_EQ(active(), panel);
    tap(kArt);
    options = active();
    EXPECT_EQ(slide(options, 24), expected_slide(-230)) << "later slides take the full 24 steps";

    // Display off: dark until a tap, which only wakes it; the panel stays open.
    tap(kDisplayOff);
    EXPECT_FALSE(p_->backend().display_on());
    tap(kVolUp);
    EXPECT_TRUE(p_->backend().display_on());
    EXPECT_EQ(ui([] { return CurrentVolume; }), 90);
    EXPECT_EQ(active(), options);

    // Back to the playlist ends both panels; a tap on a row plays it under a new panel.
    tap(kToPlaylist);
    EXPECT_FALSE(ui([&] { return IsWindow(panel); }));
    EXPECT_EQ(active(), ui([] { return MainWindow; }));
    EXPECT_TRUE(ui([] { return IsWindowVisible(MainWindow); }));
    p_->tap(120, 2 * ITEM_HEIGHT + 10);
    EXPECT_NEAR(heard(), tone_of(2), 6.0);
    panel = ui([] { return NowPlayingPanel; });
    EXPECT_EQ(slide(panel, 16), expected_slide(-230, -80));
    // The art tapped mid-slide (it shows from 0 to 20) settles the panel at once; the slide
    // still runs to its end under the options panel.
    p_->tap(10, 100);
    EXPECT_EQ(rect(panel)[0], 0);
    options = active();
    EXPECT_NE(options, panel);
    EXPECT_EQ(slide(panel, 8), expected_slide(-70));
    EXPECT_EQ(rect(panel)[2], 240);
    EXPECT_EQ(active(), options);

    tap(kExit);
    expect_exit_code_zero();
}

TEST_F(Panels, TapsAndOpeningsLeaveTheGdiObjectCountFlatAndCtrlQQuitsOnlyFromThePlaylist)
{
    p_->advance(300);
    p_->key('Q', /*ctrl=*/true);
    EXPECT_FALSE(p_->finished()) << "not while a panel is open";
    for (POINT at : {kPlayPause, kBackground, kArt, kToPanel}) tap(at);  // loads what stays for the process
    std::size_t before = ui(gdi_objects);
    for (int i = 0; i < 100; ++i) {
        p_->tap(kPlayPause.x, kPlayPause.y);  // a double tap every other time
        p_->tap(kBackground.x, kBackground.y);
    }
    for (int i = 0; i < 50; ++i) tap(kArt), tap(kToPanel);
    EXPECT_EQ(ui(gdi_objects), before);
    p_->end_panels();
    p_->tap(120, 10);  // the playlist's first showing makes its back buffer
    before = ui(gdi_objects);
    for (int i = 0; i < 50; ++i) p_->end_panels(), p_->tap(120, 10);
    EXPECT_EQ(ui(gdi_objects), before);
    p_->end_panels();
    p_->key('Q', /*ctrl=*/true);
    expect_exit_code_zero();
}

}  // namespace
