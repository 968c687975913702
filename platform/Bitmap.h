#pragma once
// Windows bitmap (.bmp) decoding. Picture files are untrusted: every size and offset is checked
// against the bytes present before anything is allocated or read.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A decoded picture, top row first, each pixel 0x00RRGGBB.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t pixel(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    bool empty() const { return width == 0 || height == 0; }
};

// Largest picture accepted, in pixels; anything larger is treated as unreadable.
constexpr std::int64_t kMaxBitmapPixels = 40'000'000;

// Decodes an uncompressed or bit-field bitmap of 1, 4, 8, 16, 24 or 32 bits per pixel, or a
// run-length one of 4 or 8. nullopt when the bytes are not such a bitmap, are truncated or
// declare more than `maxPixels` (at most kMaxBitmapPixels): a few bytes of runs can describe
// the largest picture, so the size alone bounds the memory.
std::optional<Image> decodeBitmap(std::string_view bytes,
                                  std::int64_t maxPixels = kMaxBitmapPixels);

// Encodes a 24-bit uncompressed bitmap (used by tests and the data generator's checks).
std::string encodeBitmap24(const Image& image);

// Loads the picture file of a shaped window. Throws AppError with the messages the user knows:
// an extension that is no picture format, a picture that is not a bitmap, a file that cannot be
// opened or read as a bitmap.
Image loadPictureFile(const std::string& path);

} // namespace platform
