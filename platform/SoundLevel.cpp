#include "platform/SoundLevel.h"

#include <cstring>

namespace platform {

void scaleSamples(std::uint8_t* data, std::size_t bytes, int percent) {
    if (percent >= 100) {
        return;
    }
    if (percent <= 0) {
        std::memset(data, 0, bytes & ~std::size_t{1});
        return;
    }
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        std::int16_t s;
        std::memcpy(&s, data + i, 2); // the device's buffer is bytes: no aliasing through int16
        // Toward zero, so that a scaled sample never outgrows the original.
        s = static_cast<std::int16_t>(s * percent / 100);
        std::memcpy(data + i, &s, 2);
    }
}

} // namespace platform
