// The now-playing and options panels as the user meets them: they slide in, their buttons play,
// step and change the volume, the keys follow the newest panel, and the ways back and out.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "gdi/gdi_state.h"
#include "panels/panels.h"
#include "playlist/playlist.h"
#include "scenario/panel_program.h"
#include "support/fixture_dir.h"
#include "support/message_log.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace {

using zv::test::Msg;
using zv::test::optional;
using zv::test::posted;
using zv::test::sent;

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

// The program with a 100 x 80 default picture, keeping its start-up panel.
class Panels : public PanelProgram {
protected:
    void SetUp() override { start(100, 80); }

    HWND owner(HWND w)
    {
        return p_->ui([&] { return p_->platform().user().windows().live_window(w)->parent; });
    }
    std::vector<LONG> rect(HWND w, int control = 0)
    {
        const RECT r = p_->rect(w, control);
        return {r.left, r.top, r.right, r.bottom};
    }
    std::vector<int> slide(HWND w, int ticks)  // the left edge after each 10 ms tick
    {
        std::vector<int> xs;
        for (int i = 0; i < ticks; ++i) p_->advance(10), xs.push_back(rect(w)[0]);
        return xs;
    }
    // Which of previous, play/pause and next show their pressed picture (lit far more widely).
    std::vector<bool> pressed(HWND panel)
    {
        const zv::Surface s = p_->screen();
        std::vector<bool> out;
        for (int id : {IDC_PREVIOUS, IDC_PLAYPAUSE, IDC_NEXT}) {
            const RECT r = p_->rect(panel, id);
            int lit = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) lit += s.pixel(x, y) != 0;
            out.push_back(lit > 1000);
        }
        return out;
    }
    // A panel's answer to a colour request: the brush, and the text colour and background mode it
    // leaves on a context that had black text over a transparent background.
    std::tuple<HBRUSH, COLORREF, int> colours(HWND w, UINT request)
    {
        return p_->ui([&] {
            HDC dc = GetDC(w);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, 0);
            const LRESULT brush = SendMessage(w, request, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(w));
            std::tuple<HBRUSH, COLORREF, int> answer{reinterpret_cast<HBRUSH>(brush), GetTextColor(dc), GetBkMode(dc)};
            ReleaseDC(w, dc);
            return answer;
        });
    }
    void tap(POINT at)  // well after the last tap, so no two make a double tap
    {
        p_->advance(600);
        p_->tap(at.x, at.y);
    }
    void double_tap(POINT at)
    {
        tap(at);
        p_->advance(100);
        p_->tap(at.x, at.y);
    }
    void expect_exit_code_zero()
    {
        EXPECT_TRUE(p_->finished());
        p_->stop();
        EXPECT_EQ(p_->exit_code(), 0);
    }
};

