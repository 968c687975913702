#pragma once
#include <string_view>
#include <vector>

namespace platform {

// Splits text at CR LF, a lone CR or a lone LF; the line ends are not part of the lines, and a
// final line end does not start another line.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace platform
