// The bitmap decoder on arbitrary bytes; a decoded picture is generated a mask from, as the
// program does with every picture it loads.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Bitmap.h"
#include "shape/extMaskgenerator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    // A few bytes of runs can declare the largest picture; a small bound keeps every run fast
    // and lets each decoded picture have its mask generated.
    constexpr std::int64_t kMaxPixels = 1 << 16;
    auto img = platform::decodeBitmap(std::string_view(reinterpret_cast<const char*>(data), size),
                                      kMaxPixels);
    if (!img) {
        return 0;
    }
    if (img->pixels.size() != static_cast<size_t>(img->width) * static_cast<size_t>(img->height) ||
        static_cast<std::int64_t>(img->pixels.size()) > kMaxPixels) {
        std::abort();
    }
    shape::maskRegion(*img, img->pixel(0, 0));
    return 0;
}
