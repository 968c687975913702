// The run-length pixel decoder: the first bytes choose RLE8 or RLE4, the size and the palette
// length, the rest is the run data. The picture comes out whole and every pixel is a palette
// colour (or black for an index past the palette), whatever the runs say.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Bitmap.h"

namespace {

void put16(std::string& b, size_t at, std::uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const bool rle4 = (data[0] & 1) != 0;
    const int width = 1 + data[1] % 64;
    const int height = 1 + data[2] % 64;
    const std::uint32_t colours = 1 + data[3] % 16;
    const size_t off = 54 + colours * 4;
    std::string b(off, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, static_cast<std::uint32_t>(off));
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(width));
    put32(b, 22, static_cast<std::uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, rle4 ? 4 : 8);
    put32(b, 30, rle4 ? 2 : 1);
    put32(b, 46, colours);
    for (std::uint32_t i = 0; i < colours; ++i) {
        put32(b, 54 + i * 4, 0x010101u * (i + 1)); // colour i is (i+1, i+1, i+1)
    }
    b.append(reinterpret_cast<const char*>(data) + 4, size - 4);
    auto img = platform::decodeBitmap(b);
    if (!img) {
        return 0;
    }
    if (img->width != width || img->height != height ||
        img->pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        std::abort();
    }
    for (std::uint32_t p : img->pixels) {
        const std::uint32_t grey = p & 0xFF;
        if ((p != 0 && p != 0x010101u * grey) || grey > colours) {
            std::abort();
        }
    }
    return 0;
}
