// quavrel-splash-art OUTPUT.jpg: draws the splash artwork (a dusk gradient, sound waves,
// a few quavers and the name "Quavrel") and writes it as a progressive JPEG of 466 x 200
// pixels with three components. Everything is computed, nothing random: the same build
// always gives the same picture.
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kWidth = 466;
constexpr int kHeight = 200;
constexpr double kPi = 3.14159265358979323846;

struct Color {
    double r, g, b;
};

struct Point {
    double x, y;
};

class Canvas {
public:
    Canvas() : pixels_(kWidth * kHeight) {}

    Color& at(int x, int y) { return pixels_[y * kWidth + x]; }

    // Blends `c` over the pixel with coverage `alpha` (0..1).
    void blend(int x, int y, const Color& c, double alpha)
    {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || alpha <= 0)
            return;
        alpha = std::min(alpha, 1.0);
        Color& p = at(x, y);
        p.r += (c.r - p.r) * alpha;
        p.g += (c.g - p.g) * alpha;
        p.b += (c.b - p.b) * alpha;
    }

    // A round-capped stroke along a polyline, anti-aliased by its distance field.
    void stroke(const std::vector<Point>& line, double width, const Color& c, double opacity = 1)
    {
        if (line.empty())
            return;
        double half = width / 2;
        double minX = line[0].x, maxX = minX, minY = line[0].y, maxY = minY;
        for (const Point& p : line) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        int x0 = static_cast<int>(std::floor(minX - half - 1));
        int x1 = static_cast<int>(std::ceil(maxX + half + 1));
        int y0 = static_cast<int>(std::floor(minY - half - 1));
        int y1 = static_cast<int>(std::ceil(maxY + half + 1));
        for (int y = std::max(y0, 0); y <= std::min(y1, kHeight - 1); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, kWidth - 1); ++x) {
                Point q{x + 0.5, y + 0.5};
                double d = 1e9;
                for (size_t i = 0; i + 1 < line.size(); ++i)
                    d = std::min(d, segmentDistance(q, line[i], line[i + 1]));
                if (line.size() == 1)
                    d = std::hypot(q.x - line[0].x, q.y - line[0].y);
                blend(x, y, c, std::clamp(half + 0.5 - d, 0.0, 1.0) * opacity);
            }
    }

    // A filled, rotated ellipse (the head of a note).
    void ellipse(Point centre, double rx, double ry, double angle, const Color& c)
    {
        double ca = std::cos(angle), sa = std::sin(angle);
        int r = static_cast<int>(std::ceil(std::max(rx, ry))) + 2;
        for (int y = static_cast<int>(centre.y) - r; y <= static_cast<int>(centre.y) + r; ++y)
            for (int x = static_cast<int>(centre.x) - r; x <= static_cast<int>(centre.x) + r; ++x) {
                // 4 x 4 samples per pixel give a smooth rim.
                int inside = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        double dx = x + (sx + 0.5) / 4 - centre.x;
                        double dy = y + (sy + 0.5) / 4 - centre.y;
                        double u = (dx * ca + dy * sa) / rx;
                        double v = (-dx * sa + dy * ca) / ry;
                        inside += u * u + v * v <= 1;
                    }
                blend(x, y, c, inside / 16.0);
            }
    }

    bool writeProgressiveJpeg(const char* path) const
    {
        FILE* out = std::fopen(path, "wb");
        if (!out)
            return false;
        jpeg_compress_struct cinfo;
        jpeg_error_mgr jerr;
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, out);
        cinfo.image_width = kWidth;
        cinfo.image_height = kHeight;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 92, TRUE);
        jpeg_simple_progression(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        std::vector<JSAMPLE> row(kWidth * 3);
        while (cinfo.next_scanline < cinfo.image_height) {
            int y = static_cast<int>(cinfo.next_scanline);
            for (int x = 0; x < kWidth; ++x) {
                const Color& p = pixels_[y * kWidth + x];
                row[x * 3] = toByte(p.r);
                row[x * 3 + 1] = toByte(p.g);
                row[x * 3 + 2] = toByte(p.b);
            }
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        return std::fclose(out) == 0;
    }

private:
    static double segmentDistance(Point p, Point a, Point b)
    {
        double vx = b.x - a.x, vy = b.y - a.y;
        double len2 = vx * vx + vy * vy;
        double t = len2 > 0 ? std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / len2, 0.0, 1.0) : 0;
        return std::hypot(p.x - (a.x + t * vx), p.y - (a.y + t * vy));
    }

    static JSAMPLE toByte(double v)
    {
        return static_cast<JSAMPLE>(std::clamp(static_cast<int>(std::lround(v)), 0, 255));
    }

    std::vector<Color> pixels_;
};

