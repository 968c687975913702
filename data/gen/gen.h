#pragma once
// Shared pieces of the default-data generator: shapes, a supersampled canvas, and the writers
// for the picture, sound and text files the program ships with.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace gen {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// The program cuts exactly this colour out of its shaped windows.
constexpr Rgb kKey{0, 255, 0};

// A shape is a signed distance to its edge in picture pixels: negative inside. Distances make
// outlines (grow a shape, paint it dark, paint the shape over it) and clean joins easy.
using Shape = std::function<double(double, double)>;
using Paint = std::function<Rgb(double x, double y)>;
using Points = std::vector<std::pair<double, double>>;

Shape circle(double cx, double cy, double r);
Shape ellipse(double cx, double cy, double rx, double ry);
Shape roundRect(double x0, double y0, double x1, double y1, double radius);
Shape polygon(Points pts);
Shape thickLine(double x0, double y0, double x1, double y1, double halfWidth);
Shape ring(double cx, double cy, double r, double halfWidth);
Shape above(double y); // everything with a smaller y
Shape below(double y); // everything with a larger y
Shape unite(std::initializer_list<Shape> parts);
Shape blend(const Shape& a, const Shape& b, double k); // union with a rounded seam
Shape intersect(const Shape& a, const Shape& b);
Shape cut(const Shape& a, const Shape& b);
Shape grow(const Shape& a, double by);
Shape shift(const Shape& a, double dx, double dy);

Rgb mix(Rgb a, Rgb b, double t);

// A finished picture, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
    Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// A picture with coverage as alpha, for icons: top row first, four bytes R G B A a pixel.
struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// Draws at `ss` samples per pixel side with hard-edged shapes and averages down, so inner edges
// come out smooth. For keyed pictures the outer edge stays hard: a pixel is either wholly key or
// the average of its figure samples only, so no key colour ever bleeds into the figure.
class Canvas {
public:
    Canvas(int width, int height, int ss, Rgb background);
    void fill(const Shape& shape, const Paint& paint, double alpha = 1.0);
    void fill(const Shape& shape, Rgb colour, double alpha = 1.0);
    // Dark rim `width` wide outside the shape, then the shape itself.
    void outlined(const Shape& shape, Rgb colour, Rgb ink, double width);
    // Draws what follows `scale` times larger, its origin at (dx, dy) in pixels.
    void setView(double scale, double dx, double dy);
    Picture resolve(bool keyed) const;
    // Key-coloured samples are transparent, so edges get partial alpha instead of a hard cut.
    RgbaPicture resolveAlpha() const;

private:
    // The samples of output pixel (x, y) summed, key-coloured ones left out when skipKey.
    struct SampleSum {
        int r = 0, g = 0, b = 0, n = 0;
    };
    SampleSum sum(int x, int y, bool skipKey) const;

    int width_, height_, ss_;
    double scale_ = 1.0, dx_ = 0.0, dy_ = 0.0;
    std::vector<Rgb> samples_;
};

// Small deterministic generator (xorshift64*), so outputs never depend on the library's engines.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 1) {}
    double next(); // [0, 1)
    double range(double lo, double hi) { return lo + (hi - lo) * next(); }

private:
    std::uint64_t state_;
};

std::string encodeBmp(const Picture& picture);
std::string encodePng(const RgbaPicture& picture);         // uncompressed (stored) deflate
std::string encodeWav(const std::vector<double>& samples); // mono, 22050 Hz, 16-bit
constexpr int kSampleRate = 22050;

Picture drawCharacter();
Picture drawBalloon();
Picture drawCalendarBack();
Picture drawPortrait();         // her, larger, for the help panel
RgbaPicture drawIcon(int size); // her head, size × size, for menus, task lists and windows

std::vector<double> chimeSound();
std::vector<double> alarmSound();
std::vector<double> mailSound();

std::string helpRtf();
std::string versionText();
std::string indexHtml();

} // namespace gen
