#include "balloon/LogStream.h"

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
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
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
    ::lseek(fd_, 0, SEEK_END);
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
}

std::vector<std::string> LogFile::readAllLines() const {
    std::vector<std::string> out;
    if (fd_ < 0) {
        return out;
    }
    const std::string data = platform::readWhole(fd_);
    for (std::string_view line : platform::splitLines(data)) {
        out.emplace_back(line);
    }
    return out;
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

bool trimLines(const std::string& path, const std::vector<std::string>& lines, size_t keep) {
    if (lines.size() <= keep) {
        return true;
    }
    std::string out;
    for (size_t i = lines.size() - keep; i < lines.size(); ++i) {
        out += lines[i];
        out += "\r\n";
    }
    return platform::writeFileAtomic(path, out, platform::fileMode(path, 0644));
}

void closeLogAtExit(const platform::LocalTime& now, const std::function<void()>& closeReader) {
    LogFile& log = LogStream();
    log.writeLine(stopLogLine(now));
    const std::vector<std::string> lines = log.readAllLines();
    const std::string path = log.path();
    log.close();
    if (closeReader) {
        closeReader();
    }
    if (!trimLines(path, lines, kLogKeepLines)) {
        throw platform::AppError(platform::msgCannotCreate(path));
    }
}

} // namespace balloon