Color mix(const Color& a, const Color& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void paintBackground(Canvas& canvas)
{
    const Color topLeft{28, 36, 84}, bottomRight{22, 118, 140}, glow{120, 92, 170};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            double t = (x / double(kWidth) * 0.7 + y / double(kHeight) * 0.3);
            Color c = mix(topLeft, bottomRight, t);
            // A soft violet glow behind the name.
            double d = std::hypot((x - 250) / 190.0, (y - 95) / 80.0);
            c = mix(c, glow, std::clamp(0.45 - d * 0.4, 0.0, 1.0));
            canvas.at(x, y) = c;
        }
}

void paintWaves(Canvas& canvas)
{
    for (int k = 0; k < 5; ++k) {
        std::vector<Point> wave;
        double amplitude = 7 + 3 * k, phase = k * 0.9, base = 150 + 7 * k;
        for (int x = -4; x <= kWidth + 4; x += 3)
            wave.push_back({double(x), base + amplitude * std::sin(x / (38.0 + 6 * k) + phase)});
        canvas.stroke(wave, 1.6, Color{170, 225, 240}, 0.22 + 0.08 * (4 - k));
    }
}

// An eighth note: head at `head`, stem up, one flag.
void paintQuaver(Canvas& canvas, Point head, double scale, const Color& c, double opacity)
{
    Color tinted = mix(canvas.at(static_cast<int>(head.x), static_cast<int>(head.y)), c, opacity);
    canvas.ellipse(head, 6.2 * scale, 4.4 * scale, -0.45, tinted);
    double stemX = head.x + 5.4 * scale, stemTop = head.y - 30 * scale;
    canvas.stroke({{stemX, head.y - 1.5 * scale}, {stemX, stemTop}}, 1.8 * scale, c, opacity);
    std::vector<Point> flag;
    for (int i = 0; i <= 12; ++i) {
        double t = i / 12.0;
        flag.push_back({stemX + 9 * scale * std::sin(t * kPi * 0.8), stemTop + 17 * scale * t});
    }
    canvas.stroke(flag, 2.2 * scale, c, opacity);
}

// A circle arc in a glyph box, angles in degrees (0 = right, counter-clockwise on screen).
std::vector<Point> arc(Point c, double rx, double ry, double from, double to)
{
    std::vector<Point> points;
    int steps = std::max(8, static_cast<int>(std::fabs(to - from) / 6));
    for (int i = 0; i <= steps; ++i) {
        double a = (from + (to - from) * i / steps) * kPi / 180;
        points.push_back({c.x + rx * std::cos(a), c.y - ry * std::sin(a)});
    }
    return points;
}

// "Quavrel" in a rounded stroke face. x-height 26, cap height 40, baseline 118.
void paintName(Canvas& canvas)
{
    const Color ink{252, 250, 244};
    const double w = 5.2, base = 118, xh = 26;
    double x = 140;
    auto put = [&](const std::vector<Point>& line) { canvas.stroke(line, w, ink); };
    auto offset = [](std::vector<Point> line, double dx, double dy) {
        for (Point& p : line)
            p.x += dx, p.y += dy;
        return line;
    };
    // Q
    put(arc({x + 20, base - 20}, 18, 20, 0, 360));
    put({{x + 24, base - 8}, {x + 40, base + 4}});
    x += 48;
    // u
    put(offset(arc({0, 0}, 11, 12, 180, 360), x + 11, base - 12));
    put({{x, base - xh}, {x, base - 12}});
    put({{x + 22, base - xh}, {x + 22, base}});
    x += 32;
    // a
    put(arc({x + 11, base - 13}, 11, 13, 0, 360));
    put({{x + 22, base - xh}, {x + 22, base}});
    x += 32;
    // v
    put({{x, base - xh}, {x + 11, base}, {x + 22, base - xh}});
    x += 30;
    // r
    put({{x, base - xh}, {x, base}});
    put(offset(arc({0, 0}, 12, 12, 180, 60), x + 12, base - 14));
    x += 26;
    // e
    put(offset(arc({0, 0}, 12, 13, 0, 320), x + 12, base - 13));
    put({{x, base - 13}, {x + 24, base - 13}});
    x += 34;
    // l
    put({{x, base - 40}, {x, base}});
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quavrel-splash-art OUTPUT.jpg\n");
        return 2;
    }
    Canvas canvas;
    paintBackground(canvas);
    paintWaves(canvas);
    paintQuaver(canvas, {48, 78}, 1.5, Color{255, 214, 120}, 0.95);
    paintQuaver(canvas, {86, 112}, 1.1, Color{255, 255, 255}, 0.75);
    paintQuaver(canvas, {410, 70}, 1.2, Color{255, 190, 110}, 0.85);
    paintQuaver(canvas, {438, 104}, 0.8, Color{255, 255, 255}, 0.6);
    paintName(canvas);
    if (!canvas.writeProgressiveJpeg(argv[1])) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
