#include "platform/ShapeRequests.h"

#include <algorithm>

namespace platform {
namespace {

std::int16_t coord(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, INT16_MIN, INT16_MAX));
}

} // namespace

size_t shapeRectsPerRequest(std::uint32_t maxRequestUnits) {
    // A ShapeRectangles request: 16 bytes of header and 8 per rectangle; the limit counts 4-byte
    // units. Requests stay within the classic 16-bit length even where the server takes big
    // requests: its shape extension reads a big request's rectangles as none and sets an empty
    // outline without an error.
    const std::uint64_t bytes = std::uint64_t{std::min<std::uint32_t>(maxRequestUnits, 65535)} * 4;
    return bytes > 16 ? static_cast<size_t>((bytes - 16) / 8) : 1;
}

void forEachShapePiece(const Region& region, size_t perRequest,
                       const std::function<void(const std::vector<ShapeRect>&, bool)>& send) {
    perRequest = std::max<size_t>(perRequest, 1);
    const auto& rects = region.rects();
    std::vector<ShapeRect> piece;
    piece.reserve(std::min(rects.size(), perRequest));
    for (size_t at = 0; at < rects.size(); at += perRequest) {
        const size_t end = at + std::min(rects.size() - at, perRequest);
        piece.clear();
        for (size_t i = at; i < end; ++i) {
            const Rect& r = rects[i];
            const std::int16_t x = coord(r.left);
            const std::int16_t y = coord(r.top);
            const int w = coord(r.right) - x;
            const int h = coord(r.bottom) - y;
            if (w > 0 && h > 0) {
                piece.push_back(
                    ShapeRect{x, y, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h)});
            }
        }
        send(piece, at == 0);
    }
}

} // namespace platform
