// The now-playing panel and the options strip on a turned screen: the panel lays itself out for
// 320 x 240 and back, every button stays in sight and works, a panel opened turned starts turned
// and slides along the screen's width, and turning leaves no picture behind.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "app/zorvane.h"
#include "core/user_state.h"
#include "gdi/gdi_state.h"
#include "panels/panels.h"
#include "scenario/panel_program.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

namespace {

constexpr int kPanelControls[] = {IDC_PREVIOUS, IDC_PLAYPAUSE, IDC_NEXT, IDC_ALBUMART, IDC_NOWPLAYING_TEXT};
// With the background and the first unnamed picture (the separator), which may leave the screen.
constexpr int kAllPanelControls[] = {IDC_PREVIOUS,        IDC_PLAYPAUSE,  IDC_NEXT,  IDC_ALBUMART,
                                     IDC_NOWPLAYING_TEXT, IDC_BACKGROUND, IDC_STATIC};
constexpr int kOptionsControls[] = {IDC_VOLUP, IDC_VOLDOWN, IDC_EXIT, IDC_DISPLAYOFF, IDC_TOPLAYLIST, IDC_BACKTOPANEL};

// The program with a 250 x 232 default picture, keeping its start-up panel.
class PanelsLandscape : public PanelProgram {
protected:
    void SetUp() override { start(250, 232); }

