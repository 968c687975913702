// The character, her speech balloon and the calendar background, drawn from shapes.
#include "gen.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gen {
namespace {

constexpr int kSuper = 4; // samples per pixel side

constexpr Rgb kInk{62, 40, 48};
constexpr Rgb kSkin{255, 230, 214};
constexpr Rgb kSkinShade{246, 204, 190};
constexpr Rgb kHair{156, 96, 66};
constexpr Rgb kHairLight{204, 146, 108};
constexpr Rgb kDress{124, 180, 232};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRibbon{236, 92, 116};
constexpr Rgb kBlush{250, 172, 180};
constexpr Rgb kEye{56, 38, 66};
constexpr Rgb kIris{122, 88, 164};
constexpr Rgb kMouth{186, 66, 84};
constexpr Rgb kTongue{248, 138, 150};
constexpr Rgb kPetal{255, 238, 150};
constexpr Rgb kPetalHeart{255, 166, 88};

constexpr double kLine = 1.6; // outer outline
constexpr double kFine = 1.1; // inner details

Shape star(double cx, double cy, double r, double turn) {
    Points pts;
    for (int i = 0; i < 10; ++i) {
        double a = turn + i * std::numbers::pi / 5 - std::numbers::pi / 2;
        double rr = i % 2 == 0 ? r : r * 0.45;
        pts.emplace_back(cx + rr * std::cos(a), cy + rr * std::sin(a));
    }
    return polygon(pts);
}

void drawEye(Canvas& c, double cx, double cy, bool right) {
    Shape eye = ellipse(cx, cy, 8.5, 11.5);
    c.outlined(eye, kEye, kInk, kFine);
    // A lighter iris low in the eye reads as depth without extra lines.
    c.fill(intersect(ellipse(cx, cy + 2.5, 6.5, 8.0), below(cy - 1)), [cy](double, double y) {
        return mix(kEye, kIris, std::clamp((y - cy + 1) / 8.0, 0.0, 1.0));
    });
    c.fill(circle(cx - 3.0, cy - 4.5, 3.4), kWhite);
    c.fill(circle(cx + 3.2, cy + 4.5, 1.6), kWhite);
    // Upper lash line, a little heavier than the eye's rim, with a flick at the outer corner.
    c.fill(intersect(cut(grow(eye, 2.4), grow(eye, 0.4)), above(cy - 4)), kInk);
    double side = right ? 1 : -1;
    c.fill(thickLine(cx + side * 8.5, cy - 5.5, cx + side * 12.0, cy - 8.0, 1.1), kInk);
}

// Her figure in its own coordinates: 200 × 190, the dress running off the bottom.
void paintCharacter(Canvas& c) {
    // Back of the bob, behind everything else.
    Shape backHair = blend(ellipse(100, 56, 51, 48), roundRect(51, 52, 149, 110, 16), 8);
    c.outlined(backHair, kHair, kInk, kLine);

    // Dress: a soft trapezoid running off the bottom edge.
    c.outlined(thickLine(100, 86, 100, 104, 7), kSkin, kInk, kLine); // neck
    Shape dress = grow(polygon({{76, 104}, {124, 104}, {156, 200}, {44, 200}}), 5);
    c.outlined(dress, kDress, kInk, kLine);
    Shape hemBand =
        unite({below(180), circle(50, 181, 5), circle(61, 181, 5), circle(72, 181, 5),
               circle(83, 181, 5), circle(94, 181, 5), circle(106, 181, 5), circle(117, 181, 5),
               circle(128, 181, 5), circle(139, 181, 5), circle(150, 181, 5)});
    c.fill(intersect(grow(hemBand, kFine), dress), kInk);
    c.fill(intersect(hemBand, dress), kWhite);

    // Collar and bow sit above the clock, keeping the chest plain below them.
    Shape collarL = grow(polygon({{100, 101}, {84, 99}, {83, 110}, {97, 108}}), 2);
    Shape collarR = grow(polygon({{100, 101}, {116, 99}, {117, 110}, {103, 108}}), 2);
    c.outlined(collarL, kWhite, kInk, kFine);
    c.outlined(collarR, kWhite, kInk, kFine);
    Shape bow = unite({grow(polygon({{100, 106}, {90, 100}, {90, 112}}), 1.5),
                       grow(polygon({{100, 106}, {110, 100}, {110, 112}}), 1.5)});
    c.outlined(bow, kRibbon, kInk, kFine);
    c.outlined(circle(100, 106, 3), kRibbon, kInk, kFine);

    // Left arm hangs down; the right one waves.
    c.outlined(unite({thickLine(66, 118, 55, 156, 5.5), circle(54, 160, 7)}), kSkin, kInk, kLine);
    c.outlined(ellipse(67, 114, 12, 11), kDress, kInk, kLine);
    c.outlined(unite({thickLine(136, 116, 160, 88, 5.5), circle(164, 82, 7.5)}), kSkin, kInk,
               kLine);
    c.outlined(ellipse(133, 114, 12, 11), kDress, kInk, kLine);
    c.fill(thickLine(176, 70, 182, 64, 1.1), kInk); // little wave marks
    c.fill(thickLine(179, 80, 187, 78, 1.1), kInk);
    c.fill(thickLine(168, 64, 170, 56, 1.1), kInk);

    // Face, with a soft shadow under the fringe.
    Shape face = ellipse(100, 62, 41, 37);
    c.outlined(face, kSkin, kInk, kLine);
    // The fringe shares the back hair's crown so the top of the head has a single outline;
    // its lower edge is a row of locks, each side gently bowed, parted a little off centre.
    Points edge = {{160, 64}, {143, 66}, {135, 50}, {127, 61}, {119, 46}, {109, 59}, {101, 43},
                   {91, 58},  {83, 46},  {74, 61},  {66, 50},  {57, 66},  {40, 64}};
    Points outline = {{40, 0}, {160, 0}};
    for (size_t i = 0; i + 1 < edge.size(); ++i) {
        auto [x0, y0] = edge[i];
        auto [x1, y1] = edge[i + 1];
        double len = std::hypot(x1 - x0, y1 - y0);
        for (int k = 0; k < 6; ++k) {
            double t = k / 6.0, bow = 1.8 * 4 * t * (1 - t);
            outline.emplace_back(x0 + (x1 - x0) * t + bow * (y1 - y0) / len,
                                 y0 + (y1 - y0) * t - bow * (x1 - x0) / len);
        }
    }
    outline.push_back(edge.back());
    Shape fringe = intersect(ellipse(100, 56, 51, 48), grow(polygon(outline), 0.6));
    c.fill(intersect(shift(fringe, 0, 3.5), face), kSkinShade);

    c.fill(ellipse(70, 81, 8, 4.5), kBlush);
    c.fill(ellipse(130, 81, 8, 4.5), kBlush);
    drawEye(c, 82, 69, false);
    drawEye(c, 118, 69, true);

    Shape mouth = intersect(ellipse(100, 84, 7, 6.5), below(84));
    c.outlined(mouth, kMouth, kInk, kFine);
    c.fill(intersect(circle(100, 92, 4.2), mouth), kTongue);

    // Front hair: fringe and two side locks drawn as one piece so no seam shows between them.
    Shape locks =
        unite({grow(polygon({{57, 52}, {67, 56}, {66, 82}, {60, 99}, {55, 80}}), 1.5),
               grow(polygon({{143, 52}, {133, 56}, {134, 82}, {140, 99}, {145, 80}}), 1.5)});
    Shape frontHair = unite({intersect(fringe, above(72)), locks});
    c.outlined(frontHair, kHair, kInk, kLine);
    c.fill(intersect(ring(100, 60, 36, 2.2), intersect(frontHair, above(34))), kHairLight);

    // Flower clip.
    Shape petals = unite({circle(140, 22, 5), circle(145.7, 26.1, 5), circle(143.5, 32.8, 5),
                          circle(136.5, 32.8, 5), circle(134.3, 26.1, 5)});
    c.outlined(petals, kPetal, kInk, kFine);
    c.outlined(circle(140, 28, 3), kPetalHeart, kInk, 0.8);
}

} // namespace

