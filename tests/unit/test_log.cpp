#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "TempDir.h"
#include "balloon/LogStream.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/TextCodec.h"

using balloon::LogFile;
using platform::LocalTime;

namespace {

LocalTime at(int h, int m, int s) {
    LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 8;
    t.hour = h;
    t.minute = m;
    t.second = s;
    t.millisecond = 999;
    return t;
}

std::string numbered(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i) {
        s += "line " + std::to_string(i) + "\r\n";
    }
    return s;
}

ino_t inode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

} // namespace

TEST(LogLines, FormatsAreExactCp932Bytes) {
    TempDir dir;
    LogFile log;
    log.open(dir.file("piklog.txt"));
    log.writeLine(balloon::startLogLine(at(9, 5, 3)));
    log.writeLine(balloon::speechLogLine(at(0, 0, 0), "こんにちは")); // midnight: no time
    log.writeLine(balloon::speechLogLine(at(23, 59, 59), ""));
    log.writeLine(balloon::loggingStartedLine(at(0, 0, 1)));
    log.writeLine(balloon::stopLogLine(at(10, 0, 0)));
    log.close();
    EXPECT_EQ(dir.read("piklog.txt"),
              "2026/12/08 9:05:03\x20\x50\x50\x3a\x20\x82\xd2\x82\xb1\x82\xd5\x82\xe9\x8b\x4e"
              "\x93\xae\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x44\r\n"
              "2026/12/08 \x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\r\n"
              "2026/12/08 23:59:59 \r\n"
              "2026/12/08 0:00:01 PP Logging Started ***\r\n"
              "2026/12/08 10:00:00\x20\x50\x50\x3a\x20\x82\xd2\x82\xb1\x82\xd5\x82\xe9\x8f\x49"
              "\x97\xb9\x82\xb5\x82\xdc\x82\xb7\x81\x44\r\n");
}

