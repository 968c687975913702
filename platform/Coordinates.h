#pragma once
// Window positions from the settings file, as the window system can hold them.
#include <algorithm>
#include <cmath>

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

// A length of the design at `percent` of its size, and back, rounded to the nearest pixel. Her
// size scales her picture, outline, balloon and clock label; the file keeps design lengths.
inline int atScale(int v, int percent) {
    return percent == 100 ? v : static_cast<int>(std::lround(double(v) * percent / 100.0));
}
inline int fromScale(int v, int percent) {
    return percent == 100 ? v : static_cast<int>(std::lround(double(v) * 100.0 / percent));
}

// Point sizes the font system draws; others are kept out of the label.
constexpr bool usableFontSize(int points) {
    return points >= 1 && points <= 512;
}

} // namespace platform
