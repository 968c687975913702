#pragma once
// Window positions from the settings file, as the window system can hold them.
#include <algorithm>

namespace platform {

// X11 coordinates are 16-bit: a position from the file is clamped when it is applied.
constexpr int toScreenCoord(int v) {
    return std::clamp(v, -32768, 32767);
}

// The position to save: the file's own value while the window still stands where that value
// put it, so a clamped position is not written back over what the user had.
constexpr int coordToStore(int fromFile, int current) {
    return current == toScreenCoord(fromFile) ? fromFile : current;
}

// Point sizes the font system draws; others are kept out of the label.
constexpr bool usableFontSize(int points) {
    return points >= 1 && points <= 512;
}

} // namespace platform
