#pragma once
// Cutting a window outline into shape requests the X server accepts: plain arithmetic, kept
// apart from the xcb calls so it can be tested and fuzzed without a display.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Region.h"

namespace platform {

// One rectangle as a shape request carries it: 16-bit position and size.
struct ShapeRect {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// How many rectangles one shape request may carry under the server's request limit (in 4-byte
// units), never needing a big request.
size_t shapeRectsPerRequest(std::uint32_t maxRequestUnits);

// Calls `send` for each piece of the outline, in order, each of at most `perRequest` (at least
// one) rectangles: the first piece sets the shape, the others unite with it. Coordinates are
// clamped to what X holds; a rectangle that clamping leaves empty is dropped. Pieces of a banded
// list stay banded.
void forEachShapePiece(
    const Region& region, size_t perRequest,
    const std::function<void(const std::vector<ShapeRect>& piece, bool first)>& send);

} // namespace platform
