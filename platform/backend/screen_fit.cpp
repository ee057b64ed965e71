#include "backend/screen_fit.h"

#include <algorithm>
#include <cmath>

namespace zv {

namespace {

// A fraction of a window's extent as a pixel of it; NaN and values outside 0..1 (a touch device
// may report a little beyond the window) land on the nearest edge.
int fraction_to_pixel(float f, int extent)
{
    if (extent <= 0 || !(f > 0.0f)) return 0;  // NaN too
    const double at = std::floor(static_cast<double>(std::min(f, 1.0f)) * extent);
    return std::min(static_cast<int>(at), extent - 1);
}

}  // namespace

ScreenFit::ScreenFit(int window_width, int window_height, int screen_width, int screen_height, int max_scale)
    : window_w_(std::max(window_width, 0)),
      window_h_(std::max(window_height, 0)),
      screen_w_(std::max(screen_width, 1)),
      screen_h_(std::max(screen_height, 1))
{
    scale_ = std::max(1, std::min(window_w_ / screen_w_, window_h_ / screen_h_));
    if (max_scale > 0) scale_ = std::min(scale_, max_scale);
    x_ = std::max(0, (window_w_ - picture_width()) / 2);
    y_ = std::max(0, (window_h_ - picture_height()) / 2);
}

std::optional<FitPoint> ScreenFit::to_screen(FitPoint window) const
{
    if (window.x < x_ || window.y < y_ || window.x >= x_ + picture_width() || window.y >= y_ + picture_height())
        return std::nullopt;
    return FitPoint{(window.x - x_) / scale_, (window.y - y_) / scale_};
}

FitPoint ScreenFit::to_screen_clamped(FitPoint window) const
{
    const int x = std::clamp(window.x, x_, x_ + picture_width() - 1);
    const int y = std::clamp(window.y, y_, y_ + picture_height() - 1);
    return FitPoint{(x - x_) / scale_, (y - y_) / scale_};
}

FitPoint ScreenFit::to_window(FitPoint screen) const
{
    return FitPoint{x_ + std::clamp(screen.x, 0, screen_w_ - 1) * scale_,
                    y_ + std::clamp(screen.y, 0, screen_h_ - 1) * scale_};
}

FitPoint ScreenFit::from_normalised(float fx, float fy) const
{
    return FitPoint{fraction_to_pixel(fx, window_w_), fraction_to_pixel(fy, window_h_)};
}

std::optional<FitPoint> StylusHold::press(const ScreenFit& fit, Pointer who, std::int64_t id, FitPoint window,
                                          bool blank)
{
    if (holder_) return std::nullopt;
    std::optional<FitPoint> at = fit.to_screen(window);
    if (!at && blank) at = fit.to_screen_clamped(window);
    if (!at) return std::nullopt;
    holder_ = who;
    id_ = id;
    return at;
}

std::optional<FitPoint> StylusHold::move(const ScreenFit& fit, Pointer who, std::int64_t id, FitPoint window) const
{
    if (!holds(who, id)) return std::nullopt;
    return fit.to_screen_clamped(window);
}

std::optional<FitPoint> StylusHold::lift(const ScreenFit& fit, Pointer who, std::int64_t id, FitPoint window)
{
    if (!holds(who, id)) return std::nullopt;
    holder_.reset();
    return fit.to_screen_clamped(window);
}

}  // namespace zv
