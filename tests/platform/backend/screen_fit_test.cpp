// The screen in a desktop window of any size: the scale and place of the picture, and how window
// points map to screen pixels and back, at the corners and in the border.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "backend/screen_fit.h"

namespace zv::test {
namespace {

TEST(ScreenFit, LargestWholeScaleCentredOnBlack)
{
    struct Case {
        int window_w, window_h, screen_w, screen_h, max_scale;
        int scale, x, y;
    } cases[] = {
        {500, 700, 240, 320, 0, 2, 10, 30},      // full screen on a 500 x 700 display
        {400, 600, 240, 320, 0, 1, 80, 140},     // too small for scale 2
        {480, 640, 240, 320, 0, 2, 0, 0},        // exactly scale 2: no border
        {479, 640, 240, 320, 0, 1, 119, 160},    // one pixel short of it
        {1920, 1080, 240, 320, 0, 3, 600, 60},   // a landscape display, the height decides
        {700, 500, 320, 240, 0, 2, 30, 10},      // the turned screen
        {500, 700, 320, 240, 0, 1, 90, 230},     // the turned screen in a portrait window
        {1920, 1080, 240, 320, 2, 2, 720, 220},  // a scale asked for is the largest used
        {400, 600, 240, 320, 3, 1, 80, 140},     // ... and gives way when it does not fit
        {100, 50, 240, 320, 0, 1, 0, 0},         // too small for the screen: its top-left part
        {300, 50, 240, 320, 0, 1, 30, 0},        // fits across only: centred across
        {0, 0, 240, 320, 0, 1, 0, 0},            // a minimised window
        {-5, -5, 0, 0, 0, 1, 0, 0},              // nonsense sizes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.window_w) + "x" + std::to_string(c.window_h) + " showing " +
                     std::to_string(c.screen_w) + "x" + std::to_string(c.screen_h));
        const ScreenFit fit(c.window_w, c.window_h, c.screen_w, c.screen_h, c.max_scale);
        EXPECT_EQ(fit.scale(), c.scale);
        EXPECT_EQ(fit.x(), c.x);
        EXPECT_EQ(fit.y(), c.y);
        EXPECT_EQ(fit.picture_width(), std::max(c.screen_w, 1) * c.scale);
        EXPECT_EQ(fit.picture_height(), std::max(c.screen_h, 1) * c.scale);
    }
}

TEST(ScreenFit, WindowPointsMapToScreenPixelsAndBack)
{
    const ScreenFit fit(500, 700, 240, 320);  // scale 2 at (10, 30)
    struct Case {
        FitPoint window;
        std::optional<FitPoint> screen;  // none: in the border
        FitPoint clamped;
    } cases[] = {
        {{10, 30}, FitPoint{0, 0}, {0, 0}},            // the picture's top-left pixel
        {{11, 31}, FitPoint{0, 0}, {0, 0}},            // the same screen pixel, scaled
        {{489, 669}, FitPoint{239, 319}, {239, 319}},  // its bottom-right pixel
        {{416, 630}, FitPoint{203, 300}, {203, 300}},  // the now-playing panel's next button
        {{9, 30}, std::nullopt, {0, 0}},               // just left of the picture
        {{490, 100}, std::nullopt, {239, 35}},         // just right of it
        {{200, 29}, std::nullopt, {95, 0}},            // just above it
        {{200, 670}, std::nullopt, {95, 319}},         // just below it
        {{0, 0}, std::nullopt, {0, 0}},                // the window's corners
        {{499, 699}, std::nullopt, {239, 319}},
        {{-40, 5000}, std::nullopt, {0, 319}},  // a drag far out of the window
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("window point " + std::to_string(c.window.x) + "," + std::to_string(c.window.y));
        EXPECT_EQ(fit.to_screen(c.window), c.screen);
        EXPECT_EQ(fit.to_screen_clamped(c.window), c.clamped);
        // Back: the screen pixel's top-left window point, which maps to that pixel again.
        const FitPoint back = fit.to_window(c.clamped);
        EXPECT_EQ(back, (FitPoint{10 + c.clamped.x * 2, 30 + c.clamped.y * 2}));
        EXPECT_EQ(fit.to_screen(back), c.clamped);
    }
    EXPECT_EQ(fit.to_window({-3, 400}), (FitPoint{10, 30 + 319 * 2}));  // off the screen: its nearest pixel

    // A window too small for the screen: points beyond the window cannot come, the rest maps 1:1.
    const ScreenFit small(100, 50, 240, 320);
    EXPECT_EQ(small.to_screen({99, 49}), (FitPoint{99, 49}));
    EXPECT_EQ(small.to_screen_clamped({500, 500}), (FitPoint{239, 319}));
}

TEST(ScreenFit, TouchFractionsAreWindowPixels)
{
    const ScreenFit fit(500, 700, 240, 320);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float fx, fy;
        FitPoint window;
    } cases[] = {
        {0.0f, 0.0f, {0, 0}},
        {0.5f, 0.5f, {250, 350}},
        {416.5f / 500, 630.5f / 700, {416, 630}},  // on the next button
        {1.0f, 1.0f, {499, 699}},                  // the far edge is the last pixel
        {1.2f, -0.1f, {499, 0}},                   // a little beyond the window
        {nan, nan, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fx) + "," + std::to_string(c.fy));
        EXPECT_EQ(fit.from_normalised(c.fx, c.fy), c.window);
    }
    EXPECT_EQ(fit.to_screen(fit.from_normalised(416.5f / 500, 630.5f / 700)), (FitPoint{203, 300}));
    EXPECT_EQ(ScreenFit(0, 0, 240, 320).from_normalised(0.5f, 0.5f), (FitPoint{0, 0}));
}

