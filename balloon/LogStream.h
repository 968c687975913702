#pragma once
// The dialogue log piklog.txt: the write handle LogStream, held open at the file's end from the
// moment logging starts until exit, and the line formats.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"

namespace balloon {

// Line texts without the CR LF that writing adds.
std::string speechLogLine(const platform::LocalTime& now, std::string_view line);
std::string startLogLine(const platform::LocalTime& now);
std::string loggingStartedLine(const platform::LocalTime& now);
std::string stopLogLine(const platform::LocalTime& now);

// Lines kept by the trim at exit.
constexpr size_t kLogKeepLines = 1024;

class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // Opens (or creates) the log for writing at its end, keeping other writers out. Throws
    // AppError ("ファイル %s は開けません" / "... を作成できません") when it cannot.
    void open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // Appends the line in CP932 and CR LF. Results are not examined.
    void writeLine(std::string_view utf8Line);

    int fd() const { return fd_; }

    void close();

private:
    int fd_ = -1;
    std::string path_;
};

// The process-wide LogStream; not open until logging starts.
LogFile& LogStream();

// Writes a speech line when logging is on and LogStream is open.
void logSpeech(const platform::LocalTime& now, std::string_view line);

// The exit step of the log: the Stop line, close LogStream (and, through `closeReader`, the log
// window's read handle), then cut the file to its last 1024 lines by an atomic replace. The file
// is streamed, never held in memory. Throws AppError when the cut file cannot be written; the old
// log is then intact.
void closeLogAtExit(const platform::LocalTime& now, const std::function<void()>& closeReader);

// Keeps the last `keep` lines of the file at `path` (lines split at CR LF, CR or LF), each ended
// by CR LF; files with no more lines are left untouched. Returns false when the replacement could
// not be written.
bool trimLogFile(const std::string& path, size_t keep);

// What the log window shows: the last `maxLines` lines of a file's final bytes `tail` (which start
// mid-line unless `fromFileStart`), each cut at `maxLineBytes` without splitting a CP932 character.
std::vector<std::string> tailLines(std::string_view tail, bool fromFileStart, size_t maxLines,
                                   size_t maxLineBytes);

// Bytes the log window reads from the end of the log, and the length a shown line is cut at.
constexpr size_t kLogTailBytes = 256 * 1024;
constexpr size_t kLogShownLineBytes = 1024;

} // namespace balloon
