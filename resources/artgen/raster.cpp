#include "raster.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace artgen {

Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Shape rect(double x0, double y0, double x1, double y1)
{
    return {x0, y0, x1, y1, [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; }};
}

Shape rounded_rect(double x0, double y0, double x1, double y1, double radius)
{
    return {x0, y0, x1, y1, [=](double x, double y) {
                if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
                // Distance into the nearest corner's square decides the rounding.
                double cx = std::clamp(x, x0 + radius, x1 - radius);
                double cy = std::clamp(y, y0 + radius, y1 - radius);
                double dx = x - cx, dy = y - cy;
                return dx * dx + dy * dy <= radius * radius;
            }};
}

Shape circle(double cx, double cy, double r)
{
    return {cx - r, cy - r, cx + r, cy + r, [=](double x, double y) {
                double dx = x - cx, dy = y - cy;
                return dx * dx + dy * dy <= r * r;
            }};
}

Shape ellipse(double cx, double cy, double rx, double ry, double angle_deg)
{
    double a = angle_deg * std::numbers::pi / 180.0;
    double c = std::cos(a), s = std::sin(a);
    double m = std::max(rx, ry);
    return {cx - m, cy - m, cx + m, cy + m, [=](double x, double y) {
                double dx = x - cx, dy = y - cy;
                double u = dx * c + dy * s, v = -dx * s + dy * c;
                return (u * u) / (rx * rx) + (v * v) / (ry * ry) <= 1.0;
            }};
}

Shape ring(double cx, double cy, double r_inner, double r_outer)
{
    return {cx - r_outer, cy - r_outer, cx + r_outer, cy + r_outer, [=](double x, double y) {
                double dx = x - cx, dy = y - cy, d = dx * dx + dy * dy;
                return d <= r_outer * r_outer && d >= r_inner * r_inner;
            }};
}

Shape polygon(std::vector<Pt> pts)
{
    Shape s;
    s.x0 = s.y0 = 1e9;
    s.x1 = s.y1 = -1e9;
    for (const Pt& p : pts) {
        s.x0 = std::min(s.x0, p.x);
        s.y0 = std::min(s.y0, p.y);
        s.x1 = std::max(s.x1, p.x);
        s.y1 = std::max(s.y1, p.y);
    }
    s.inside = [pts = std::move(pts)](double x, double y) {
        bool in = false;
        for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            const Pt& a = pts[i];
            const Pt& b = pts[j];
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
        }
        return in;
    };
    return s;
}

Shape capsule(Pt a, Pt b, double hw)
{
    return {std::min(a.x, b.x) - hw, std::min(a.y, b.y) - hw, std::max(a.x, b.x) + hw, std::max(a.y, b.y) + hw,
            [=](double x, double y) {
                double vx = b.x - a.x, vy = b.y - a.y;
                double len2 = vx * vx + vy * vy;
                double t = len2 > 0 ? std::clamp(((x - a.x) * vx + (y - a.y) * vy) / len2, 0.0, 1.0) : 0.0;
                double dx = x - (a.x + t * vx), dy = y - (a.y + t * vy);
                return dx * dx + dy * dy <= hw * hw;
            }};
}

Shape unite(std::vector<Shape> parts)
{
    Shape s;
    s.x0 = s.y0 = 1e9;
    s.x1 = s.y1 = -1e9;
    for (const Shape& p : parts) {
        s.x0 = std::min(s.x0, p.x0);
        s.y0 = std::min(s.y0, p.y0);
        s.x1 = std::max(s.x1, p.x1);
        s.y1 = std::max(s.y1, p.y1);
    }
    s.inside = [parts = std::move(parts)](double x, double y) {
        for (const Shape& p : parts)
            if (x >= p.x0 && x <= p.x1 && y >= p.y0 && y <= p.y1 && p.inside(x, y)) return true;
        return false;
    };
    return s;
}

Shape subtract(Shape a, Shape b)
{
    Shape s = a;
    s.inside = [a, b](double x, double y) { return a.inside(x, y) && !b.inside(x, y); };
    return s;
}

Shape intersect(Shape a, Shape b)
{
    Shape s{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1), {}};
    s.inside = [a, b](double x, double y) { return a.inside(x, y) && b.inside(x, y); };
    return s;
}

Shape translate(Shape s, double dx, double dy)
{
    Shape t{s.x0 + dx, s.y0 + dy, s.x1 + dx, s.y1 + dy, {}};
    t.inside = [s, dx, dy](double x, double y) { return s.inside(x - dx, y - dy); };
    return t;
}

Shape mirror_x(Shape s, double axis)
{
    Shape t{2 * axis - s.x1, s.y0, 2 * axis - s.x0, s.y1, {}};
    t.inside = [s, axis](double x, double y) { return s.inside(2 * axis - x, y); };
    return t;
}

Shape outline(Shape s, double w)
{
    Shape t = s;
    t.inside = [s, w](double x, double y) {
        if (!s.inside(x, y)) return false;
        // Inside, and some point within w is outside: the inner edge band.
        for (int k = 0; k < 16; ++k) {
            double a = k * std::numbers::pi / 8.0;
            if (!s.inside(x + w * std::cos(a), y + w * std::sin(a))) return true;
        }
        return false;
    };
    return t;
}

Paint solid(Rgb c)
{
    return [c](double, double) { return c; };
}

Paint vertical(double y0, Rgb c0, double y1, Rgb c1)
{
    return [=](double, double y) { return mix(c0, c1, std::clamp((y - y0) / (y1 - y0), 0.0, 1.0)); };
}

Paint horizontal(double x0, Rgb c0, double x1, Rgb c1)
{
    return [=](double x, double) { return mix(c0, c1, std::clamp((x - x0) / (x1 - x0), 0.0, 1.0)); };
}

Canvas::Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<std::size_t>(w) * h) {}

void Canvas::clear(Rgb c, double alpha)
{
    for (Pixel& p : px_) p = {c, alpha};
}

void Canvas::blend(int x, int y, Rgb c, double a)
{
    Pixel& d = at(x, y);
    double out_a = a + d.a * (1 - a);
    if (out_a <= 0) return;
    // Straight (non-premultiplied) "over".
    d.c.r = (c.r * a + d.c.r * d.a * (1 - a)) / out_a;
    d.c.g = (c.g * a + d.c.g * d.a * (1 - a)) / out_a;
    d.c.b = (c.b * a + d.c.b * d.a * (1 - a)) / out_a;
    d.a = out_a;
}

void Canvas::fill(const Shape& s, const Paint& paint, double opacity)
{
    constexpr int n = 4;
    int x0 = std::max(0, static_cast<int>(std::floor(s.x0)) - 1);
    int y0 = std::max(0, static_cast<int>(std::floor(s.y0)) - 1);
    int x1 = std::min(w_, static_cast<int>(std::ceil(s.x1)) + 1);
    int y1 = std::min(h_, static_cast<int>(std::ceil(s.y1)) + 1);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            int hits = 0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                    if (s.inside(x + (i + 0.5) / n, y + (j + 0.5) / n)) ++hits;
            if (hits) blend(x, y, paint(x + 0.5, y + 0.5), opacity * hits / (n * n));
        }
}

void Canvas::reflect(int src_y0, int src_y1, double start)
{
    int len = std::min(h_ - src_y1, src_y1 - src_y0);
    for (int k = 0; k < len; ++k) {
        double o = start * (1.0 - static_cast<double>(k) / len);
        for (int x = 0; x < w_; ++x) {
            const Pixel src = at(x, src_y1 - 1 - k);
            blend(x, src_y1 + k, src.c, o * src.a);
        }
    }
}

}  // namespace artgen
