#include "platform/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

// One converter per direction and thread, opened once: opening costs far more than converting
// the short texts most callers pass.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

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
std::string convert(const Converter& converter, std::string_view in, bool fromUtf8) {
    // ASCII is the same in both encodings.
    if (ascii(in)) {
        return std::string(in);
    }
    if (!converter.ok()) {
        return std::string(in); // no codec: hand the bytes through rather than lose them
    }
    iconv_t cd = converter.get();
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

} // namespace

std::string toCp932(std::string_view utf8) {
    thread_local const Converter converter("CP932", "UTF-8");
    return convert(converter, utf8, true);
}

std::string fromCp932(std::string_view cp932) {
    thread_local const Converter converter("UTF-8", "CP932");
    return convert(converter, cp932, false);
}

} // namespace platform
