#include "shape/extMaskgenerator.h"

#include "platform/Files.h"
#include "shape/MaskFile.h"

namespace shape {

Region maskRegion(const platform::Image& picture, std::uint32_t transparent,
                  const std::function<void()>& eachRow) {
    RegionBuilder builder;
    const int w = picture.width;
    if (w <= 0 || picture.height <= 0) {
        return builder.take();
    }
    const std::uint32_t key = transparent & 0xFFFFFF;
    for (int y = 0; y < picture.height; ++y) {
        if (eachRow) {
            eachRow();
        }
        builder.beginBand(y, y + 1);
        const std::uint32_t* row = picture.pixels.data() + static_cast<size_t>(y) * w;
        // Runs of opaque pixels from column 1 on; each transparent pixel ends one. Runs never
        // touch, since a transparent column lies between any two.
        int start = 0;
        for (;;) {
            int x = start + 1;
            while (x < w && row[x] != key) {
                ++x;
            }
            const int end = x >= w ? w + 1 : x;
            if (end > start + 1) {
                builder.addSpan(start + 1, end);
            }
            if (end >= w - 1) {
                break;
            }
            start = end;
        }
        builder.endBand();
    }
    return builder.take();
}

bool GenerateMask(const platform::Image& picture, std::uint32_t transparent,
                  const std::string& maskFile, const std::function<void()>& eachRow) {
    if (picture.empty()) {
        return true;
    }
    const Region region = maskRegion(picture, transparent, eachRow);
    return platform::writeFileAtomic(maskFile, encodeMaskFile(region), 0644);
}

} // namespace shape
