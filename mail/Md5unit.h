#pragma once
// The MD5 message digest (RFC 1321), for the APOP log-in.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mail {

std::array<std::uint8_t, 16> md5(std::string_view data);
// The digest as 32 lower-case hexadecimal digits.
std::string md5Hex(std::string_view data);

} // namespace mail
