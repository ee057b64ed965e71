// A tiny anti-aliased rasteriser for the skin and icon art: shapes are inside-tests over a
// continuous plane, filled with 4 x 4 supersampling, so every edge comes out smooth without
// pulling in a graphics library for a build-time tool.
#pragma once
#include <functional>
#include <vector>

namespace artgen {

struct Rgb {
    double r = 0, g = 0, b = 0;  // 0..255
};

Rgb mix(Rgb a, Rgb b, double t);

struct Pixel {
    Rgb c;
    double a = 0;  // coverage 0..1
};

struct Pt {
    double x, y;
};

// A region of the plane: a bounding box (for speed) and an inside-test.
struct Shape {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::function<bool(double, double)> inside;
};

using Paint = std::function<Rgb(double x, double y)>;

Shape rect(double x0, double y0, double x1, double y1);
Shape rounded_rect(double x0, double y0, double x1, double y1, double radius);
Shape circle(double cx, double cy, double r);
Shape ellipse(double cx, double cy, double rx, double ry, double angle_deg);
Shape ring(double cx, double cy, double r_inner, double r_outer);
Shape polygon(std::vector<Pt> pts);
Shape capsule(Pt a, Pt b, double half_width);
Shape unite(std::vector<Shape> parts);
Shape subtract(Shape a, Shape b);
Shape intersect(Shape a, Shape b);
Shape translate(Shape s, double dx, double dy);
Shape mirror_x(Shape s, double axis_x);
// The inner band of width w along a shape's edge: the "outline" drawing style.
Shape outline(Shape s, double w);

Paint solid(Rgb c);
Paint vertical(double y0, Rgb c0, double y1, Rgb c1);
Paint horizontal(double x0, Rgb c0, double x1, Rgb c1);

class Canvas {
public:
    Canvas(int w, int h);
    int width() const { return w_; }
    int height() const { return h_; }
    Pixel& at(int x, int y) { return px_[static_cast<std::size_t>(y) * w_ + x]; }
    const Pixel& at(int x, int y) const { return px_[static_cast<std::size_t>(y) * w_ + x]; }

    void clear(Rgb c, double alpha = 1.0);
    void fill(const Shape& s, const Paint& p, double opacity = 1.0);
    void fill(const Shape& s, Rgb c, double opacity = 1.0) { fill(s, solid(c), opacity); }
    // Copies rows [src_y0, src_y1) upside down below them, fading from `start` to nothing.
    void reflect(int src_y0, int src_y1, double start);

private:
    void blend(int x, int y, Rgb c, double a);
    int w_, h_;
    std::vector<Pixel> px_;
};

}  // namespace artgen
