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

    // Every line of the file, split at CR LF, CR or LF (raw CP932 bytes).
    std::vector<std::string> readAllLines() const;

    void close();

private:
    int fd_ = -1;
    std::string path_;
};

// The process-wide LogStream; not open until logging starts.
LogFile& LogStream();

// Writes a speech line when logging is on and LogStream is open.
void logSpeech(const platform::LocalTime& now, std::string_view line);

// The exit step of the log: the Stop line, read the file, close LogStream (and, through
// `closeReader`, the log window's read handle), then cut the file to its last 1024 lines by an
// atomic replace. Throws AppError when the cut file cannot be written; the old log is then intact.
void closeLogAtExit(const platform::LocalTime& now, const std::function<void()>& closeReader);

// Keeps the last `keep` lines of the file at `path`, each ended by CR LF; files with no more
// lines are left untouched. Returns false when the replacement could not be written.
bool trimLines(const std::string& path, const std::vector<std::string>& lines, size_t keep);

} // namespace balloon
