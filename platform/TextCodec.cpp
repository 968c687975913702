#include "platform/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

// One converter per direction and thread, opened once: opening costs far more than converting
// the short texts most callers pass. The handles are plain values so that they stay readable
// in exit handlers (the settings are saved from one), which run after the thread's objects
// have been destroyed; `gone` tells those late callers to open a converter of their own.
struct Cache {
    iconv_t toCp932 = kNone;
    iconv_t fromCp932 = kNone;
    bool gone = false;
};
thread_local Cache cache;

struct Closer {
    ~Closer() {
        for (iconv_t* cd : {&cache.toCp932, &cache.fromCp932}) {
            if (*cd != kNone) {
                iconv_close(*cd);
                *cd = kNone;
            }
        }
        cache.gone = true;
    }
};
thread_local Closer closer;

bool ascii(std::string_view in) {
    for (char c : in) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Converts with iconv, replacing each sequence it cannot take with "?" (one character of the
// input encoding: a UTF-8 sequence, or a CP932 pair when its trail byte is a valid one).
std::string convert(iconv_t cd, std::string_view in, bool fromUtf8) {
    if (cd == kNone) {
        return std::string(in); // no codec: hand the bytes through rather than lose them
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // a fresh shift state
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
    return out;
}

std::string convertCached(iconv_t Cache::*slot, const char* to, const char* from,
                          std::string_view in, bool fromUtf8) {
    // ASCII is the same in both encodings.
    if (ascii(in)) {
        return std::string(in);
    }
    if (cache.gone) {
        const iconv_t cd = iconv_open(to, from);
        std::string out = convert(cd, in, fromUtf8);
        if (cd != kNone) {
            iconv_close(cd);
        }
        return out;
    }
    (void)&closer; // closes the cached converters when the thread ends
    iconv_t& cd = cache.*slot;
    if (cd == kNone) {
        cd = iconv_open(to, from);
    }
    return convert(cd, in, fromUtf8);
}

} // namespace

std::string toCp932(std::string_view utf8) {
    return convertCached(&Cache::toCp932, "CP932", "UTF-8", utf8, true);
}

std::string fromCp932(std::string_view cp932) {
    return convertCached(&Cache::fromCp932, "UTF-8", "CP932", cp932, false);
}

} // namespace platform
