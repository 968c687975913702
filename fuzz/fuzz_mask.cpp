// The mask file reader: malformed files are refused, accepted ones hold a normal-form region
// that encodes back to a file the reader takes again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shape/MaskFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    auto m = shape::decodeMask(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!m || m->kind != shape::MaskData::Kind::Region) {
        return 0;
    }
    if (m->consumed > size || !shape::Region::fromNormalRects(m->region.rects())) {
        std::abort();
    }
    auto again = shape::decodeMask(shape::encodeMaskFile(m->region));
    if (!again || !(again->region == m->region)) {
        std::abort();
    }
    return 0;
}
