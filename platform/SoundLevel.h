#pragma once
// The sample maths of the sound service's volume.
#include <cstddef>
#include <cstdint>

namespace platform {

// Scales `bytes` bytes of signed 16-bit native-endian samples to `percent` (0-100) of their
// amplitude. 100 leaves them bit for bit; an odd last byte is left alone.
void scaleSamples(std::uint8_t* data, std::size_t bytes, int percent);

} // namespace platform
