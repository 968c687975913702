// Compares a screenshot with a picture shown in a window: pixel_probe SHOT PICTURE WX WY
// X Y W H prints, for the rectangle (X, Y, W, H) of the picture (shown with its top-left at
// WX, WY on the screen), how many pixels differ from the picture and the box they lie in:
// "diff N box X0 Y0 X1 Y1 inbox M" (box and inbox are empty when nothing differs).
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Bitmap.h"

static platform::Image load(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    auto img = platform::decodeBitmap(bytes);
    if (!img) {
        std::fprintf(stderr, "cannot read %s\n", path);
        std::exit(2);
    }
    return *img;
}

int main(int argc, char** argv) {
    if (argc != 9) {
        std::fprintf(stderr, "usage: pixel_probe SHOT PICTURE WX WY X Y W H\n");
        return 2;
    }
    const platform::Image shot = load(argv[1]);
    const platform::Image pic = load(argv[2]);
    const int wx = std::atoi(argv[3]), wy = std::atoi(argv[4]);
    const int x0 = std::atoi(argv[5]), y0 = std::atoi(argv[6]);
    const int w = std::atoi(argv[7]), h = std::atoi(argv[8]);
    long diff = 0;
    int bx0 = INT_MAX, by0 = INT_MAX, bx1 = -1, by1 = -1;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) {
            const int sx = wx + x, sy = wy + y;
            if (x >= pic.width || y >= pic.height || sx < 0 || sy < 0 || sx >= shot.width ||
                sy >= shot.height) {
                continue;
            }
            if (shot.pixel(sx, sy) != pic.pixel(x, y)) {
                ++diff;
                bx0 = std::min(bx0, x);
                by0 = std::min(by0, y);
                bx1 = std::max(bx1, x + 1);
                by1 = std::max(by1, y + 1);
            }
        }
    }
    if (diff == 0) {
        std::printf("diff 0 box 0 0 0 0 inbox 0\n");
        return 0;
    }
    std::printf("diff %ld box %d %d %d %d inbox %ld\n", diff, bx0, by0, bx1, by1,
                static_cast<long>(bx1 - bx0) * (by1 - by0));
    return 0;
}
