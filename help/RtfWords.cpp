#include "help/RtfWords.h"

#include <algorithm>
#include <iterator>

namespace help::rtf {

bool isLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string utf8(std::uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

bool isHiddenDestination(std::string_view w) {
    static const char* const kHidden[] = {
        "stylesheet",   "info",       "pict",      "object",    "header",
        "headerl",      "headerr",    "headerf",   "footer",    "footerl",
        "footerr",      "footerf",    "fldinst",   "themedata", "colorschememapping",
        "latentstyles", "datastore",  "xmlnstbl",  "listtable", "listoverridetable",
        "rsidtbl",      "generator",  "filetbl",   "revtbl",    "pgdsctbl",
        "footnote",     "annotation", "bkmkstart", "bkmkend",   "xe",
        "tc",           "nonshppict", "template",  "userprops", "docvar",
        "mmathPr",      "atnid",      "atnauthor", "fchars",    "lchars",
    };
    return std::any_of(std::begin(kHidden), std::end(kHidden),
                       [w](const char* h) { return w == h; });
}

bool isUnderlineWord(std::string_view w) {
    static const char* const kUnderlines[] = {
        "ul",         "uld",       "uldash",     "uldashd", "uldashdd", "uldb",
        "ulhwave",    "ulldash",   "ulth",       "ulthd",   "ulthdash", "ulthdashd",
        "ulthdashdd", "ulthldash", "ululdbwave", "ulw",     "ulwave",
    };
    return std::any_of(std::begin(kUnderlines), std::end(kUnderlines),
                       [w](const char* u) { return w == u; });
}

} // namespace help::rtf
