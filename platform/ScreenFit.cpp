#include "platform/ScreenFit.h"

#include <algorithm>

namespace platform {
namespace {

bool overlaps(const ScreenRect& a, const ScreenRect& b) {
    // 64-bit sums: positions from the settings file reach the ends of the int range.
    const auto right = [](const ScreenRect& r) { return static_cast<long long>(r.x) + r.width; };
    const auto bottom = [](const ScreenRect& r) { return static_cast<long long>(r.y) + r.height; };
    return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.x < right(b) &&
           b.x < right(a) && a.y < bottom(b) && b.y < bottom(a);
}

int fit(long long pos, int size, int start, int length) {
    // A window larger than the screen keeps its top-left corner on it.
    const long long last = static_cast<long long>(start) + std::max(0, length - size);
    return static_cast<int>(std::clamp(pos, static_cast<long long>(start), last));
}

} // namespace

std::optional<ScreenPoint> offScreenRecovery(const ScreenRect& window,
                                             const std::vector<ScreenRect>& screens,
                                             const ScreenRect& primary, ScreenPoint home) {
    // A window that has no size yet cannot be judged; it is placed when it has one.
    if (window.width <= 0 || window.height <= 0 || primary.width <= 0 || primary.height <= 0) {
        return std::nullopt;
    }
    for (const ScreenRect& s : screens) {
        if (overlaps(window, s)) {
            return std::nullopt;
        }
    }
    return ScreenPoint{
        fit(static_cast<long long>(primary.x) + home.x, window.width, primary.x, primary.width),
        fit(static_cast<long long>(primary.y) + home.y, window.height, primary.y, primary.height)};
}

} // namespace platform
