// Build-time generator of the skin bitmaps and the program icon. Every picture is described
// here in code (size, depth, shapes, colours); the build hands the files to the resource
// compiler. Each bitmap is named by its IDB_ number in resource.h and written to a file called
// after it (IDB_NEXT_BUTTON -> next_button.bmp), which is what the script and the build expect.
// Usage: zv_artgen <output folder>
//        zv_artgen --icon-png <size> <file>   (the icon alone, for the desktop's icon theme)
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "image_files.h"
#include "raster.h"
#include "resource.h"

namespace {

using namespace artgen;

const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};
const Rgb kMainBlue{0, 117, 231};

// ---- Symbols, each centred on (cx, cy) and about h tall ----

Shape tri_right(double x, double cy, double w, double h)
{
    return polygon({{x, cy - h / 2}, {x + w, cy}, {x, cy + h / 2}});
}

Shape play_pause(double cx, double cy, double h)
{
    const double tw = h * 0.8, gap = h * 0.3, bw = h * 0.22, bg = h * 0.18;
    const double x = cx - (tw + gap + 2 * bw + bg) / 2;
    const double bx = x + tw + gap;
    return unite({tri_right(x, cy, tw, h), rounded_rect(bx, cy - h / 2, bx + bw, cy + h / 2, bw * 0.25),
                  rounded_rect(bx + bw + bg, cy - h / 2, bx + 2 * bw + bg, cy + h / 2, bw * 0.25)});
}

Shape previous_track(double cx, double cy, double h)
{
    const double bw = h * 0.18, gap = h * 0.06, tw = h * 0.62;
    const double x = cx - (bw + gap + 2 * tw) / 2;
    const double t1 = x + bw + gap;
    return unite({rounded_rect(x, cy - h / 2, x + bw, cy + h / 2, bw * 0.25),
                  polygon({{t1, cy}, {t1 + tw, cy - h / 2}, {t1 + tw, cy + h / 2}}),
                  polygon({{t1 + tw, cy}, {t1 + 2 * tw, cy - h / 2}, {t1 + 2 * tw, cy + h / 2}})});
}

Shape next_track(double cx, double cy, double h) { return mirror_x(previous_track(cx, cy, h), cx); }

Shape pause_bars(double cx, double cy, double h)
{
    const double bw = h * 0.3, gap = h * 0.26;
    return unite({rounded_rect(cx - gap / 2 - bw, cy - h / 2, cx - gap / 2, cy + h / 2, bw * 0.2),
                  rounded_rect(cx + gap / 2, cy - h / 2, cx + gap / 2 + bw, cy + h / 2, bw * 0.2)});
}

Shape cross(double cx, double cy, double size)
{
    const double r = size / 2, t = size * 0.11;
    return unite({capsule({cx - r, cy - r}, {cx + r, cy + r}, t), capsule({cx - r, cy + r}, {cx + r, cy - r}, t)});
}

Shape plus_sign(double cx, double cy, double arm, double t)
{
    return unite({capsule({cx - arm, cy}, {cx + arm, cy}, t), capsule({cx, cy - arm}, {cx, cy + arm}, t)});
}

Shape minus_sign(double cx, double cy, double arm, double t) { return capsule({cx - arm, cy}, {cx + arm, cy}, t); }

Shape loudspeaker(double x, double cy, double h)
{
    return unite(
        {rounded_rect(x, cy - h * 0.2, x + h * 0.32, cy + h * 0.2, h * 0.04), polygon({{x + h * 0.28, cy - h * 0.2},
                                                                                       {x + h * 0.72, cy - h * 0.5},
                                                                                       {x + h * 0.72, cy + h * 0.5},
                                                                                       {x + h * 0.28, cy + h * 0.2}})});
}

Shape house(double cx, double cy, double s)
{
    Shape roof = polygon({{cx, cy - s * 0.5}, {cx + s * 0.5, cy - s * 0.02}, {cx - s * 0.5, cy - s * 0.02}});
    Shape chimney = rect(cx + s * 0.2, cy - s * 0.44, cx + s * 0.32, cy - s * 0.15);
    Shape body = rect(cx - s * 0.35, cy - s * 0.06, cx + s * 0.35, cy + s * 0.5);
    Shape door = rounded_rect(cx - s * 0.1, cy + s * 0.16, cx + s * 0.1, cy + s * 0.52, s * 0.03);
    return subtract(unite({roof, chimney, body}), door);
}