// One gesture after another through a 500 x 700 window showing the screen at scale 2 at (10, 30).
TEST(StylusHold, PressesOnThePictureHoldTheStylusUntilTheyLift)
{
    using P = StylusHold::Pointer;
    enum class Op { Press, Move, Lift };
    struct Step {
        const char* what;
        Op op;
        P who;
        std::int64_t id;
        FitPoint window;
        bool blank;
        std::optional<FitPoint> screen;  // none: nothing reaches the screen
    } steps[] = {
        {"a press in the border", Op::Press, P::Mouse, 0, {5, 5}, false, std::nullopt},
        {"... its drag onto the picture", Op::Move, P::Mouse, 0, {100, 100}, false, std::nullopt},
        {"... its release there", Op::Lift, P::Mouse, 0, {100, 100}, false, std::nullopt},
        {"a press on the picture", Op::Press, P::Mouse, 0, {416, 630}, false, FitPoint{203, 300}},
        {"a finger meanwhile", Op::Press, P::Finger, 7, {100, 100}, false, std::nullopt},
        {"... its lift", Op::Lift, P::Finger, 7, {100, 100}, false, std::nullopt},
        {"the drag out of the picture", Op::Move, P::Mouse, 0, {495, 690}, false, FitPoint{239, 319}},
        {"... and out of the window", Op::Move, P::Mouse, 0, {-20, 10}, false, FitPoint{0, 0}},
        {"the release in the border", Op::Lift, P::Mouse, 0, {600, 40}, false, FitPoint{239, 5}},
        {"a finger on the picture", Op::Press, P::Finger, 3, {12, 32}, false, FitPoint{1, 1}},
        {"another finger's move", Op::Move, P::Finger, 4, {200, 200}, false, std::nullopt},
        {"the mouse's release", Op::Lift, P::Mouse, 0, {200, 200}, false, std::nullopt},
        {"the finger's lift", Op::Lift, P::Finger, 3, {200, 200}, false, FitPoint{95, 85}},
        {"a press in the border of a blank display", Op::Press, P::Mouse, 0, {5, 5}, true, FitPoint{0, 0}},
        {"... its release", Op::Lift, P::Mouse, 0, {5, 5}, true, FitPoint{0, 0}},
    };
    const ScreenFit fit(500, 700, 240, 320);
    StylusHold hold;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const std::optional<FitPoint> got = s.op == Op::Press  ? hold.press(fit, s.who, s.id, s.window, s.blank)
                                            : s.op == Op::Move ? hold.move(fit, s.who, s.id, s.window)
                                                               : hold.lift(fit, s.who, s.id, s.window);
        EXPECT_EQ(got, s.screen);
    }
    EXPECT_FALSE(hold.held());
}

}  // namespace
}  // namespace zv::test
