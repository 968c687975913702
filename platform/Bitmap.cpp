#include "platform/Bitmap.h"

#include <algorithm>
#include <cctype>

#include "platform/AppError.h"
#include "platform/Files.h"

namespace platform {
namespace {

std::uint32_t u16(std::string_view b, size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}
std::uint32_t u32(std::string_view b, size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}
std::int32_t s32(std::string_view b, size_t at) {
    return static_cast<std::int32_t>(u32(b, at));
}

// Scales a masked channel to 8 bits.
std::uint32_t channel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1) == 0) {
        ++shift;
    }
    std::uint32_t m = mask >> shift;
    std::uint32_t v = (value & mask) >> shift;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(v) * 255 + m / 2) / m);
}

constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

// Run-length pixel data of 8 or 4 bits, rows from the bottom. Pixels no run reaches keep index 0.
// Runs are clipped at the row's end and stop at the picture's top; an escape or absolute run
// whose bytes are not all there makes the picture unreadable. The data may end without the
// end-of-bitmap escape.
std::optional<Image> decodeRle(std::string_view data, int width, int height, unsigned bpp,
                               const std::vector<std::uint32_t>& palette) {
    auto colour = [&](unsigned idx) { return idx < palette.size() ? palette[idx] : 0u; };
    Image img;
    img.width = width;
    img.height = height;
    img.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour(0));
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const size_t end = data.size();
    // Position as counted by the escapes: x may pass the row's end (nothing is drawn there),
    // row counts from the bottom.
    std::int64_t x = 0;
    std::int64_t row = 0;
    auto put = [&](unsigned idx) {
        if (x < width) {
            img.pixels[static_cast<size_t>(height - 1 - row) * static_cast<size_t>(width) +
                       static_cast<size_t>(x)] = colour(idx);
        }
        ++x;
    };
    size_t at = 0;
    while (row < height && end - at >= 2) {
        const unsigned count = p[at];
        const unsigned value = p[at + 1];
        at += 2;
        if (count > 0) {
            // Encoded run: one index for 8 bits, two alternating ones for 4.
            const std::int64_t n =
                std::min<std::int64_t>(count, std::max<std::int64_t>(0, width - x));
            for (std::int64_t i = 0; i < n; ++i) {
                put(bpp == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
            }
            x += count - n;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++row;
            break;
        case 1: // end of bitmap
            return img;
        case 2: // delta: right and up
            if (end - at < 2) {
                return std::nullopt;
            }
            x += p[at];
            row += p[at + 1];
            at += 2;
            break;
        default: { // absolute run, padded to 16 bits
            const size_t bytes = bpp == 8 ? value : (value + 1) / 2;
            const size_t padded = (bytes + 1) & ~size_t{1};
            if (end - at < padded) {
                return std::nullopt;
            }
            for (unsigned i = 0; i < value && x < width; ++i) {
                const unsigned byte = p[at + (bpp == 8 ? i : i / 2)];
                put(bpp == 8 ? byte : (i % 2 == 0 ? byte >> 4 : byte & 0x0F));
            }
            at += padded;
            break;
        }
        }
    }
    return img;
}

} // namespace