Shape dot_grid(double cx, double cy, double s)
{
    std::vector<Shape> dots;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) dots.push_back(circle(cx + i * s * 0.36, cy + j * s * 0.36, s * 0.12));
    return unite(std::move(dots));
}

// Two beamed eighth notes.
Shape music_note(double cx, double cy, double s)
{
    const Pt h1{cx - s * 0.27, cy + s * 0.3}, h2{cx + s * 0.25, cy + s * 0.22};
    const double rx = s * 0.17, ry = s * 0.12, sw = s * 0.075;
    const double s1 = h1.x + rx * 0.78, s2 = h2.x + rx * 0.78;
    const double top1 = cy - s * 0.36, top2 = cy - s * 0.46, beam = s * 0.15;
    return unite({ellipse(h1.x, h1.y, rx, ry, -25), ellipse(h2.x, h2.y, rx, ry, -25), rect(s1 - sw, top1, s1, h1.y),
                  rect(s2 - sw, top2, s2, h2.y),
                  polygon({{s1 - sw, top1}, {s2, top2}, {s2, top2 + beam}, {s1 - sw, top1 + beam}})});
}

// A U-turn "back" arrow inside the box: head at the upper left, a bend on the right.
Shape return_arrow(double x0, double y0, double w, double h, double t)
{
    const double head = t * 2.3;
    const double yu = y0 + head * 0.8, yl = y0 + h - t / 2;
    const double radius = (yl - yu) / 2;
    const double xc = x0 + w - radius - t / 2;
    Shape bend =
        intersect(ring(xc, (yu + yl) / 2, radius - t / 2, radius + t / 2), rect(xc, y0, x0 + w + 1, y0 + h + 1));
    return unite({polygon({{x0, yu}, {x0 + head, yu - head * 0.8}, {x0 + head, yu + head * 0.8}}),
                  rect(x0 + head - 0.5, yu - t / 2, xc + 0.01, yu + t / 2), bend,
                  capsule({x0 + w * 0.32, yl}, {xc, yl}, t / 2)});
}

Shape list_symbol(double cx, double cy, double s)
{
    std::vector<Shape> parts;
    for (int j = -1; j <= 1; ++j) {
        const double y = cy + j * s * 0.33;
        parts.push_back(circle(cx - s * 0.42, y, s * 0.09));
        parts.push_back(capsule({cx - s * 0.18, y}, {cx + s * 0.48, y}, s * 0.08));
    }
    return unite(std::move(parts));
}

Shape dilate(Shape s, double d)
{
    Shape t{s.x0 - d, s.y0 - d, s.x1 + d, s.y1 + d, {}};
    t.inside = [s, d](double x, double y) {
        if (s.inside(x, y)) return true;
        for (int k = 0; k < 16; ++k) {
            const double a = k * std::numbers::pi / 8.0;
            if (s.inside(x + d * std::cos(a), y + d * std::sin(a))) return true;
        }
        return false;
    };
    return t;
}

// ---- Backgrounds ----

// A rounded grey button with a top-lit gradient, on black.
void grey_button(Canvas& c)
{
    const double w = c.width(), h = c.height();
    c.clear(kBlack);
    c.fill(rounded_rect(0, 0, w, h, 5.5), Rgb{24, 24, 24});
    Shape face = rounded_rect(1, 1, w - 1, h - 1, 4.5);
    c.fill(face, vertical(1, Rgb{172, 172, 172}, h - 1, Rgb{66, 66, 66}));
    c.fill(intersect(face, rect(1, 1, w - 1, 2)), kWhite, 0.35);
}

// A white symbol with a soft shadow so it reads on the light top of a grey button.
void shadowed_symbol(Canvas& c, const Shape& s)
{
    c.fill(translate(s, 0.0, 1.0), kBlack, 0.45);
    c.fill(s, kWhite);
}

Canvas on_black(int w, int h)
{
    Canvas c(w, h);
    c.clear(kBlack);
    return c;
}

Canvas button_with(int w, int h, const std::function<Shape(double, double)>& symbol)
{
    Canvas c(w, h);
    grey_button(c);
    if (symbol) shadowed_symbol(c, symbol(w / 2.0, h / 2.0));
    return c;
}

