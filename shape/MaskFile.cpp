#include "shape/MaskFile.h"

#include <cstdint>

namespace shape {
namespace {

void put32(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
    out.push_back(static_cast<char>((v >> 16) & 0xFF));
    out.push_back(static_cast<char>((v >> 24) & 0xFF));
}

std::uint32_t get32(std::string_view b, size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

void putRect(std::string& out, const Rect& r) {
    put32(out, static_cast<std::uint32_t>(r.left));
    put32(out, static_cast<std::uint32_t>(r.top));
    put32(out, static_cast<std::uint32_t>(r.right));
    put32(out, static_cast<std::uint32_t>(r.bottom));
}

constexpr size_t kHeaderSize = 32;
constexpr size_t kRectSize = 16;

} // namespace

std::string encodeRegionData(const Region& region) {
    const auto count = static_cast<std::uint32_t>(region.rects().size());
    std::string out;
    out.reserve(kHeaderSize + kRectSize * count);
    put32(out, kHeaderSize);
    put32(out, 1); // RDH_RECTANGLES
    put32(out, count);
    put32(out, count * kRectSize);
    putRect(out, region.bound());
    for (const Rect& r : region.rects()) {
        putRect(out, r);
    }
    return out;
}

std::string encodeMaskFile(const Region& region) {
    std::string data = encodeRegionData(region);
    std::string out;
    out.reserve(4 + data.size());
    put32(out, static_cast<std::uint32_t>(data.size()));
    out += data;
    return out;
}

std::optional<MaskData> decodeMask(std::string_view b) {
    if (b.size() < 4) {
        return std::nullopt;
    }
    const std::uint32_t n = get32(b, 0);
    MaskData out;
    if (n == 0) {
        out.consumed = 4;
        return out;
    }
    if (n > b.size() - 4 || n < kHeaderSize) {
        return std::nullopt;
    }
    const std::uint32_t dwSize = get32(b, 4);
    const std::uint32_t iType = get32(b, 8);
    const std::uint32_t nCount = get32(b, 12);
    const std::uint32_t nRgnSize = get32(b, 16);
    if (dwSize != kHeaderSize || iType != 1 || nCount > (n - kHeaderSize) / kRectSize ||
        nRgnSize != nCount * kRectSize || n != kHeaderSize + nCount * kRectSize) {
        return std::nullopt;
    }
    std::vector<Rect> rects;
    rects.reserve(nCount);
    for (std::uint32_t i = 0; i < nCount; ++i) {
        const size_t at = 4 + kHeaderSize + i * kRectSize;
        rects.push_back(Rect{static_cast<std::int32_t>(get32(b, at)),
                             static_cast<std::int32_t>(get32(b, at + 4)),
                             static_cast<std::int32_t>(get32(b, at + 8)),
                             static_cast<std::int32_t>(get32(b, at + 12))});
    }
    out.consumed = 4 + n;
    auto region = Region::fromRects(std::move(rects));
    if (!region) {
        out.kind = MaskData::Kind::Refused;
        return out;
    }
    out.kind = MaskData::Kind::Region;
    out.region = std::move(*region);
    return out;
}

} // namespace shape
