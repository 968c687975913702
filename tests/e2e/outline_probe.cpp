// Checks a shaped window on a screenshot against what it must look like: its picture inside
// the outline of its mask, and the desktop (a screenshot taken without it) outside.
// Usage: outline_probe SHOT DESKTOP PICTURE MASK WX WY [SKIP_X SKIP_Y SKIP_W SKIP_H]
// with the window's top-left at WX, WY on the screen; the optional rectangle of the picture
// (text drawn over it) is left out. Prints
//   "inside N differ D outside M same S dimmed K other O"
// where pixels outside the outline (in the window's box and a margin of 40 around it) are the
// desktop unchanged (same), the desktop darkened evenly, as by a compositor's drop shadow
// (dimmed: every channel scaled by one factor of at least 0.4), or anything else (other: a
// box, a fill, garbage).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "shape/MaskFile.h"

namespace {

std::string slurp(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

platform::Image load(const char* path) {
    auto img = platform::decodeBitmap(slurp(path));
    if (!img) {
        std::fprintf(stderr, "cannot read %s\n", path);
        std::exit(2);
    }
    return *img;
}

int channel(std::uint32_t c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

// The same colour scaled by one factor in [0.4, 1], allowing for rounding.
bool dimmed(std::uint32_t seen, std::uint32_t desktop) {
    double lo = 0.4, hi = 1.0;
    for (int shift : {0, 8, 16}) {
        const int s = channel(seen, shift), d = channel(desktop, shift);
        if (d < 8) {
            if (s > d) {
                return false;
            }
            continue;
        }
        lo = std::max(lo, (s - 1.5) / d);
        hi = std::min(hi, (s + 1.5) / d);
    }
    return lo <= hi;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7 && argc != 11) {
        std::fprintf(stderr, "usage: outline_probe SHOT DESKTOP PICTURE MASK WX WY "
                             "[SKIP_X SKIP_Y SKIP_W SKIP_H]\n");
        return 2;
    }
    const platform::Image shot = load(argv[1]);
    const platform::Image desk = load(argv[2]);
    const platform::Image pic = load(argv[3]);
    auto mask = shape::decodeMask(slurp(argv[4]));
    if (!mask || shot.width != desk.width || shot.height != desk.height) {
        std::fprintf(stderr, "malformed mask or screenshots of different sizes\n");
        return 2;
    }
    const int wx = std::atoi(argv[5]), wy = std::atoi(argv[6]);
    int kx = 0, ky = 0, kw = 0, kh = 0;
    if (argc == 11) {
        kx = std::atoi(argv[7]);
        ky = std::atoi(argv[8]);
        kw = std::atoi(argv[9]);
        kh = std::atoi(argv[10]);
    }
    std::vector<char> in(static_cast<size_t>(pic.width) * pic.height, 0);
    for (const shape::Rect& r : mask->region.rects()) {
        for (int y = std::max(0, r.top); y < std::min(pic.height, r.bottom); ++y) {
            for (int x = std::max(0, r.left); x < std::min(pic.width, r.right); ++x) {
                in[static_cast<size_t>(y) * pic.width + x] = 1;
            }
        }
    }
    long inside = 0, differ = 0, outside = 0, same = 0, dim = 0, other = 0;
    constexpr int kMargin = 40;
    for (int y = -kMargin; y < pic.height + kMargin; ++y) {
        for (int x = -kMargin; x < pic.width + kMargin; ++x) {
            const int sx = wx + x, sy = wy + y;
            if (sx < 0 || sy < 0 || sx >= shot.width || sy >= shot.height) {
                continue;
            }
            const bool onPicture = x >= 0 && y >= 0 && x < pic.width && y < pic.height;
            if (onPicture && x >= kx && x < kx + kw && y >= ky && y < ky + kh) {
                continue;
            }
            const std::uint32_t seen = shot.pixel(sx, sy) & 0xFFFFFF;
            if (onPicture && in[static_cast<size_t>(y) * pic.width + x]) {
                ++inside;
                differ += seen != (pic.pixel(x, y) & 0xFFFFFF);
                continue;
            }
            ++outside;
            const std::uint32_t d = desk.pixel(sx, sy) & 0xFFFFFF;
            if (seen == d) {
                ++same;
            } else if (dimmed(seen, d)) {
                ++dim;
            } else {
                ++other;
            }
        }
    }
    std::printf("inside %ld differ %ld outside %ld same %ld dimmed %ld other %ld\n", inside, differ,
                outside, same, dim, other);
    return 0;
}
