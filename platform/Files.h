#pragma once
// File helpers. Every file the program reads is untrusted: reads are bounded, and files that
// hold the user's data are replaced atomically so a crash or a full disk never truncates them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool fileExists(const std::string& path);

// The whole file, or nullopt when it cannot be opened. At most `maxBytes` are read.
std::optional<std::string> readFile(const std::string& path,
                                    std::size_t maxBytes = std::size_t{256} << 20);

// Everything an open file descriptor holds, read from its start without moving its offset.
std::string readWhole(int fd);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. On any failure the old file is untouched and false is returned.
bool writeFileAtomic(const std::string& path, std::string_view bytes, unsigned mode);

// The file's permission bits, or `fallback` when it does not exist.
unsigned fileMode(const std::string& path, unsigned fallback);

std::string currentDirectory();

// dir + "/" + name; a name that is already absolute stays as it is.
std::string joinPath(const std::string& dir, const std::string& name);

// The extension after the last dot of the file name, without the dot ("" when there is none).
std::string fileExtension(const std::string& path);

} // namespace platform
