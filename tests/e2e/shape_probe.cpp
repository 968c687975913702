// Prints a region's rectangles, one "left top right bottom" line each, either of a window's X
// bounding shape (shape_probe window ID) or of a mask file (shape_probe mask FILE), so a test
// can compare the two.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include "shape/MaskFile.h"

static int window(const char* idText) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    const auto id = static_cast<xcb_window_t>(std::strtoul(idText, nullptr, 0));
    auto cookie = xcb_shape_get_rectangles(c, id, XCB_SHAPE_SK_BOUNDING);
    xcb_shape_get_rectangles_reply_t* reply = xcb_shape_get_rectangles_reply(c, cookie, nullptr);
    if (!reply) {
        std::fprintf(stderr, "no such window\n");
        return 2;
    }
    const xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(reply);
    const int n = xcb_shape_get_rectangles_rectangles_length(reply);
    for (int i = 0; i < n; ++i) {
        std::printf("%d %d %d %d\n", r[i].x, r[i].y, r[i].x + r[i].width, r[i].y + r[i].height);
    }
    std::free(reply);
    xcb_disconnect(c);
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
    std::fprintf(stderr, "usage: shape_probe window ID | mask FILE\n");
    return 2;
}
