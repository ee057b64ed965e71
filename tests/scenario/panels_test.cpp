// The now-playing and options panels as the user meets them: they slide in, their image
// buttons play, pause, step and change the volume, the hardware keys follow the newest panel,
// the display goes dark on request, and the ways out lead back to the playlist or end the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "files/codepage.h"
#include "gdi/gdi_state.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace fs = std::filesystem;
using zv::test::ProgramHarness;
using zv::testing::FixtureDir;

namespace {

constexpr std::uint32_t kMainBlue = 0x0075E7;
constexpr int kTracks = 4;

// Tracks "f0300.mp3" .. "f0480.mp3" sounding at their frequency and tagged "A<frequency>" /
// "T<frequency>"; a 100 x 80 default picture.
void make_library(const FixtureDir& dir)
{
    fs::path music = dir.path() / "music";
    fs::create_directories(music);
    for (int i = 0; i < kTracks; ++i) {
        zv::fixtures::ToneTrack t;
        t.frequency_hz = 300 + 60 * i;
        t.seconds = 2.0;
        t.bitrate_kbps = 64;
        t.artist = "A" + std::to_string(300 + 60 * i);
        t.title = "T" + std::to_string(300 + 60 * i);
        char name[32];
        std::snprintf(name, sizeof name, "f%04d.mp3", 300 + 60 * i);
        ASSERT_TRUE(zv::fixtures::write_tone_mp3(music / name, t));
    }
    std::ofstream(dir.path() / "direc.zvn", std::ios::binary) << music.string() << "/";
    auto picture = zv::fixtures::make_cover_png(100, 80, 7);
    std::ofstream(dir.path() / "default.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
}

ProgramHarness::Options keep_panel(const FixtureDir& dir)
{
    ProgramHarness::Options o(dir.path());
    o.keep_start_panel = true;
    return o;
}

RECT rect_of(ProgramHarness& p, HWND* window, int control = 0)
{
    RECT r{};
    p.on_ui([&] { GetWindowRect(control ? GetDlgItem(*window, control) : *window, &r); });
    return r;
}

HWND active(ProgramHarness& p)
{
    HWND h = nullptr;
    p.on_ui([&] { h = GetActiveWindow(); });
    return h;
}

template <class T>
T read(ProgramHarness& p, const T& global)
{
    T v{};
    p.on_ui([&] { v = global; });
    return v;
}

// The tone of playlist item `index`, from its file name (the scan keeps the file system's order).
int tone_of(ProgramHarness& p, int index)
{
    WCHAR name[PATH_BUFFER_CHARS] = {};
    p.on_ui([&] {
        LVITEM item{};
        item.pszText = name;
        item.cchTextMax = PATH_BUFFER_CHARS;
        SendMessage(PlaylistView, LVM_GETITEMTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    });
    int hz = 0;
    for (const WCHAR* c = name + 1; *c >= u'0' && *c <= u'9'; ++c) hz = hz * 10 + (*c - u'0');
    return hz;
}

double heard(ProgramHarness& p)
{
    std::vector<std::int16_t> pcm = p.pull_audio(8192);
    if (zv::fixtures::rms_level(pcm.data(), 8192) < 1.0) return 0.0;
    return zv::fixtures::dominant_frequency(pcm.data(), 8192, 44100);
}

// Advances one 10 ms tick at a time and records where the window's left edge went.
std::vector<int> slide(ProgramHarness& p, HWND* window, int ticks)
{
    std::vector<int> xs;
    for (int i = 0; i < ticks; ++i) {
        p.advance(10);
        xs.push_back(rect_of(p, window).left);
    }
    return xs;
}

std::vector<int> expected_slide(int from)
{
    std::vector<int> xs;
    for (int x = from; x <= 0; x += 10) xs.push_back(x);
    return xs;
}

// Centres of the image buttons once a panel has come to rest at (0, 0).
constexpr POINT kPrevious{35, 303}, kPlayPause{126, 303}, kNext{204, 303}, kArt{50, 100}, kBackground{200, 200};
constexpr POINT kVolDown{49, 71}, kVolUp{199, 71}, kDisplayOff{51, 38}, kExit{125, 38}, kToPlaylist{197, 38},
    kToPanel{126, 72};

// A tap well after the last one, so no two taps make a double tap.
void tap(ProgramHarness& p, POINT at)
{
    p.advance(600);
    p.tap(at.x, at.y);
}

TEST(Panels, StartUpPanelSlidesInOverTheHiddenPlaylistAndItsButtonsPlay)
{
    FixtureDir dir;
    make_library(dir);
    ProgramHarness p(keep_panel(dir));
    HWND panel = read(p, NowPlayingPanel);
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(read(p, static_cast<BOOL>(IsWindowVisible(MainWindow))));

    // The first slide is one step shorter, and it settles full screen at (0, 0).
    EXPECT_EQ(slide(p, &panel, 23), expected_slide(-220));
    p.advance(200);
    RECT r = rect_of(p, &panel);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{0, 0, 240, 320}));
    EXPECT_EQ(active(p), panel);

    // Controls where the dialog units round them, pictures at their own size.
    struct Placed {
        int id, x, y, w, h;
    } placed[] = {{IDC_PREVIOUS, 11, 283, 48, 40},
                  {IDC_PLAYPAUSE, 102, 283, 48, 40},
                  {IDC_NEXT, 180, 283, 48, 40},
                  {IDC_ALBUMART, 0, 39, 100, 80},
                  {IDC_NOWPLAYING_TEXT, 2, 11, 238, 26}};
    for (const Placed& c : placed) {
        RECT cr = rect_of(p, &panel, c.id);
        EXPECT_EQ((std::vector<int>{cr.left, cr.top, cr.right - cr.left, cr.bottom - cr.top}),
                  (std::vector<int>{c.x, c.y, c.w, c.h}))
            << "control " << c.id;
    }
    // The default picture sits at (0, 39), just below the background's grey line.
    EXPECT_NE(p.pixel(1, 39), p.pixel(1, 38));
    EXPECT_NE(p.pixel(99, 118), 0u);
    EXPECT_EQ(p.pixel(100, 118), 0u);

    // Nothing plays yet: play/pause only flips the flag; next plays the second track, previous
    // the first.
    int playing = read(p, IsPlaying);
    tap(p, kPlayPause);
    EXPECT_NE(read(p, IsPlaying), playing);
    EXPECT_EQ(heard(p), 0.0);
    tap(p, kNext);
    EXPECT_NEAR(heard(p), tone_of(p, 1), 6.0);
    EXPECT_EQ(read(p, CurrentTrack), 1);
    EXPECT_EQ(p.pixel(188, 313), kMainBlue);  // pressed, even after the release over the button
    tap(p, kBackground);                      // a release that reaches the panel restores it
    EXPECT_EQ(p.pixel(188, 313), 0u);
    // Artist and title: white glyphs on black, nothing coloured.
    int white = 0, coloured = 0;
    for (int y = 11; y < 37; ++y)
        for (int x = 2; x < 240; ++x) {
            std::uint32_t c = p.pixel(x, y);
            white += c >= 0xC0C0C0 && (c & 0xFF) >= 0xC0;
            coloured += (c >> 16) != ((c >> 8) & 0xFF) || ((c >> 8) & 0xFF) != (c & 0xFF);
        }
    EXPECT_GT(white, 20);
    EXPECT_EQ(coloured, 0);
    std::u16string text;
    p.on_ui([&] { text = NowPlayingText; });
    std::u16string hz = zv::widen(std::to_string(tone_of(p, 1)));
    EXPECT_EQ(text, u"A" + hz + u" - T" + hz);

    tap(p, kPrevious);
    EXPECT_NEAR(heard(p), tone_of(p, 0), 6.0);
    // A double tap reports a double click, which starts nothing.
    p.tap(kNext.x, kNext.y);
    p.advance(100);
    p.tap(kNext.x, kNext.y);
    EXPECT_EQ(read(p, CurrentTrack), 1);
}

TEST(Panels, OptionsPanelSlidesAlongTheTopAndLeadsBackOrOff)
{
    FixtureDir dir;
    make_library(dir);
    ProgramHarness p(keep_panel(dir));
    HWND panel = read(p, NowPlayingPanel);
    p.advance(300);

    tap(p, kNext);
    tap(p, kArt);
    HWND options = active(p);
    ASSERT_NE(options, panel);
    EXPECT_EQ(slide(p, &options, 23), expected_slide(-220));
    RECT r = rect_of(p, &options);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{0, 0, 240, 90}));
    struct Placed {
        int id, x, y;
    } placed[] = {{IDC_VOLDOWN, 24, 60}, {IDC_VOLUP, 174, 60},      {IDC_DISPLAYOFF, 33, 20},
                  {IDC_EXIT, 107, 20},   {IDC_TOPLAYLIST, 179, 20}, {IDC_BACKTOPANEL, 111, 57}};
    for (const Placed& c : placed) {
        RECT cr = rect_of(p, &options, c.id);
        EXPECT_EQ((std::vector<int>{cr.left, cr.top}), (std::vector<int>{c.x, c.y})) << "control " << c.id;
    }

    // Volume taps repeat while the panel stays open.
    for (int i = 0; i < 3; ++i) tap(p, kVolUp);
    tap(p, kVolDown);
    EXPECT_EQ(read(p, CurrentVolume), 50 + 2 * 20);
    EXPECT_EQ(active(p), options);

    // Back to the now-playing panel; the next options panel slides the full 24 steps.
    tap(p, kToPanel);
    EXPECT_FALSE(read(p, static_cast<BOOL>(IsWindow(options))));
    EXPECT_EQ(active(p), panel);
    tap(p, kArt);
    options = active(p);
    EXPECT_EQ(slide(p, &options, 24), expected_slide(-230));

    // Display off: dark until a tap, which only wakes it; the panel stays open.
    tap(p, kDisplayOff);
    EXPECT_FALSE(p.backend().display_on());
    tap(p, kVolUp);
    EXPECT_TRUE(p.backend().display_on());
    EXPECT_EQ(read(p, CurrentVolume), 90);
    EXPECT_EQ(active(p), options);

    // Back to the playlist ends both panels; a tap on a row plays it under a new panel.
    tap(p, kToPlaylist);
    EXPECT_FALSE(read(p, static_cast<BOOL>(IsWindow(panel))));
    EXPECT_EQ(active(p), read(p, MainWindow));
    EXPECT_TRUE(read(p, static_cast<BOOL>(IsWindowVisible(MainWindow))));
    p.tap(120, 2 * ITEM_HEIGHT + 10);
    EXPECT_NEAR(heard(p), tone_of(p, 2), 6.0);
    HWND second = read(p, NowPlayingPanel);
    EXPECT_NE(second, panel);
    EXPECT_EQ(slide(p, &second, 24), expected_slide(-230));
}