TEST_F(Panels, StartUpPanelSlidesInItsButtonsAndHotKeysPlayAndTheCloseButtonQuits)
{
    HWND panel = p_->ui([] { return NowPlayingPanel; });
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(owner(panel), p_->ui([] { return MainWindow; }));
    EXPECT_FALSE(p_->ui([] { return IsWindowVisible(MainWindow); }));
    EXPECT_EQ(slide(panel, 22), expected_slide(-220, -10)) << "the first slide is one step shorter";
    // Each step moves the panel without a repaint; the step that reaches the edge repaints it.
    zv::test::MessageLog log;
    log.only({WM_TIMER, WM_WINDOWPOSCHANGED, WM_MOVE, WM_PAINT});
    p_->on_ui([&] { log.watch(panel); });
    p_->advance(10);
    EXPECT_SEQUENCE(log, panel, {{WM_TIMER, posted}, {WM_WINDOWPOSCHANGED}, {WM_MOVE}, {WM_PAINT, posted}});
    p_->advance(200);
    EXPECT_TRUE(log.all().empty()) << "the slide's timer has stopped";
    EXPECT_EQ(rect(panel), (std::vector<LONG>{0, 0, 240, 320}));
    EXPECT_EQ(active(), panel);
    EXPECT_EQ(p_->ui(GetFocus), panel);
    // Black behind everything, white text that keeps the background mode it had.
    const HBRUSH black = p_->ui([] { return PanelBrush; });
    EXPECT_EQ(colours(panel, WM_CTLCOLORDLG), std::tuple(black, COLORREF{0}, TRANSPARENT));
    for (UINT request : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT})
        EXPECT_EQ(colours(panel, request), std::tuple(black, RGB(255, 255, 255), TRANSPARENT)) << request;
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
    // A pressed picture stays, even after the release over its button, until a release reaches
    // the panel itself, which restores all three.
    const int playing = p_->ui([] { return IsPlaying; });
    EXPECT_EQ(pressed(panel), (std::vector<bool>{false, false, false}));
    tap(kPlayPause);
    EXPECT_NE(p_->ui([] { return IsPlaying; }), playing);
    EXPECT_EQ(p_->heard(), 0.0);
    EXPECT_EQ(pressed(panel), (std::vector<bool>{false, true, false}));
    tap(kNext);
    EXPECT_NEAR(p_->heard(), p_->tone_of(1), 6.0);
    EXPECT_EQ(p_->pixel(188, 313), 0x0075E7u);
    EXPECT_EQ(pressed(panel), (std::vector<bool>{false, true, true}));
    tap(kBackground);
    EXPECT_EQ(p_->pixel(188, 313), 0u);
    EXPECT_EQ(pressed(panel), (std::vector<bool>{false, false, false}));
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
    EXPECT_NEAR(p_->heard(), p_->tone_of(0), 6.0);
    EXPECT_EQ(pressed(panel), (std::vector<bool>{true, false, false}));
    tap(kBackground);
    EXPECT_EQ(pressed(panel), (std::vector<bool>{false, false, false}));
    double_tap(kNext);
    EXPECT_EQ(p_->ui([] { return CurrentTrack; }), 1) << "a double tap starts nothing";

    // Up raises the volume a step; down and every application button (0xC1 to 0xCF, which the
    // device sends with the Windows key) lower it; the codes either side are not held.
    for (int vk : {VK_UP, VK_UP, VK_DOWN}) p_->key(vk);
    EXPECT_EQ(volume(), 70);
    for (int code = 0xC0; code <= 0xD0; ++code) {
        p_->key(code, false, /*win=*/true);
        EXPECT_EQ(volume(), code == 0xC0 || code == 0xD0 ? 70 : 50) << std::hex << code;
        if (volume() == 50) p_->key(VK_UP);
    }
    // A second panel over the first takes the keys and comes to the front when it settles,
    // whatever was in front meanwhile; once it has gone the keys are nobody's.
    p_->platform().user().queue().post_closure([] { RunDialog(IDD_NOWPLAYING, NowPlayingPanel, NowPlayingDlgProc); });
    p_->settle();
    HWND second = p_->ui([] { return NowPlayingPanel; });
    ASSERT_NE(second, panel);
    HWND other = p_->ui([] {
        HWND w = CreateWindowW(u"STATIC", u"", WS_VISIBLE, 200, 0, 40, 20, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(w);
        return w;
    });
    ASSERT_EQ(active(), other);
    p_->advance(240);
    EXPECT_EQ(p_->ui(GetForegroundWindow), second);
    p_->on_ui([other] { DestroyWindow(other); });
    p_->key(VK_UP);
    EXPECT_EQ(volume(), 90);
    p_->on_ui([second] { EndDialog(second, 0); });
    EXPECT_EQ(active(), panel);
    for (int vk : {VK_UP, VK_DOWN}) p_->key(vk);
    p_->key(VK_APP1, false, /*win=*/true);
    EXPECT_EQ(volume(), 90);

    p_->backend().push_input({.type = zv::InputEvent::Type::Quit});  // the desktop's close button
    p_->settle();
    expect_exit_code_zero();
}

