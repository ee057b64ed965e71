// Where the device's screen sits in a desktop window of any size: at the largest whole scale that
// fits, centred on black, and how a point of the window maps to a pixel of the screen. Whole
// scales keep every pixel of the skin square and sharp; the rest of the window is border.
#pragma once
#include <cstdint>
#include <optional>

namespace zv {

struct FitPoint {
    int x = 0;
    int y = 0;
    bool operator==(const FitPoint&) const = default;
};

class ScreenFit {
public:
    ScreenFit() = default;
    // `max_scale` caps the scale (0: no cap); the scale is at least 1 whatever the window. A window
    // too small for the screen at scale 1 shows its top-left part: the offset never goes below 0,
    // so the corner where the player's titles start stays in view. Sizes below 0 count as 0.
    ScreenFit(int window_width, int window_height, int screen_width, int screen_height, int max_scale = 0);

    int scale() const { return scale_; }
    // The picture's top-left corner and size, in window pixels.
    int x() const { return x_; }
    int y() const { return y_; }
    int picture_width() const { return screen_w_ * scale_; }
    int picture_height() const { return screen_h_ * scale_; }
    int window_width() const { return window_w_; }
    int window_height() const { return window_h_; }
    int screen_width() const { return screen_w_; }
    int screen_height() const { return screen_h_; }

    // The screen pixel under a window point; none in the border.
    std::optional<FitPoint> to_screen(FitPoint window) const;
    // The screen pixel nearest a window point: a point in the border goes to the picture's edge.
    FitPoint to_screen_clamped(FitPoint window) const;
    // The window point of a screen pixel's top-left corner (a point off the screen: its nearest pixel).
    FitPoint to_window(FitPoint screen) const;
    // A point given as fractions 0..1 of the window (as touch reports it), in window pixels.
    FitPoint from_normalised(float fx, float fy) const;

    bool operator==(const ScreenFit&) const = default;

private:
    int window_w_ = 0, window_h_ = 0;
    int screen_w_ = 1, screen_h_ = 1;
    int scale_ = 1;
    int x_ = 0, y_ = 0;
};

// The one stylus, held by the pointer whose press started on the picture until that pointer
// lifts. A press in the border is not on the device's screen and does nothing, nor does the rest
// of its gesture; a held stylus dragged off the picture stays on its edge. A blank display is all
// black, so there a press anywhere counts (it only wakes the display). Other pointers wait.
class StylusHold {
public:
    enum class Pointer { Mouse, Finger };
    // Where the stylus goes down; none when the press does not take it.
    std::optional<FitPoint> press(const ScreenFit& fit, Pointer who, std::int64_t id, FitPoint window, bool blank);
    // Where the held stylus moves, or lifts (and is free again); none for a pointer not holding it.
    std::optional<FitPoint> move(const ScreenFit& fit, Pointer who, std::int64_t id, FitPoint window) const;
    std::optional<FitPoint> lift(const ScreenFit& fit, Pointer who, std::int64_t id, FitPoint window);
    bool held() const { return holder_.has_value(); }

private:
    bool holds(Pointer who, std::int64_t id) const { return holder_ == who && id_ == id; }
    std::optional<Pointer> holder_;
    std::int64_t id_ = 0;  // the finger's id; 0 for the mouse
};

}  // namespace zv
