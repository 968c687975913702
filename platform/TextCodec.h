#pragma once
// Conversion between the program's UTF-8 text and the CP932 bytes of files and protocol lines.
#include <string>
#include <string_view>

namespace platform {

// UTF-8 → CP932. Characters CP932 cannot hold become "?"; never fails.
std::string toCp932(std::string_view utf8);

// CP932 → UTF-8. Bytes that are not valid CP932 become "?"; never fails.
std::string fromCp932(std::string_view cp932);

} // namespace platform