TEST_F(Panels, OptionsPanelSlidesAlongTheTopAndLeadsBackOffOrOut)
{
    HWND panel = p_->ui([] { return NowPlayingPanel; });
    p_->advance(300);
    tap(kNext);
    tap(kArt);
    HWND options = active();
    ASSERT_NE(options, panel);
    EXPECT_EQ(owner(options), panel);
    EXPECT_EQ(slide(options, 23), expected_slide(-220));
    EXPECT_EQ(rect(options), (std::vector<LONG>{0, 0, 240, 90}));
    const int placed[][3] = {{IDC_VOLDOWN, 24, 60}, {IDC_VOLUP, 174, 60},      {IDC_DISPLAYOFF, 33, 20},
                             {IDC_EXIT, 107, 20},   {IDC_TOPLAYLIST, 179, 20}, {IDC_BACKTOPANEL, 111, 57}};
    for (const auto& c : placed) {
        const std::vector<LONG> r = rect(options, c[0]);
        EXPECT_EQ((std::pair{r[0], r[1]}), (std::pair<LONG, LONG>{c[1], c[2]})) << "control " << c[0];
    }
    // Black between the buttons; white text on black.
    const HBRUSH black = p_->ui([] { return PanelBrush; });
    EXPECT_EQ(colours(options, WM_CTLCOLORDLG), std::tuple(black, COLORREF{0}, TRANSPARENT));
    EXPECT_EQ(colours(options, WM_CTLCOLORSTATIC), std::tuple(black, RGB(255, 255, 255), OPAQUE));
    for (POINT at : {POINT{2, 2}, POINT{120, 10}, POINT{90, 60}, POINT{230, 85}}) EXPECT_EQ(p_->pixel(at.x, at.y), 0u);

    for (POINT at : {kVolUp, kVolUp, kVolUp, kVolDown}) tap(at);
    EXPECT_EQ(volume(), 50 + 2 * 20) << "volume taps repeat while the panel stays open";
    double_tap(kVolUp);
    EXPECT_EQ(volume(), 90 + 20) << "a double tap steps once";
    double_tap(kVolDown);
    EXPECT_EQ(volume(), 90);
    EXPECT_EQ(active(), options);
    tap(kToPanel);
    EXPECT_FALSE(p_->ui([&] { return IsWindow(options); }));
    EXPECT_EQ(active(), panel);
    // Ctrl+Q does nothing while a panel is open; taps and openings leave no picture behind.
    p_->key('Q', /*ctrl=*/true);
    EXPECT_FALSE(p_->finished());
    for (POINT at : {kPlayPause, kBackground, kArt, kToPanel}) tap(at);  // loads what stays for the process
    std::size_t before = p_->ui(gdi_objects);
    for (int i = 0; i < 100; ++i) {
        p_->tap(kPlayPause.x, kPlayPause.y);  // a double tap every other time
        p_->tap(kBackground.x, kBackground.y);
    }
    for (int i = 0; i < 50; ++i) tap(kArt), tap(kToPanel);
    EXPECT_EQ(p_->ui(gdi_objects), before);
    tap(kArt);
    options = active();
    EXPECT_EQ(slide(options, 24), expected_slide(-230)) << "later slides take the full 24 steps";

    // Display off: dark until a tap, which only wakes it; the panel stays open.
    tap(kDisplayOff);
    EXPECT_FALSE(p_->backend().display_on());
    tap(kVolUp);
    EXPECT_TRUE(p_->backend().display_on());
    EXPECT_EQ(volume(), 90);
    EXPECT_EQ(active(), options);

    // Back to the playlist ends both panels; a tap on a row plays it under a new panel.
    tap(kToPlaylist);
    EXPECT_FALSE(p_->ui([&] { return IsWindow(panel); }));
    EXPECT_EQ(active(), p_->ui([] { return MainWindow; }));
    EXPECT_TRUE(p_->ui([] { return IsWindowVisible(MainWindow); }));
    p_->tap(120, 10);  // the playlist's first showing makes its back buffer
    before = p_->ui(gdi_objects);
    for (int i = 0; i < 50; ++i) p_->end_panels(), p_->tap(120, 10);
    EXPECT_EQ(p_->ui(gdi_objects), before);
    p_->end_panels();
    p_->tap(120, 2 * ITEM_HEIGHT + 10);
    EXPECT_NEAR(p_->heard(), p_->tone_of(2), 6.0);
    panel = p_->ui([] { return NowPlayingPanel; });
    EXPECT_EQ(owner(panel), p_->ui([] { return MainWindow; }));
    const std::u16string line = p_->ui([&] {
        WCHAR text[NOW_PLAYING_CHARS] = {};
        SendDlgItemMessage(panel, IDC_NOWPLAYING_TEXT, WM_GETTEXT, NOW_PLAYING_CHARS, reinterpret_cast<LPARAM>(text));
        return std::u16string(text);
    });
    EXPECT_EQ(line, u"A420 - T420") << "the new panel shows the track that plays";
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

}  // namespace

TEST(PanelsWithoutUnregister, ACoreLibraryWithoutItLeavesThePanelWorkingButDeafToTheKeys)
{
    zv::test::FixtureDir dir;
    zv::test::tone_library(dir.path(), 2);
    zv::test::ProgramHarness::Options o(dir.path());
    o.keep_start_panel = true;
    o.unregister_func1 = false;
    zv::test::ProgramHarness p(o);
    p.advance(300);
    const HWND panel = p.ui([] { return NowPlayingPanel; });
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(p.rect(panel, 0).left, 0) << "the panel slid in";
    const int volume = p.ui([] { return CurrentVolume; });
    for (int vk : {VK_UP, VK_DOWN}) p.key(vk);
    p.key(VK_APP1, false, /*win=*/true);
    EXPECT_EQ(p.ui([] { return CurrentVolume; }), volume) << "no key was taken over";
    p.tap(kNext.x, kNext.y);
    EXPECT_EQ(p.ui([] { return CurrentTrack; }), 1);
    EXPECT_NEAR(p.heard(), p.tone_of(1), 6.0);
}