TEST(LogFileHandle, AppendsAtTheEndAndKeepsOtherWritersOut) {
    TempDir dir;
    dir.write("piklog.txt", "old\n");
    LogFile log;
    log.open(dir.file("piklog.txt"));
    log.writeLine("new");
    EXPECT_EQ(dir.read("piklog.txt"), "old\nnew\r\n");

    // Readers share the file; a second writer is refused.
    EXPECT_EQ(dir.read("piklog.txt").size(), 9u);
    pid_t child = fork();
    if (child == 0) { // locks are per process: try from another one
        try {
            LogFile second;
            second.open(dir.file("piklog.txt"));
            _exit(0);
        } catch (const platform::AppError& e) {
            _exit(std::string(e.what()).find("は開けません") != std::string::npos ? 3 : 4);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    const bool refused = WIFEXITED(status) && WEXITSTATUS(status) == 3;
    EXPECT_TRUE(refused) << "child status " << status;
}

TEST(LogFileHandle, MissingDirectoryCannotBeCreated) {
    LogFile log;
    try {
        log.open("/nonexistent/dir/piklog.txt");
        FAIL() << "opened";
    } catch (const platform::AppError& e) {
        EXPECT_STREQ(e.what(), "ファイル /nonexistent/dir/piklog.txt を作成できません");
    }
    EXPECT_FALSE(log.isOpen());
}

TEST(LogTrim, CutsToTheLast1024LinesAtExit) {
    TempDir dir;
    core::settings().isLog = true;
    // 1500 lines plus the Stop line: the first 477 go.
    dir.write("piklog.txt", numbered(1, 1500));
    balloon::LogStream().open(dir.file("piklog.txt"));
    bool readerClosed = false;
    balloon::closeLogAtExit(at(12, 0, 0), [&] { readerClosed = true; });
    EXPECT_TRUE(readerClosed);
    EXPECT_FALSE(balloon::LogStream().isOpen());
    const std::string stop = balloon::stopLogLine(at(12, 0, 0));
    const std::string content = dir.read("piklog.txt");
    EXPECT_TRUE(content.starts_with("line 478\r\n"));
    EXPECT_TRUE(content.ends_with("line 1500\r\n" + platform::toCp932(stop) + "\r\n"));
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 1024);
    core::resetSettings();
}

TEST(LogTrim, ExactlyTheLimitIsLeftUntouched) {
    TempDir dir;
    core::settings().isLog = true;
    // 1023 lines, one with a lone LF and one with a lone CR, plus the Stop line: 1024 lines.
    const std::string original = numbered(1, 1021) + "lf only\n" + "cr only\r";
    dir.write("piklog.txt", original);
    const ino_t before = inode(dir.file("piklog.txt"));
    balloon::LogStream().open(dir.file("piklog.txt"));
    balloon::closeLogAtExit(at(12, 0, 0), {});
    const std::string content = dir.read("piklog.txt");
    EXPECT_TRUE(content.starts_with(original));
    EXPECT_EQ(inode(dir.file("piklog.txt")), before) << "the file was rewritten";

    // One line more and the first line goes; lone line ends become CR LF.
    balloon::LogStream().open(dir.file("piklog.txt"));
    balloon::closeLogAtExit(at(12, 0, 1), {});
    const std::string cut = dir.read("piklog.txt");
    EXPECT_TRUE(cut.starts_with("line 2\r\n"));
    EXPECT_NE(cut.find("lf only\r\ncr only\r\n"), std::string::npos);
    core::resetSettings();
}

TEST(LogTrim, SpeechIsWrittenOnlyWhileLoggingIsOnAndTheLogOpen) {
    TempDir dir;
    core::settings().isLog = true;
    balloon::logSpeech(at(1, 0, 0), "not open yet");
    balloon::LogStream().open(dir.file("piklog.txt"));
    balloon::logSpeech(at(1, 0, 0), "a");
    core::settings().isLog = false;
    balloon::logSpeech(at(1, 0, 0), "b");
    balloon::LogStream().close();
    EXPECT_EQ(dir.read("piklog.txt"), "2026/12/08 1:00:00 a\r\n");
    core::resetSettings();
}

TEST(LogTrim, StreamsAGiantLogAndKeepsAGiantLastLineWhole) {
    TempDir dir;
    // A 3 MB line among short ones, lines ended by CR LF, lone CR and lone LF.
    std::string giant(3 << 20, 'g');
    std::string log = numbered(1, 1100) + "lf\n" + "cr\r" + giant + "\r\n" + "tail";
    dir.write("piklog.txt", log);
    ASSERT_TRUE(balloon::trimLogFile(dir.file("piklog.txt"), 1024));
    const std::string cut = dir.read("piklog.txt");
    // 1100 + 4 lines: the first 80 go.
    EXPECT_TRUE(cut.starts_with("line 81\r\n"));
    EXPECT_TRUE(cut.ends_with("lf\r\ncr\r\n" + giant + "\r\ntail\r\n"));
    EXPECT_EQ(std::count(cut.begin(), cut.end(), '\n'), 1024);
    EXPECT_EQ(std::count(cut.begin(), cut.end(), '\r'), 1024);
}

TEST(LogTrim, ACrLfSplitAcrossReadChunksIsOneLineEnd) {
    TempDir dir;
    // The CR is the last byte of the first 64 KiB chunk, its LF the first of the next.
    std::string first(65535, 'a');
    std::string log = first + "\r\n" + numbered(1, 1024);
    dir.write("piklog.txt", log);
    ASSERT_TRUE(balloon::trimLogFile(dir.file("piklog.txt"), 1024));
    EXPECT_EQ(dir.read("piklog.txt"), numbered(1, 1024));
}

TEST(LogWindowTail, ShowsTheLastLinesCutAtCharacterBoundaries) {
    // From the file's start: every line counts.
    auto all = balloon::tailLines(numbered(1, 60), true, 50, 1024);
    ASSERT_EQ(all.size(), 50u);
    EXPECT_EQ(all.front(), "line 11");
    EXPECT_EQ(all.back(), "line 60");

    // Mid-file: the first, partial line is dropped.
    auto mid = balloon::tailLines("ne 7\r\nline 8\r\n", false, 50, 1024);
    ASSERT_EQ(mid.size(), 1u);
    EXPECT_EQ(mid[0], "line 8");

    // One giant line read from its middle: its end is shown, cut.
    auto giant = balloon::tailLines(std::string(5000, 'x'), false, 50, 1024);
    ASSERT_EQ(giant.size(), 1u);
    EXPECT_EQ(giant[0].size(), 1024u);

    // "あ" is two bytes in CP932: a cut never splits it.
    const std::string a = "\x82\xa0";
    auto wide = balloon::tailLines("x" + a + a, true, 50, 4);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0], "x" + a);
}

TEST(LogFileHandle, AShortWriteIsTakenBackSoLinesStayWhole) {
    TempDir dir;
    // A child with a file size limit stands in for a full disk: the write stops part-way.
    const std::string path = dir.file("piklog.txt");
    dir.write("piklog.txt", "2026/12/08 first\r\n");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{30, 30};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        LogFile log;
        log.open(path);
        log.writeLine("2026/12/08 this line does not fit");
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(dir.read("piklog.txt"), "2026/12/08 first\r\n");
    // With room again, the next line starts on a line of its own.
    LogFile log;
    log.open(path);
    log.writeLine("2026/12/08 next");
    log.close();
    EXPECT_EQ(dir.read("piklog.txt"), "2026/12/08 first\r\n2026/12/08 next\r\n");
}
