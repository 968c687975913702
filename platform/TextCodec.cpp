#include "platform/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

// Converts with iconv, replacing each sequence it cannot take with "?". `skipBad` tells how many
// input bytes to step over for a rejected sequence.
std::string convert(const char* to, const char* from, std::string_view in, bool fromUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(in); // no codec: hand the bytes through rather than lose them
    }
    std::string out;
    out.reserve(in.size() + in.size() / 2 + 8);
    char buf[1024];
    char* inp = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    while (inLeft > 0) {
        char* outp = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        out.append(buf, static_cast<size_t>(outp - buf));
        if (r != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ or EINVAL (truncated sequence at the end): replace one character.
        size_t skip = 1;
        if (fromUtf8) {
            auto lead = static_cast<unsigned char>(*inp);
            skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            // Never step past the end, and stop at the next lead byte of a broken sequence.
            size_t n = 1;
            while (n < skip && n < inLeft && (static_cast<unsigned char>(inp[n]) & 0xC0) == 0x80) {
                ++n;
            }
            skip = n;
        } else {
            auto lead = static_cast<unsigned char>(*inp);
            bool dbcsLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
            if (dbcsLead && inLeft >= 2) {
                auto trail = static_cast<unsigned char>(inp[1]);
                if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)) {
                    skip = 2;
                }
            }
        }
        if (skip > inLeft) {
            skip = inLeft;
        }
        out.push_back('?');
        inp += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr); // reset shift state after the error
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string toCp932(std::string_view utf8) {
    return convert("CP932", "UTF-8", utf8, true);
}

std::string fromCp932(std::string_view cp932) {
    return convert("UTF-8", "CP932", cp932, false);
}

} // namespace platform