Picture drawCharacter() {
    Canvas c(200, 190, kSuper, kKey);
    paintCharacter(c);
    return c.resolve(true);
}

Picture drawPortrait() {
    // The help panel shows columns 72 to 216 of this picture, so her face is centred there; the
    // rest is backdrop for the columns the text pane covers.
    constexpr Rgb kTop{255, 240, 246};
    constexpr Rgb kBottom{226, 238, 255};
    Canvas c(265, 350, kSuper, kTop);
    c.fill([](double, double) { return -1.0; },
           [](double, double y) { return mix(kTop, kBottom, std::clamp(y / 350, 0.0, 1.0)); });
    c.fill(star(98, 40, 9, 0.3), kPetal, 0.8);
    c.fill(star(196, 70, 6, 1.1), Rgb{188, 204, 252}, 0.8);
    c.fill(star(86, 300, 7, 0.7), Rgb{248, 178, 202}, 0.7);
    c.setView(1.4, 4, 66);
    paintCharacter(c);
    return c.resolve(false);
}

RgbaPicture drawIcon(int size) {
    // Her head and shoulders: the square from x 38 to 162, y 0 to 124 of her figure. Small
    // icons take more samples so the outline still averages to a visible line.
    constexpr double kLeft = 38, kTop = 0, kSide = 124;
    const int ss = std::max(kSuper, 256 / size);
    Canvas c(size, size, ss, kKey);
    const double scale = size / kSide;
    c.setView(scale, -kLeft * scale, -kTop * scale);
    paintCharacter(c);
    return c.resolveAlpha();
}