TEST(Panels, HotKeysRaiseAndLowerAndFollowTheNewestPanel)
{
    FixtureDir dir;
    make_library(dir);
    ProgramHarness p(keep_panel(dir));
    tap(p, kNext);  // channels report full volume until something plays at the stored volume
    p.key(VK_UP);
    p.key(VK_UP);
    p.key(VK_DOWN);
    p.key(VK_APP1, false, /*win=*/true);  // F1 on the desktop
    EXPECT_EQ(read(p, CurrentVolume), 50);

    // A second panel over the first takes the keys; once it has gone they are nobody's.
    HWND first = read(p, NowPlayingPanel);
    p.platform().user().post_closure([] { RunDialog(IDD_NOWPLAYING, NowPlayingPanel, NowPlayingDlgProc); });
    p.settle();
    HWND second = read(p, NowPlayingPanel);
    ASSERT_NE(second, first);
    p.key(VK_UP);
    EXPECT_EQ(read(p, CurrentVolume), 70);
    p.on_ui([second] { EndDialog(second, 0); });
    EXPECT_EQ(active(p), first);
    p.key(VK_UP);
    EXPECT_EQ(read(p, CurrentVolume), 70);
}

TEST(Panels, ArtTappedDuringTheSlideSettlesAtOnceAndTheSlideCompletes)
{
    FixtureDir dir;
    make_library(dir);
    ProgramHarness p(keep_panel(dir));
    HWND panel = read(p, NowPlayingPanel);
    slide(p, &panel, 16);  // at x = -70 the 100-pixel picture shows from 0 to 30
    p.tap(10, 100);
    EXPECT_EQ(rect_of(p, &panel).left, 0);
    HWND options = active(p);
    EXPECT_NE(options, panel);
    EXPECT_EQ(slide(p, &panel, 7), expected_slide(-60));
    EXPECT_EQ(rect_of(p, &panel).right, 240);
    EXPECT_EQ(active(p), options);  // the options panel stays in front of the settled panel
}

