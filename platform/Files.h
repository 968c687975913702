#pragma once
// File helpers. Every file the program reads is untrusted: reads are bounded, and files that
// hold the user's data are replaced atomically so a crash or a full disk never truncates them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool fileExists(const std::string& path);

// Opens `path` only when it is a regular file, close-on-exec; -1 (errno set) otherwise. A FIFO
// would block the open or the read for good and a device may never end, so anything that is not
// a regular file is refused like a file that cannot be opened. `flags` are open(2)'s access
// flags (O_RDONLY, O_RDWR | O_CREAT, ...).
int openRegularFile(const std::string& path, int flags, unsigned createMode = 0644);

// The whole file, or nullopt when it cannot be opened or is no regular file. At most `maxBytes`
// are read.
std::optional<std::string> readFile(const std::string& path,
                                    std::size_t maxBytes = std::size_t{256} << 20);

// The last `maxBytes` of an open file (fewer when it is smaller), without moving its offset;
// `fromStart` tells whether they begin at the file's start.
std::string readTail(int fd, std::size_t maxBytes, bool& fromStart);

// A replacement of a file, written to a temporary file beside it and renamed over it only when
// complete, so a crash or a full disk never leaves the file torn. When `path` is a symbolic link
// the link's target is replaced (in the target's folder) and the link stays.
class AtomicFile {
public:
    AtomicFile(const std::string& path, unsigned mode);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // removes the temporary file unless committed

    bool ok() const { return fd_ >= 0 && ok_; }
    void write(std::string_view bytes);
    // Flushes to disk and renames over the target. False (and the target untouched) on failure.
    bool commit();

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool ok_ = true;
};

// Writes `bytes` through an AtomicFile. On any failure the old file is untouched and false is
// returned.
bool writeFileAtomic(const std::string& path, std::string_view bytes, unsigned mode);

// The file a write to `path` really changes: the final target of a chain of symbolic links (at
// most 40), or `path` itself.
std::string resolveLinks(const std::string& path);

// Temporary files of atomic writes that a killed process left in `dir`; removes them and returns
// how many. Only names this program makes are touched.
int removeLeftoverTempFiles(const std::string& dir);
bool isLeftoverTempName(std::string_view name);

// The size of the file at `path`, 0 when it cannot be examined.
std::uint64_t fileSize(const std::string& path);

// Renames `path` to `aside` (replacing an older one). True when `path` is gone or never existed.
bool moveAside(const std::string& path, const std::string& aside);

// The file's permission bits, or `fallback` when it does not exist.
unsigned fileMode(const std::string& path, unsigned fallback);

std::string currentDirectory();

// dir + "/" + name; a name that is already absolute stays as it is.
std::string joinPath(const std::string& dir, const std::string& name);

// The extension after the last dot of the file name, without the dot ("" when there is none).
std::string fileExtension(const std::string& path);

} // namespace platform