Picture drawBalloon() {
    constexpr Rgb kPaper{255, 253, 246};
    constexpr Rgb kPaperLow{255, 250, 236};
    constexpr Rgb kBalloonInk{92, 70, 78};
    Canvas c(279, 230, kSuper, kKey);
    Shape body = roundRect(4, 4, 265, 207, 16);
    Shape tail = polygon({{222, 196}, {252, 192}, {276, 227}});
    Shape balloon = blend(body, tail, 10);
    c.fill(grow(balloon, 2.0), kBalloonInk);
    // A barely visible fall from white to cream; text stays black on near-white throughout.
    c.fill(balloon,
           [&](double, double y) { return mix(kPaper, kPaperLow, std::clamp(y / 230, 0.0, 1.0)); });
    return c.resolve(true);
}

Picture drawCalendarBack() {
    constexpr Rgb kTop{255, 243, 247};
    constexpr Rgb kBottom{238, 245, 255};
    Canvas c(232, 160, kSuper, kTop);
    c.fill([](double, double) { return -1.0; },
           [](double x, double y) {
               return mix(kTop, kBottom, std::clamp((y / 160) * 0.75 + (x / 232) * 0.25, 0.0, 1.0));
           });
    // Faint stars and petals scattered with a fixed seed, kept apart from each other and pale
    // enough that the day numbers stay clear.
    Random rnd(0x6E61676F6D69ULL);
    const Rgb starTints[] = {{255, 214, 140}, {188, 204, 252}, {214, 196, 246}};
    constexpr Rgb kSakura{248, 178, 202};
    Points placed;
    for (int tries = 0; placed.size() < 16 && tries < 1000; ++tries) {
        double x = rnd.range(8, 224), y = rnd.range(8, 152);
        bool crowded = false;
        for (auto [px, py] : placed) {
            crowded = crowded || std::hypot(px - x, py - y) < 34;
        }
        if (crowded) {
            continue;
        }
        placed.emplace_back(x, y);
        double size = rnd.range(4.5, 7.5);
        double turn = rnd.range(0, 2 * std::numbers::pi);
        if (placed.size() % 2 == 0) {
            Rgb tint = starTints[static_cast<int>(rnd.next() * 3)];
            c.fill(blend(star(x, y, size, turn), circle(x, y, size * 0.3), 1.5), tint, 0.5);
        } else {
            // A cherry petal: round at the top with a notch, narrowing to a point at the base.
            double dx = std::cos(turn), dy = std::sin(turn);
            auto at = [&](double u, double v) {
                return std::pair{x + u * dx - v * dy, y + u * dy + v * dx};
            };
            auto [hx, hy] = at(size * 0.35, 0);
            auto [nx, ny] = at(size * 1.02, 0);
            Shape head = circle(hx, hy, size * 0.62);
            Shape base =
                polygon({at(-size, 0), at(size * 0.3, size * 0.55), at(size * 0.3, -size * 0.55)});
            c.fill(cut(blend(head, base, 2.0), circle(nx, ny, size * 0.3)), kSakura, 0.45);
        }
    }
    return c.resolve(false);
}

} // namespace gen
