// The rich-text reader on arbitrary bytes: it must end, stay within its bounds (output and
// paragraph length), and give text that is valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "help/RtfReader.h"

namespace {

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80         ? 1
                         : (b >> 5) == 6  ? 2
                         : (b >> 4) == 14 ? 3
                         : (b >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size()) {
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    help::RtfLimits limits;
    limits.maxOutput = 64 * 1024;
    limits.maxDepth = 64;
    limits.maxParagraph = 256; // small, so that breaking paragraphs is exercised
    const help::RtfDocument doc =
        help::readRtf(std::string_view(reinterpret_cast<const char*>(data), size), limits);
    size_t total = 0;
    for (const help::RtfParagraph& p : doc.paragraphs) {
        total += 32;
        size_t paragraph = 0;
        for (const help::RtfRun& r : p.runs) {
            total += r.text.size();
            paragraph += r.text.size() + 32;
            if (!validUtf8(r.text) || r.halfPoints < 2 || r.halfPoints > 400) {
                std::abort();
            }
        }
        if (paragraph > limits.maxParagraph) {
            std::abort();
        }
    }
    if (total > 2 * limits.maxOutput) {
        std::abort();
    }
    return 0;
}
