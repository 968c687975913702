// The log window's reader on any end of a log: at most the lines asked for, the last ones, each
// a prefix of its line cut on a CP932 character, never holding a line end.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "balloon/LogStream.h"

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

bool isLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Lines split at CR LF, CR or LF; a final line end starts no further line.
std::vector<std::string_view> lines(std::string_view t) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' || t[i] == '\n') {
            out.push_back(t.substr(start, i - start));
            if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < t.size()) {
        out.push_back(t.substr(start));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const bool fromFileStart = (data[0] & 1) != 0;
    const size_t maxLines = data[1] % 64;
    const size_t maxLineBytes = data[2];
    const std::string_view tail(reinterpret_cast<const char*>(data) + 3, size - 3);
    const auto shown = balloon::tailLines(tail, fromFileStart, maxLines, maxLineBytes);

    const auto all = lines(tail);
    // Read from mid-file, the first line is partial: dropped unless it is the only one.
    const size_t first = !fromFileStart && all.size() > 1 ? 1 : 0;
    check(shown.size() == std::min(maxLines, all.size() - first));
    for (size_t k = 0; k < shown.size(); ++k) {
        const std::string_view line = all[all.size() - shown.size() + k];
        const std::string& s = shown[k];
        check(s.find_first_of("\r\n") == std::string::npos);
        check(line.substr(0, s.size()) == s);
        // Cut on a character boundary, as long as fits, never longer than asked (a lead byte
        // whose second byte is missing at the line's end counts as a character).
        size_t at = 0;
        while (at < s.size()) {
            at += isLead(static_cast<unsigned char>(s[at])) ? 2 : 1;
        }
        check(at == s.size() || (at == s.size() + 1 && s.size() == line.size()));
        check(at <= maxLineBytes);
        if (s.size() < line.size()) {
            const size_t next = isLead(static_cast<unsigned char>(line[s.size()])) ? 2 : 1;
            check(s.size() + next > maxLineBytes);
        }
    }
    return 0;
}