void blue_highlight(Canvas& c)
{
    const double w = c.width(), h = c.height();
    c.clear(kBlack);
    // A glossy top fading into the flat main blue.
    c.fill(rounded_rect(1, 1, w - 1, h - 1, 5), [h](double, double y) {
        return y < h / 2 ? mix(Rgb{90, 170, 246}, kMainBlue, (y - 1) / (h / 2 - 1)) : kMainBlue;
    });
}

// ---- The pictures ----

Canvas compact_disc()
{
    Canvas c = on_black(194, 209);
    const double cx = 97, cy = 97;
    c.fill(ring(cx, cy, 10, 92), [=](double x, double y) {
        const double a = std::atan2(y - cy, x - cx);
        const double sheen = 0.5 + 0.5 * std::cos(2 * a + 0.6);
        Rgb base = mix(Rgb{104, 110, 126}, Rgb{236, 239, 246}, sheen);
        // A faint rainbow where the light catches the data side.
        Rgb tint{128 + 127 * std::cos(3 * a), 128 + 127 * std::cos(3 * a + 2.1), 128 + 127 * std::cos(3 * a + 4.2)};
        return mix(base, tint, 0.14 * sheen);
    });
    c.fill(ring(cx, cy, 10, 30), Rgb{70, 74, 84}, 0.85);
    c.fill(ring(cx, cy, 28.5, 30), Rgb{200, 204, 214});
    c.fill(ring(cx, cy, 10, 11.5), Rgb{160, 164, 174});
    c.fill(ring(cx, cy, 90.6, 92), Rgb{210, 214, 222});
    Shape note = music_note(138, 150, 96);
    c.fill(dilate(note, 4), kBlack);
    c.fill(note, vertical(100, Rgb{70, 160, 250}, 200, kMainBlue));
    return c;
}

Canvas symbol_strip(bool white_strip)
{
    const Rgb bg = white_strip ? kWhite : kBlack, fg = white_strip ? kBlack : kWhite;
    Canvas c(240, 78);
    c.clear(bg);
    c.fill(house(40, 39, 44), fg);
    c.fill(dot_grid(120, 39, 40), fg);
    c.fill(music_note(200, 41, 48), fg);
    return c;
}

Canvas volume(bool up)
{
    Canvas c = on_black(50, 23);
    c.fill(loudspeaker(5, 11.5, 19), kWhite);
    c.fill(up ? plus_sign(36, 11.5, 6.5, 1.7) : minus_sign(36, 11.5, 6.5, 1.7), kWhite);
    return c;
}

Canvas outlined_with_reflection(int w, int h, const Shape& symbol, int y0, int y1)
{
    Canvas c = on_black(w, h);
    c.fill(outline(symbol, 2.0), kWhite);
    c.reflect(y0, y1, 0.35);
    return c;
}

Canvas white_on_black_48(const std::function<Shape(double, double, double)>& sym, double h)
{
    Canvas c = on_black(48, 40);
    c.fill(sym(24, 20, h), kWhite);
    return c;
}

Canvas on_blue_48(const std::function<Shape(double, double, double)>& sym, double h)
{
    Canvas c(48, 40);
    blue_highlight(c);
    c.fill(translate(sym(24, 20, h), 0, 1), Rgb{0, 40, 90}, 0.5);
    c.fill(sym(24, 20, h), kWhite);
    return c;
}

Canvas dark_square()
{
    Canvas c(27, 27);
    c.clear(Rgb{200, 200, 200});
    c.fill(rect(1, 1, 26, 26), Rgb{34, 34, 38});
    return c;
}

// Row brightness of the full-screen background: a band at the top, a separator line under
// the now-playing text, and a band behind the transport buttons.
std::uint8_t background_row(int y)
{
    if (y <= 10) return static_cast<std::uint8_t>(std::lround(153.0 * (10 - y) / 10));
    if (y == 37 || y == 38) return 102;
    if (y >= 247 && y < 250) return static_cast<std::uint8_t>(34 * (y - 246));
    if (y >= 250 && y <= 290) return static_cast<std::uint8_t>(std::lround(136.0 * (290 - y) / 40));
    return 0;
}

bool write_background(const std::string& path)
{
    std::vector<Rgb8> grey(256);
    for (int i = 0; i < 256; ++i)
        grey[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i)};
    std::vector<std::uint8_t> idx(240 * 320);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) idx[y * 240 + x] = background_row(y);
    return write_bmp8(path, 240, 320, grey, idx);
}