    std::vector<LONG> rect(HWND w, int control = 0)
    {
        const RECT r = p_->rect(w, control);
        return {r.left, r.top, r.right, r.bottom};
    }
    std::map<int, std::vector<LONG>> rects(HWND w, const int* ids, std::size_t n)
    {
        std::map<int, std::vector<LONG>> out;
        for (std::size_t i = 0; i < n; ++i) out[ids[i]] = rect(w, ids[i]);
        return out;
    }
    // Every named control wholly on the screen, none over another (so each takes its own taps).
    void expect_on_screen(const std::map<int, std::vector<LONG>>& placed, LONG width, LONG height)
    {
        for (const auto& [id, r] : placed) {
            EXPECT_TRUE(r[0] >= 0 && r[1] >= 0 && r[2] <= width && r[3] <= height && r[0] < r[2] && r[1] < r[3])
                << "control " << id << " at " << r[0] << "," << r[1] << "-" << r[2] << "," << r[3];
            for (const auto& [other, o] : placed) {
                const bool overlap = r[0] < o[2] && o[0] < r[2] && r[1] < o[3] && o[1] < r[3];
                EXPECT_TRUE(other == id || !overlap) << id << " over " << other;
            }
        }
    }
    // Lit pixels of a control as the screen shows it.
    int lit(HWND w, int control)
    {
        const zv::Surface s = p_->screen();
        const RECT r = p_->rect(w, control);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += s.pixel(x, y) != 0;
        return n;
    }
    void tap(HWND w, int control)  // its centre, well after the last tap
    {
        const RECT r = p_->rect(w, control);
        p_->advance(600);
        p_->tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    // The panel's controls, placed as if the panel stood at 0,0.
    std::map<int, std::vector<LONG>> within(HWND panel, const int* ids = kPanelControls,
                                            std::size_t n = std::size(kPanelControls))
    {
        const std::vector<LONG> at = rect(panel);
        auto placed = rects(panel, ids, n);
        for (auto& [id, r] : placed) r = {r[0] - at[0], r[1] - at[1], r[2] - at[0], r[3] - at[1]};
        return placed;
    }
    std::u16string line(HWND panel)
    {
        return p_->ui([&] {
            WCHAR text[NOW_PLAYING_CHARS] = {};
            SendDlgItemMessage(panel, IDC_NOWPLAYING_TEXT, WM_GETTEXT, NOW_PLAYING_CHARS,
                               reinterpret_cast<LPARAM>(text));
            return std::u16string(text);
        });
    }
    std::size_t gdi_objects()
    {
        return p_->ui([] { return zv::GdiState::current()->object_count(); });
    }
    void turn() { p_->key(VK_F7); }
};

TEST_F(PanelsLandscape, StartUpPanelAndOptionsStripTurnWorkTurnedAndTurnBack)
{
    const HWND panel = p_->ui([] { return NowPlayingPanel; });
    ASSERT_NE(panel, nullptr);
    // As the template placed them; a slide (a resize) and every turn back must give the same.
    const auto portrait = within(panel, kAllPanelControls, std::size(kAllPanelControls));
    p_->advance(300);
    EXPECT_EQ(rects(panel, kAllPanelControls, std::size(kAllPanelControls)), portrait);

    turn();
    EXPECT_EQ(rect(panel), (std::vector<LONG>{0, 0, 320, 240}));
    const auto landscape = rects(panel, kPanelControls, std::size(kPanelControls));
    expect_on_screen(landscape, 320, 240);
    const std::vector<LONG>& art = landscape.at(IDC_ALBUMART);
    EXPECT_EQ((std::vector<LONG>{art[2] - art[0], art[3] - art[1]}), (std::vector<LONG>{250, 232}))
        << "the art keeps its picture's size";
    // The line and the picture are given back after the moves; every button shows its picture.
    EXPECT_EQ(p_->ui([&] { return (HBITMAP)SendDlgItemMessage(panel, IDC_ALBUMART, STM_GETIMAGE, IMAGE_BITMAP, 0); }),
              p_->ui([] { return AlbumArtBitmap; }));
    for (int id : {IDC_PREVIOUS, IDC_PLAYPAUSE, IDC_NEXT}) EXPECT_GT(lit(panel, id), 100) << id;

    // Each button, the hot keys and the art work as in portrait; a pressed picture shows in place.
    const int playing = p_->ui([] { return IsPlaying; });
    tap(panel, IDC_PLAYPAUSE);
    EXPECT_NE(p_->ui([] { return IsPlaying; }), playing);
    const int unpressed = lit(panel, IDC_NEXT);
    tap(panel, IDC_NEXT);
    EXPECT_NEAR(p_->heard(), p_->tone_of(1), 6.0);
    EXPECT_GT(lit(panel, IDC_NEXT), unpressed) << "the pressed picture";
    EXPECT_EQ(rect(panel, IDC_NEXT), landscape.at(IDC_NEXT));
    tap(panel, IDC_PREVIOUS);
    EXPECT_NEAR(p_->heard(), p_->tone_of(0), 6.0);
    EXPECT_EQ(line(panel), u"A300 - T300");
    const int before = volume();
    p_->key(VK_UP);
    EXPECT_EQ(volume(), before + 20);
    p_->key(VK_DOWN);
    EXPECT_EQ(volume(), before);

    // The options strip keeps its 240 x 90 at the top of the turned screen, and works there.
    tap(panel, IDC_ALBUMART);
    HWND options = active();
    ASSERT_NE(options, panel);
    p_->advance(300);
    EXPECT_EQ(rect(options), (std::vector<LONG>{0, 0, 240, 90}));
    const auto strip = rects(options, kOptionsControls, std::size(kOptionsControls));
    expect_on_screen(strip, 240, 90);
    tap(options, IDC_VOLUP);
    EXPECT_EQ(volume(), before + 20);
    tap(options, IDC_VOLDOWN);
    tap(options, IDC_VOLDOWN);
    EXPECT_EQ(volume(), before - 20);
    // Turned back and again while it is open: it keeps its place.
    turn();
    EXPECT_EQ(rects(options, kOptionsControls, std::size(kOptionsControls)), strip);
    turn();
    EXPECT_EQ(rects(options, kOptionsControls, std::size(kOptionsControls)), strip);
    tap(options, IDC_BACKTOPANEL);
    EXPECT_FALSE(p_->ui([&] { return IsWindow(options); }));
    EXPECT_EQ(active(), panel);
    EXPECT_EQ(rects(panel, kPanelControls, std::size(kPanelControls)), landscape);

    // Back to portrait: every control where it was. Turning again and again leaves nothing behind.
    turn();
    EXPECT_EQ(rect(panel), (std::vector<LONG>{0, 0, 240, 320}));
    EXPECT_EQ(rects(panel, kAllPanelControls, std::size(kAllPanelControls)), portrait);
    EXPECT_EQ(line(panel), u"A300 - T300");
    const std::size_t objects = gdi_objects();
    for (int i = 0; i < 20; ++i) turn(), turn();
    EXPECT_EQ(gdi_objects(), objects);
    EXPECT_EQ(rects(panel, kAllPanelControls, std::size(kAllPanelControls)), portrait);

    // The way back to the playlist, from a turned strip.
    turn();
    tap(panel, IDC_ALBUMART);
    options = active();
    p_->advance(300);
    tap(options, IDC_TOPLAYLIST);
    EXPECT_FALSE(p_->ui([&] { return IsWindow(panel); }));
    EXPECT_EQ(active(), p_->ui([] { return MainWindow; }));
}

TEST_F(PanelsLandscape, APanelOpenedTurnedStartsTurnedSlidesAlongTheWidthAndStaysTheScreensSize)
{
    p_->advance(300);
    p_->end_panels();
    turn();
    p_->platform().user().queue().post_closure([] { RunDialog(IDD_NOWPLAYING, MainWindow, NowPlayingDlgProc); });
    p_->settle();
    const HWND panel = p_->ui([] { return NowPlayingPanel; });
    ASSERT_NE(panel, nullptr);
    const auto opened = within(panel);  // before the slide's first step
    std::vector<std::vector<LONG>> steps;
    for (int i = 0; i < 32; ++i) p_->advance(10), steps.push_back(rect(panel));
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(steps[i], (std::vector<LONG>{-310 + 10 * i, 0, 10 + 10 * i, 240})) << "step " << i;
    p_->advance(500);
    EXPECT_EQ(rect(panel), (std::vector<LONG>{0, 0, 320, 240})) << "settled at the screen's size";
    expect_on_screen(rects(panel, kPanelControls, std::size(kPanelControls)), 320, 240);
    EXPECT_EQ(within(panel), opened) << "laid out for the turned screen from the start";
    EXPECT_GT(lit(panel, IDC_NEXT), 100);
    tap(panel, IDC_NEXT);
    EXPECT_NEAR(p_->heard(), p_->tone_of(1), 6.0);

    tap(panel, IDC_ALBUMART);
    const HWND options = active();
    ASSERT_NE(options, panel);
    p_->advance(300);
    tap(options, IDC_EXIT);
    EXPECT_TRUE(p_->finished());
    p_->stop();
    EXPECT_EQ(p_->exit_code(), 0);
}

}  // namespace
