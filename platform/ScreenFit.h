#pragma once
// Where a window goes when it would be on no screen at all: a monitor was unplugged, or the
// scale changed, and the saved position lies beyond every screen.
#include <optional>
#include <vector>

namespace platform {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// Nothing when any part of `window` lies on one of `screens`: the user may have left it half
// out of sight on purpose. Otherwise `home` (relative to the primary screen's corner), moved as
// little as needed to bring the whole window onto the primary screen.
std::optional<ScreenPoint> offScreenRecovery(const ScreenRect& window,
                                             const std::vector<ScreenRect>& screens,
                                             const ScreenRect& primary, ScreenPoint home);

} // namespace platform