// The program icon: a white window under a blue title bar.
Canvas app_icon(int size, int bpp)
{
    Canvas c(size, size);
    c.clear(kBlack, 0.0);
    const double u = size / 16.0;
    const double x0 = std::round(u), y0 = std::round(2 * u), x1 = size - std::round(u), y1 = size - std::round(2 * u);
    const double bar = std::round(3 * u);
    const bool palettised = bpp < 32;
    if (!palettised) c.fill(rect(x0 + u * 0.75, y0 + u * 0.75, x1 + u * 0.75, y1 + u * 0.75), kBlack, 0.3);
    c.fill(rect(x0, y0, x1, y1), Rgb{28, 36, 70});
    c.fill(rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), kWhite);
    // Palettised images get a flat bar in a colour their palette holds exactly.
    if (palettised)
        c.fill(rect(x0 + 1, y0 + 1, x1 - 1, y0 + 1 + bar), bpp == 4 ? Rgb{0, 0, 255} : Rgb{0, 102, 204});
    else
        c.fill(rect(x0 + 1, y0 + 1, x1 - 1, y0 + 1 + bar), horizontal(x0, Rgb{0, 70, 200}, x1, Rgb{50, 140, 250}));
    if (size >= 32) {
        // Close box on the bar and a few lines of "content".
        const double b = bar - 2 * std::round(u * 0.75);
        const double bx = x1 - 1 - std::round(u * 0.75) - b, by = y0 + 1 + std::round(u * 0.75);
        c.fill(rect(bx, by, bx + b, by + b), Rgb{230, 230, 240});
        for (int i = 0; i < 3; ++i) {
            const double ly = y0 + 1 + bar + std::round(u * (2 + 2 * i));
            c.fill(rect(x0 + std::round(2 * u), ly, x1 - std::round(2 * u) - (i == 2 ? 3 * u : 0),
                        ly + std::max(1.0, std::round(u * 0.6))),
                   Rgb{192, 192, 192});
        }
    }
    return c;
}

// A bitmap's number and its name as resource.h spells it; a name resource.h lacks does not
// compile.
#define BITMAP_ID(name) name, #name

struct Job {
    int id;
    const char* name;
    std::function<Canvas()> make;
};

