// The settings reader on arbitrary file bytes; what it reads must write and read back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    core::Settings s;
    core::readSettings(std::string_view(reinterpret_cast<const char*>(data), size), s);
    const std::string written = core::writeSettings(s);
    core::Settings again;
    if (!core::readSettings(written, again).empty() || core::writeSettings(again) != written) {
        std::abort();
    }
    return 0;
}
