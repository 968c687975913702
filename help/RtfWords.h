#pragma once
// The byte and word tables the rich-text reader classifies its input with.
#include <cstdint>
#include <string>
#include <string_view>

namespace help::rtf {

// Shift_JIS lead and trail bytes of a double-byte character.
bool isLead(unsigned char b);
bool isTrail(unsigned char b);
bool isAlpha(char c);
bool isDigit(char c);
// The value of a hexadecimal digit, or -1.
int hexValue(char c);
// A code point as UTF-8.
std::string utf8(std::uint32_t cp);

// Destinations whose content is never shown, even without the "\*" mark.
bool isHiddenDestination(std::string_view w);
// The control words that start some kind of underline.
bool isUnderlineWord(std::string_view w);

} // namespace help::rtf