TEST(Panels, ExitAndTheDesktopCloseButtonEndWithCodeZeroWhileCtrlQWaitsForThePlaylist)
{
    for (int way = 0; way < 3; ++way) {
        FixtureDir dir;
        make_library(dir);
        ProgramHarness p(keep_panel(dir));
        p.advance(300);
        if (way == 0) {
            tap(p, kArt);
            p.advance(300);
            tap(p, kExit);
        } else if (way == 1) {
            zv::InputEvent close{};
            close.type = zv::InputEvent::Type::Quit;
            p.backend().push_input(close);
            p.settle();
        } else {
            p.key('Q', /*ctrl=*/true);
            EXPECT_FALSE(p.finished());
            p.end_panels();
            p.key('Q', /*ctrl=*/true);
        }
        EXPECT_TRUE(p.finished()) << "way " << way;
        p.stop();
        EXPECT_EQ(p.exit_code(), 0) << "way " << way;
    }
}

TEST(Panels, TapsAndOpeningsLeaveTheGdiObjectCountFlat)
{
    FixtureDir dir;
    make_library(dir);
    ProgramHarness p(keep_panel(dir));
    p.advance(300);
    auto objects = [&] {
        std::size_t n = 0;
        p.on_ui([&] { n = zv::GdiState::current()->object_count(); });
        return n;
    };
    // Warm up once, so pictures loaded once per process are already counted.
    tap(p, kPlayPause);
    tap(p, kBackground);
    tap(p, kArt);
    tap(p, kToPanel);
    std::size_t before = objects();
    for (int i = 0; i < 500; ++i) {
        p.tap(kPlayPause.x, kPlayPause.y);  // a double tap every other time: no difference here
        p.tap(kBackground.x, kBackground.y);
    }
    for (int i = 0; i < 100; ++i) {
        tap(p, kArt);
        tap(p, kToPanel);
    }
    EXPECT_EQ(objects(), before);
    p.end_panels();
    p.tap(120, 10);  // the playlist's first showing makes its back buffer
    before = objects();
    for (int i = 0; i < 100; ++i) {
        p.end_panels();
        p.tap(120, 10);
    }
    EXPECT_EQ(objects(), before);
}

}  // namespace