// "IDB_NEXT_BUTTON" -> "<out>/next_button.bmp"
std::string bitmap_file(const std::string& out, std::string name)
{
    name.erase(0, sizeof("IDB_") - 1);
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out + "/" + name + ".bmp";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--icon-png") {
        const int size = std::atoi(argv[2]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "zv_artgen: icon size %s is not between 16 and 1024\n", argv[2]);
            return 2;
        }
        if (write_png_rgba(argv[3], app_icon(size, 32))) return 0;
        std::fprintf(stderr, "zv_artgen: could not write %s\n", argv[3]);
        return 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: zv_artgen <output folder> | --icon-png <size> <file>\n");
        return 2;
    }
    const std::string out = argv[1];
    const Job background{BITMAP_ID(IDB_BACKGROUND), nullptr};
    bool ok = write_background(bitmap_file(out, background.name));

    const auto pp = [](double x, double y, double h) { return play_pause(x, y, h); };
    const auto prev = [](double x, double y, double h) { return previous_track(x, y, h); };
    const auto next = [](double x, double y, double h) { return next_track(x, y, h); };
    const auto button_cross = [] { return button_with(37, 36, [](double x, double y) { return cross(x, y, 13); }); };
    const std::vector<Job> jobs = {
        {BITMAP_ID(IDB_PAUSE_BUTTON),
         [] { return button_with(30, 34, [](double x, double y) { return pause_bars(x, y, 14); }); }},
        {BITMAP_ID(IDB_COMPACT_DISC), compact_disc},
        {BITMAP_ID(IDB_SYMBOLS_LIGHT), [] { return symbol_strip(true); }},
        {BITMAP_ID(IDB_SYMBOLS_DARK), [] { return symbol_strip(false); }},
        {BITMAP_ID(IDB_PREVIOUS_BUTTON),
         [] { return button_with(30, 34, [](double x, double y) { return previous_track(x, y, 12); }); }},
        {BITMAP_ID(IDB_NEXT_BUTTON),
         [] { return button_with(30, 34, [](double x, double y) { return next_track(x, y, 12); }); }},
        {BITMAP_ID(IDB_CLOSE_BUTTON), button_cross},
        {BITMAP_ID(IDB_VOLUP), [] { return volume(true); }},
        {BITMAP_ID(IDB_VOLDOWN), [] { return volume(false); }},
        {BITMAP_ID(IDB_EXIT), button_cross},
        {BITMAP_ID(IDB_BLANK_PANEL), [] { return on_black(121, 50); }},
        {BITMAP_ID(IDB_DISPLAYOFF), [] { return button_with(37, 36, nullptr); }},
        {BITMAP_ID(IDB_TOPLAYLIST),
         [] { return button_with(37, 36, [](double x, double y) { return list_symbol(x, y, 18); }); }},
        {BITMAP_ID(IDB_DARK_SQUARE_1), dark_square},
        {BITMAP_ID(IDB_BACK_ARROW),
         [] {
             Canvas c = on_black(85, 68);
             c.fill(return_arrow(8, 6, 69, 56, 9), kWhite);
             return c;
         }},
        {BITMAP_ID(IDB_DARK_SQUARE_2), dark_square},
        {BITMAP_ID(IDB_PLAYPAUSE), [=] { return white_on_black_48(pp, 18); }},
        {BITMAP_ID(IDB_BOTTOMSTRIP), [] { return on_black(240, 82); }},
        {BITMAP_ID(IDB_PREVIOUS_OUTLINE),
         [] { return outlined_with_reflection(58, 55, previous_track(29, 20, 30), 4, 36); }},
        {BITMAP_ID(IDB_PLAYPAUSE_OUTLINE),
         [] { return outlined_with_reflection(64, 55, play_pause(32, 20, 28), 5, 35); }},
        {BITMAP_ID(IDB_NEXT_OUTLINE), [] { return outlined_with_reflection(56, 52, next_track(28, 19, 28), 4, 34); }},
        {BITMAP_ID(IDB_BACKTOPANEL),
         [] { return button_with(30, 30, [](double x, double y) { return return_arrow(x - 8, y - 7, 16, 14, 3); }); }},
        {BITMAP_ID(IDB_PREVIOUS_SPARE), [=] { return white_on_black_48(prev, 16); }},
        {BITMAP_ID(IDB_NEXT), [=] { return white_on_black_48(next, 16); }},
        {BITMAP_ID(IDB_PREVIOUS_SHADED),
         [] {
             Canvas c(48, 40);
             c.clear(kBlack);
             c.fill(rect(0, 0, 48, 40), vertical(0, Rgb{72, 72, 72}, 40, Rgb{16, 16, 16}));
             c.fill(previous_track(24, 20, 16), kWhite);
             return c;
         }},
        {BITMAP_ID(IDB_PREVIOUS), [=] { return white_on_black_48(prev, 16); }},
        {BITMAP_ID(IDB_SEPARATOR),
         [] {
             Canvas c(240, 5);
             for (int x = 0; x < 240; ++x) {
                 const double v = 12 + (179 - 12) * x / 239.0;
                 for (int y = 0; y < 5; ++y) c.at(x, y) = {Rgb{v, v, v}, 1.0};
             }
             return c;
         }},
        {BITMAP_ID(IDB_PLAYPAUSE_HIGHLIGHT), [=] { return on_blue_48(pp, 18); }},
        {BITMAP_ID(IDB_NEXT_HIGHLIGHT), [=] { return on_blue_48(next, 16); }},
        {BITMAP_ID(IDB_PREVIOUS_HIGHLIGHT), [=] { return on_blue_48(prev, 16); }},
    };
    for (const Job& j : jobs) {
        if (!write_bmp24(bitmap_file(out, j.name), j.make())) {
            std::fprintf(stderr, "zv_artgen: bitmap %d (%s) not written\n", j.id, j.name);
            ok = false;
        }
    }

    // Image order matters: the resource compiler numbers the icon images 1..8 in file order.
    Canvas a = app_icon(32, 4), b = app_icon(16, 4), c = app_icon(48, 8), d = app_icon(32, 8), e = app_icon(16, 8);
    Canvas f = app_icon(48, 32), g = app_icon(32, 32), h = app_icon(16, 32);
    ok = write_ico(out + "/zorvane.ico", {{4, &a}, {4, &b}, {8, &c}, {8, &d}, {8, &e}, {32, &f}, {32, &g}, {32, &h}}) &&
         ok;
    if (!ok) {
        std::fprintf(stderr, "zv_artgen: could not write the art into %s\n", out.c_str());
        return 1;
    }
    return 0;
}
