// The outline's way from a mask file to the X server: a decoded region cut into shape requests
// under the server's request limit (taken from the bytes after the mask). Every rectangle that
// X can hold goes out exactly once, in order, banded, and no request outgrows the limit.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ShapeRequests.h"
#include "shape/MaskFile.h"

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

std::int32_t clamp16(std::int32_t v) {
    return std::clamp<std::int32_t>(v, INT16_MIN, INT16_MAX);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto m = shape::decodeMask(bytes);
    if (!m || m->kind != shape::MaskData::Kind::Region) {
        return 0;
    }
    // The server's limit: X promises at least 4096 units; anything from 6 up is tried.
    std::uint32_t units = 4096;
    if (size - m->consumed >= 2) {
        units = static_cast<std::uint32_t>(data[m->consumed]) |
                static_cast<std::uint32_t>(data[m->consumed + 1]) << 8;
        units = std::max<std::uint32_t>(units, 6);
        if (size - m->consumed >= 4) {
            units |= static_cast<std::uint32_t>(data[m->consumed + 2]) << 16 |
                     static_cast<std::uint32_t>(data[m->consumed + 3]) << 24;
        }
    }
    const size_t perRequest = platform::shapeRectsPerRequest(units);
    check(perRequest >= 1);
    check(16 + 8 * perRequest <=
          4 * static_cast<std::uint64_t>(std::min<std::uint32_t>(units, 65535)));

    const auto& rects = m->region.rects();
    size_t next = 0; // the region's next rectangle to be found in a piece
    size_t pieces = 0;
    platform::ShapeRect prev{};
    bool havePrev = false;
    platform::forEachShapePiece(
        m->region, perRequest, [&](const std::vector<platform::ShapeRect>& piece, bool first) {
            check(first == (pieces == 0));
            check(piece.size() <= perRequest);
            ++pieces;
            for (const platform::ShapeRect& r : piece) {
                // Skip the rectangles that clamping to 16 bits leaves empty.
                while (next < rects.size() &&
                       (clamp16(rects[next].right) <= clamp16(rects[next].left) ||
                        clamp16(rects[next].bottom) <= clamp16(rects[next].top))) {
                    ++next;
                }
                check(next < rects.size());
                const shape::Rect& want = rects[next++];
                check(r.x == clamp16(want.left) && r.y == clamp16(want.top));
                check(r.x + r.width == clamp16(want.right));
                check(r.y + r.height == clamp16(want.bottom));
                // Banded: bands in order, a band's rectangles share top and height, left to right
                // without overlap.
                if (havePrev) {
                    check(r.y >= prev.y);
                    if (r.y == prev.y) {
                        check(r.height == prev.height && r.x >= prev.x + prev.width);
                    } else {
                        check(r.y >= prev.y + prev.height);
                    }
                }
                prev = r;
                havePrev = true;
            }
        });
    check(pieces == (rects.size() + perRequest - 1) / perRequest);
    while (next < rects.size() && (clamp16(rects[next].right) <= clamp16(rects[next].left) ||
                                   clamp16(rects[next].bottom) <= clamp16(rects[next].top))) {
        ++next;
    }
    check(next == rects.size());
    return 0;
}