std::optional<Image> decodeBitmap(std::string_view b, std::int64_t maxPixels) {
    if (b.size() < 14 + 12 || b[0] != 'B' || b[1] != 'M') {
        return std::nullopt;
    }
    const std::uint32_t offBits = u32(b, 10);
    const std::uint32_t hdrSize = u32(b, 14);
    if (hdrSize < 12 || hdrSize > b.size() - 14) {
        return std::nullopt;
    }
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bpp = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    size_t paletteEntry = 4;
    if (hdrSize == 12) {
        width = u16(b, 18);
        height = static_cast<std::int16_t>(u16(b, 20));
        bpp = u16(b, 24);
        paletteEntry = 3;
    } else if (hdrSize >= 40) {
        width = s32(b, 18);
        height = s32(b, 22);
        if (u16(b, 26) != 1) {
            return std::nullopt;
        }
        bpp = u16(b, 28);
        compression = u32(b, 30);
        colorsUsed = u32(b, 46);
    } else {
        return std::nullopt;
    }
    const bool topDown = height < 0;
    if (topDown) {
        height = -height;
    }
    if (width <= 0 || height <= 0 || width * height > std::min(maxPixels, kMaxBitmapPixels)) {
        return std::nullopt;
    }
    const bool rle = compression == kRle8 || compression == kRle4;
    if (rle) {
        // Run-length pictures are stored bottom-up only, 8 bits with RLE8, 4 with RLE4.
        if (topDown || bpp != (compression == kRle8 ? 8u : 4u)) {
            return std::nullopt;
        }
    } else if (compression == 3 && (bpp == 16 || bpp == 32)) {
        // Bit-field masks follow a 40-byte header, or sit inside a larger one.
        if (14 + 40 + 12 > b.size()) {
            return std::nullopt;
        }
        masks[0] = u32(b, 54);
        masks[1] = u32(b, 58);
        masks[2] = u32(b, 62);
    } else if (compression != 0) {
        return std::nullopt; // embedded JPEG and PNG are not handled
    } else if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        return std::nullopt;
    }

    std::vector<std::uint32_t> palette;
    if (bpp <= 8) {
        std::uint32_t count = colorsUsed == 0 ? (1u << bpp) : colorsUsed;
        if (count > 256) {
            return std::nullopt;
        }
        size_t palAt = 14 + hdrSize + (compression == 3 ? 12 : 0);
        if (palAt > b.size() || count * paletteEntry > b.size() - palAt) {
            return std::nullopt;
        }
        palette.resize(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            size_t at = palAt + i * paletteEntry;
            palette[i] = static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
                         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
                         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16;
        }
    }

    if (rle) {
        if (offBits > b.size()) {
            return std::nullopt;
        }
        return decodeRle(b.substr(offBits), static_cast<int>(width), static_cast<int>(height), bpp,
                         palette);
    }

    const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4;
    if (offBits > b.size() || stride * static_cast<std::uint64_t>(height) > b.size() - offBits) {
        return std::nullopt; // truncated pixel data
    }

    Image img;
    img.width = static_cast<int>(width);
    img.height = static_cast<int>(height);
    img.pixels.resize(static_cast<size_t>(width * height));
    for (std::int64_t row = 0; row < height; ++row) {
        const std::int64_t y = topDown ? row : height - 1 - row;
        const auto* src = reinterpret_cast<const unsigned char*>(b.data()) + offBits +
                          static_cast<size_t>(stride) * static_cast<size_t>(row);
        std::uint32_t* dst = img.pixels.data() + static_cast<size_t>(y * width);
        for (std::int64_t x = 0; x < width; ++x) {
            std::uint32_t px = 0;
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const std::uint64_t bit = static_cast<std::uint64_t>(x) * bpp;
                const unsigned byte = src[bit / 8];
                const unsigned shift = 8 - bpp - static_cast<unsigned>(bit % 8);
                const unsigned idx = (byte >> shift) & ((1u << bpp) - 1);
                px = idx < palette.size() ? palette[idx] : 0;
                break;
            }
            case 16: {
                const std::uint32_t v = src[x * 2] | static_cast<std::uint32_t>(src[x * 2 + 1])
                                                         << 8;
                px = channel(v, masks[0]) << 16 | channel(v, masks[1]) << 8 | channel(v, masks[2]);
                break;
            }
            case 24:
                px = src[x * 3] | static_cast<std::uint32_t>(src[x * 3 + 1]) << 8 |
                     static_cast<std::uint32_t>(src[x * 3 + 2]) << 16;
                break;
            case 32: {
                const std::uint32_t v = src[x * 4] |
                                        static_cast<std::uint32_t>(src[x * 4 + 1]) << 8 |
                                        static_cast<std::uint32_t>(src[x * 4 + 2]) << 16 |
                                        static_cast<std::uint32_t>(src[x * 4 + 3]) << 24;
                px = compression == 3 ? (channel(v, masks[0]) << 16 | channel(v, masks[1]) << 8 |
                                         channel(v, masks[2]))
                                      : (v & 0xFFFFFF);
                break;
            }
            default:
                break;
            }
            dst[x] = px;
        }
    }
    return img;
}

std::string encodeBitmap24(const Image& img) {
    const std::uint32_t stride = ((static_cast<std::uint32_t>(img.width) * 24 + 31) / 32) * 4;
    const std::uint32_t dataSize = stride * static_cast<std::uint32_t>(img.height);
    std::string out(54 + dataSize, '\0');
    auto put16 = [&](size_t at, std::uint32_t v) {
        out[at] = static_cast<char>(v & 0xFF);
        out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
    };
    auto put32 = [&](size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(img.width));
    put32(22, static_cast<std::uint32_t>(img.height));
    put16(26, 1);
    put16(28, 24);
    put32(34, dataSize);
    for (int y = 0; y < img.height; ++y) {
        size_t row = 54 + static_cast<size_t>(img.height - 1 - y) * stride;
        for (int x = 0; x < img.width; ++x) {
            std::uint32_t p = img.pixel(x, y);
            out[row + static_cast<size_t>(x) * 3] = static_cast<char>(p & 0xFF);
            out[row + static_cast<size_t>(x) * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            out[row + static_cast<size_t>(x) * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
    }
    return out;
}

Image loadPictureFile(const std::string& path) {
    std::string ext = fileExtension(path);
    std::string lower = ext;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "ico" || lower == "wmf" || lower == "emf") {
        throw AppError(msgNotBitmap());
    }
    if (lower != "bmp" && lower != "dib") {
        throw AppError(msgBadExtension(ext));
    }
    auto bytes = readFile(path, std::size_t{512} << 20);
    if (!bytes) {
        throw AppError(msgCannotOpen(path));
    }
    auto img = decodeBitmap(*bytes);
    if (!img) {
        throw AppError(msgCannotOpen(path));
    }
    return std::move(*img);
}

} // namespace platform
