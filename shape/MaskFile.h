#pragma once
// The mask file (".msk") and the Mask2 stream: a 4-byte little-endian byte count N, then N bytes
// of region data: a 32-byte header (dwSize 32, iType 1, nCount, nRgnSize = 16 * nCount, the
// bounding rectangle) and nCount rectangles (left, top, right, bottom; signed 32-bit).
#include <optional>
#include <string>
#include <string_view>

#include "platform/Region.h"

namespace shape {

// Regions are the ground floor's; the window shapes here are made of them.
using platform::Rect;
using platform::Region;
using platform::RegionBuilder;

// The region data block (without the leading N).
std::string encodeRegionData(const Region& region);

// The whole mask file: N, then the region data.
std::string encodeMaskFile(const Region& region);

// What a mask file or Mask2 stream holds.
struct MaskData {
    enum class Kind {
        Empty,   // N = 0: no mask
        Region,  // a region to apply
        Refused, // consistent data the region layer would not take: no region, still success
    };
    Kind kind = Kind::Empty;
    Region region;
    size_t consumed = 0; // bytes of the stream taken (4 + N)
};

// Parses a mask file or Mask2 stream. nullopt when the bytes are malformed: fewer bytes than N
// promises, or a header that contradicts itself. Never allocates beyond the bytes given.
std::optional<MaskData> decodeMask(std::string_view bytes);

} // namespace shape
