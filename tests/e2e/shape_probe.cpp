// Prints a region's rectangles, one "left top right bottom" line each, either of a window's X
// bounding shape (shape_probe window ID) or of a mask file (shape_probe mask FILE), so a test
// can compare the two. `shape_probe scaled ID PICTURE PERCENT` checks a window's shape against
// the outline of the picture smoothly scaled (its corner colour cut away first; a pixel belongs
// to her when at least half of it is hers; column 0 never does, column W does after an opaque
// last pixel) and prints "size W H differ N hole X Y inside X Y": N pixels on which the two
// disagree, a transparent point within her bounding box, an opaque one.
#include <QImage>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include "platform/Bitmap.h"
#include "shape/MaskFile.h"

// The window's bounding shape, or nullopt when there is no display or no such window.
static std::optional<std::vector<xcb_rectangle_t>> windowShape(const char* idText) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no display\n");
        return std::nullopt;
    }
    const auto id = static_cast<xcb_window_t>(std::strtoul(idText, nullptr, 0));
    auto cookie = xcb_shape_get_rectangles(c, id, XCB_SHAPE_SK_BOUNDING);
    xcb_shape_get_rectangles_reply_t* reply = xcb_shape_get_rectangles_reply(c, cookie, nullptr);
    if (!reply) {
        std::fprintf(stderr, "no such window\n");
        xcb_disconnect(c);
        return std::nullopt;
    }
    const xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(reply);
    std::vector<xcb_rectangle_t> rects(r, r + xcb_shape_get_rectangles_rectangles_length(reply));
    std::free(reply);
    xcb_disconnect(c);
    return rects;
}

static int window(const char* idText) {
    const auto rects = windowShape(idText);
    if (!rects) {
        return 2;
    }
    for (const xcb_rectangle_t& r : *rects) {
        std::printf("%d %d %d %d\n", r.x, r.y, r.x + r.width, r.y + r.height);
    }
    return 0;
}

static int scaled(const char* idText, const char* picturePath, int percent) {
    std::ifstream in(picturePath, std::ios::binary);
    const auto pic = platform::decodeBitmap(std::string((std::istreambuf_iterator<char>(in)), {}));
    const auto rects = windowShape(idText);
    if (!pic || pic->empty() || !rects) {
        return 2;
    }
    const std::uint32_t key = pic->pixel(0, 0);
    QImage keyed(pic->width, pic->height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < pic->height; ++y) {
        for (int x = 0; x < pic->width; ++x) {
            const std::uint32_t px = pic->pixel(x, y);
            keyed.setPixel(x, y, px == key ? 0u : 0xFF000000u | px);
        }
    }
    const int w = (pic->width * percent + 50) / 100;
    const int h = (pic->height * percent + 50) / 100;
    const QImage big = keyed.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_ARGB32);
    auto hers = [&](int x, int y) { return qAlpha(big.pixel(x, y)) >= 128; };
    std::vector<char> shown(static_cast<size_t>(w + 1) * h, 0);
    for (const xcb_rectangle_t& r : *rects) {
        for (int y = std::max<int>(r.y, 0); y < std::min(r.y + r.height, h); ++y) {
            for (int x = std::max<int>(r.x, 0); x < std::min(r.x + r.width, w + 1); ++x) {
                shown[static_cast<size_t>(y) * (w + 1) + x] = 1;
            }
        }
    }
    long differ = 0;
    int holeX = -1, holeY = -1, inX = -1, inY = -1;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x <= w; ++x) {
            const bool want = x > 0 && (x < w ? hers(x, y) : hers(w - 1, y));
            differ += want != (shown[static_cast<size_t>(y) * (w + 1) + x] != 0);
        }
    }
    // A hole inside her box: the middle of a transparent run of at least 6 pixels with her
    // pixels at both ends; an inner point: hers, and hers 4 pixels away every way.
    for (int y = 4; y < h - 4 && (holeX < 0 || inX < 0); ++y) {
        int runStart = -1;
        for (int x = 1; x < w; ++x) {
            if (!hers(x, y) && hers(x - 1, y)) {
                runStart = x;
            } else if (hers(x, y) && runStart > 0) {
                if (x - runStart >= 6 && holeX < 0) {
                    holeX = runStart + (x - runStart) / 2;
                    holeY = y;
                }
                runStart = -1;
            }
            if (inX < 0 && x > 4 && x < w - 4 && hers(x, y) && hers(x - 4, y) && hers(x + 4, y) &&
                hers(x, y - 4) && hers(x, y + 4)) {
                inX = x;
                inY = y;
            }
        }
    }
    std::printf("size %d %d differ %ld hole %d %d inside %d %d\n", w, h, differ, holeX, holeY, inX,
                inY);
    return 0;
}

static int mask(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    auto m = shape::decodeMask(bytes);
    if (!m) {
        std::fprintf(stderr, "malformed mask\n");
        return 2;
    }
    for (const shape::Rect& r : m->region.rects()) {
        std::printf("%d %d %d %d\n", r.left, r.top, r.right, r.bottom);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "window") {
        return window(argv[2]);
    }
    if (argc == 3 && std::string(argv[1]) == "mask") {
        return mask(argv[2]);
    }
    if (argc == 5 && std::string(argv[1]) == "scaled") {
        return scaled(argv[2], argv[3], std::atoi(argv[4]));
    }
    std::fprintf(stderr, "usage: shape_probe window ID | mask FILE | scaled ID PICTURE PERCENT\n");
    return 2;
}
