#include "balloon/LogStream.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Files.h"
#include "platform/Lines.h"
#include "platform/Locale.h"
#include "platform/TextCodec.h"

namespace balloon {

std::string speechLogLine(const platform::LocalTime& now, std::string_view line) {
    return platform::dateTimeText(now) + " " + std::string(line);
}
std::string startLogLine(const platform::LocalTime& now) {
    return platform::dateTimeText(now) + " PP: ぴこぷる起動しました．";
}
std::string loggingStartedLine(const platform::LocalTime& now) {
    return platform::dateTimeText(now) + " PP Logging Started ***";
}
std::string stopLogLine(const platform::LocalTime& now) {
    return platform::dateTimeText(now) + " PP: ぴこぷる終了します．";
}

LogFile::~LogFile() {
    close();
}

void LogFile::open(const std::string& path) {
    close();
    const bool existed = platform::fileExists(path);
    int fd = platform::openRegularFile(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0) {
        throw platform::AppError(existed ? platform::msgCannotOpen(path)
                                         : platform::msgCannotCreate(path));
    }
    // Readers may share the file; a second writer (another instance) may not. The lock belongs
    // to this open file, so reading the log through another handle cannot drop it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw platform::AppError(platform::msgCannotOpen(path));
    }
    ::lseek(fd, 0, SEEK_END);
    fd_ = fd;
    path_ = path;
}

void LogFile::writeLine(std::string_view utf8Line) {
    if (fd_ < 0) {
        return;
    }
    std::string bytes = platform::toCp932(utf8Line);
    bytes += "\r\n";
    const off_t before = ::lseek(fd_, 0, SEEK_END);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    // A torn line (a full disk) is taken back, so the next line does not glue onto it.
    if (left > 0 && before >= 0 && ::ftruncate(fd_, before) == 0) {
        ::lseek(fd_, before, SEEK_SET);
    }
}

void LogFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

LogFile& LogStream() {
    static LogFile log;
    return log;
}

void logSpeech(const platform::LocalTime& now, std::string_view line) {
    if (core::settings().isLog && LogStream().isOpen()) {
        LogStream().writeLine(speechLogLine(now, line));
    }
}

namespace {

// Reads the file behind `fd` from `from` to its end in chunks, without moving its offset.
template <typename Sink> bool streamFrom(int fd, off_t from, Sink&& sink) {
    char buf[65536];
    off_t at = from;
    for (;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        sink(std::string_view(buf, static_cast<size_t>(n)), at);
        at += n;
    }
}

// Writes into `out` the last `keep` lines of the file behind `fd`, each ended by CR LF. Returns
// false when there is nothing to cut (or the file cannot be read): `out` is then left unused.
bool cutToLastLines(int fd, size_t keep, platform::AtomicFile& out) {
    if (keep == 0) {
        return false;
    }
    // One pass keeps the start offsets of the last `keep` lines in a ring.
    std::vector<off_t> starts(keep);
    size_t count = 0;
    bool atLineStart = true;
    bool afterCr = false;
    const bool read = streamFrom(fd, 0, [&](std::string_view chunk, off_t base) {
        for (size_t i = 0; i < chunk.size(); ++i) {
            const char c = chunk[i];
            if (afterCr && c == '\n') {
                afterCr = false;
                continue;
            }
            afterCr = false;
            if (atLineStart) {
                starts[count % keep] = base + static_cast<off_t>(i);
                ++count;
                atLineStart = false;
            }
            if (c == '\r' || c == '\n') {
                atLineStart = true;
                afterCr = c == '\r';
            }
        }
    });
    if (!read || count <= keep) {
        return false;
    }
    std::string buf;
    bool lineOpen = false;
    afterCr = false;
    const bool copied = streamFrom(fd, starts[count % keep], [&](std::string_view chunk, off_t) {
        buf.clear();
        for (char c : chunk) {
            if (afterCr && c == '\n') {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\r' || c == '\n') {
                buf += "\r\n";
                lineOpen = false;
            } else {
                buf += c;
                lineOpen = true;
            }
        }
        out.write(buf);
    });
    if (lineOpen) {
        out.write("\r\n");
    }
    return copied;
}

// Length of the longest prefix of `line` of at most `max` bytes that ends on a CP932 character.
size_t cp932Cut(std::string_view line, size_t max) {
    size_t i = 0;
    while (i < line.size()) {
        const auto b = static_cast<unsigned char>(line[i]);
        const size_t len = ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
        if (i + len > max) {
            break;
        }
        i += len;
    }
    return std::min(i, line.size());
}

} // namespace

bool trimLogFile(const std::string& path, size_t keep) {
    const int fd = platform::openRegularFile(path, O_RDONLY);
    if (fd < 0) {
        return false;
    }
    platform::AtomicFile out(path, platform::fileMode(path, 0644));
    const bool cut = cutToLastLines(fd, keep, out);
    ::close(fd);
    return !cut || out.commit();
}

std::vector<std::string> tailLines(std::string_view tail, bool fromFileStart, size_t maxLines,
                                   size_t maxLineBytes) {
    auto lines = platform::splitLines(tail);
    size_t first = 0;
    // The first line began before the bytes read: drop it unless it is all there is.
    if (!fromFileStart && lines.size() > 1) {
        first = 1;
    }
    if (lines.size() - first > maxLines) {
        first = lines.size() - maxLines;
    }
    std::vector<std::string> out;
    for (size_t i = first; i < lines.size(); ++i) {
        out.emplace_back(lines[i].substr(0, cp932Cut(lines[i], maxLineBytes)));
    }
    return out;
}

void closeLogAtExit(const platform::LocalTime& now, const std::function<void()>& closeReader) {
    LogFile& log = LogStream();
    log.writeLine(stopLogLine(now));
    const std::string path = log.path();
    platform::AtomicFile out(path, platform::fileMode(path, 0644));
    const bool cut = cutToLastLines(log.fd(), kLogKeepLines, out);
    log.close();
    if (closeReader) {
        closeReader();
    }
    if (cut && !out.commit()) {
        throw platform::AppError(platform::msgCannotCreate(path));
    }
}

} // namespace balloon
