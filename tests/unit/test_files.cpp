#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TempDir.h"
#include "balloon/LogStream.h"
#include "platform/AppError.h"
#include "platform/Autostart.h"
#include "platform/Bitmap.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

TEST(AtomicWrite, ThroughALinkReplacesTheTargetAndKeepsTheLink) {
    TempDir dir;
    fs::create_directory(dir.file("real"));
    dir.write("real/pikmain.ini", "old");
    fs::create_symlink("real/pikmain.ini", dir.file("pikmain.ini"));
    fs::create_symlink(dir.file("pikmain.ini"), dir.file("chain.ini")); // a link to the link

    ASSERT_TRUE(platform::writeFileAtomic(dir.file("chain.ini"), "new", 0600));
    EXPECT_TRUE(fs::is_symlink(dir.file("pikmain.ini")));
    EXPECT_TRUE(fs::is_symlink(dir.file("chain.ini")));
    EXPECT_EQ(dir.read("real/pikmain.ini"), "new");
    // The temporary file was made in the target's folder and is gone.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("real")), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);
}

TEST(AtomicWrite, ALinkToNothingYetCreatesItsTarget) {
    TempDir dir;
    fs::create_symlink("target.ini", dir.file("pikmain.ini"));
    ASSERT_TRUE(platform::writeFileAtomic(dir.file("pikmain.ini"), "x", 0600));
    EXPECT_TRUE(fs::is_symlink(dir.file("pikmain.ini")));
    EXPECT_EQ(dir.read("target.ini"), "x");
}

TEST(AtomicWrite, AnUnfinishedReplacementLeavesNothingBehind) {
    TempDir dir;
    dir.write("piklog.txt", "kept");
    {
        platform::AtomicFile f(dir.file("piklog.txt"), 0644);
        f.write("half");
    }
    EXPECT_EQ(dir.read("piklog.txt"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

TEST(LeftoverTempFiles, OnlyOurOwnNamesAreRemoved) {
    TempDir dir;
    const std::vector<std::string> ours = {
        "pikmain.ini.nagomi-a1B2c3", "piklog.txt.nagomi-ZZZZZZ", "pikprsn.bmp.msk.nagomi-0aB9zz",
        "pikmain.ini.Xy12ab",        "piklog.txt.q9W8e7",        "fukidasi.bmp.msk.AbCdEf"};
    const std::vector<std::string> theirs = {
        "pikmain.ini",         "pikmain.ini.unread",       "pikmain.ini.backup",
        "pikmain.ini.bak",     "notes.txt.Xy12ab",         "pikprsn.bmp.msk",
        "piklog.txt.nagomi-1", "piklog.txt.nagomi-ab$def", ".msk.AbCdEf"};
    for (const auto& n : ours) {
        dir.write(n, "t");
    }
    for (const auto& n : theirs) {
        dir.write(n, "u");
    }
    fs::create_directory(dir.file("dir.ini.nagomi-AbCdEf")); // not a file: stays
    EXPECT_EQ(platform::removeLeftoverTempFiles(dir.path()), static_cast<int>(ours.size()));
    for (const auto& n : ours) {
        EXPECT_FALSE(fs::exists(dir.file(n))) << n;
    }
    for (const auto& n : theirs) {
        EXPECT_TRUE(fs::exists(dir.file(n))) << n;
    }
    EXPECT_TRUE(fs::exists(dir.file("dir.ini.nagomi-AbCdEf")));
}

TEST(ReadTail, GivesTheLastBytesAndTellsWhereTheyStart) {
    TempDir dir;
    dir.write("f", "0123456789");
    const int fd = ::open(dir.file("f").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    bool fromStart = false;
    EXPECT_EQ(platform::readTail(fd, 4, fromStart), "6789");
    EXPECT_FALSE(fromStart);
    EXPECT_EQ(platform::readTail(fd, 100, fromStart), "0123456789");
    EXPECT_TRUE(fromStart);
    ::close(fd);
}

// A FIFO, a device or a folder under a data file's name: each reader refuses it at once, as a
// file it cannot open, instead of waiting for a writer or reading forever.
TEST(RegularFilesOnly, EveryReaderRefusesWhatIsNoRegularFile) {
    alarm(10); // a reader that blocks fails the test instead of hanging it
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("back.bmp").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(dir.file("piklog.txt").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.bmp"));
    fs::create_symlink(dir.file("back.bmp"), dir.file("link.bmp"));

    for (const std::string& path : {dir.file("back.bmp"), dir.file("link.bmp"),
                                    dir.file("folder.bmp"), std::string("/dev/zero")}) {
        EXPECT_FALSE(platform::readFile(path).has_value()) << path;
        EXPECT_EQ(platform::openRegularFile(path, O_RDONLY), -1) << path;
        EXPECT_EQ(platform::openRegularFile(path, O_RDWR | O_CREAT), -1) << path;
        EXPECT_THROW(platform::loadPictureFile(path), platform::AppError) << path;
    }
    balloon::LogFile log;
    try {
        log.open(dir.file("piklog.txt"));
        ADD_FAILURE() << "a FIFO was opened as the log";
    } catch (const platform::AppError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + dir.file("piklog.txt") + " は開けません");
    }
    EXPECT_FALSE(balloon::trimLogFile(dir.file("piklog.txt"), 1024));
    EXPECT_TRUE(fs::is_fifo(dir.file("piklog.txt")));
    alarm(0);
}

TEST(RegularFilesOnly, RegularFilesAndLinksToThemOpenAsBefore) {
    TempDir dir;
    dir.write("pikmain.ini", "Top=1\r\n");
    fs::create_symlink("pikmain.ini", dir.file("link.ini"));
    EXPECT_EQ(platform::readFile(dir.file("link.ini")), "Top=1\r\n");

    // Created when missing, and blocking as an ordinary descriptor is.
    const int fd = platform::openRegularFile(dir.file("piklog.txt"), O_RDWR | O_CREAT, 0640);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);
    EXPECT_EQ(fs::status(dir.file("piklog.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(platform::openRegularFile(dir.file("missing"), O_RDONLY), -1);
}

// The autostart entry: the installed one when the program is installed, else one of its own.
TEST(Autostart, EntryTextNamesTheLauncherWhenInstalledAndQuotesWhatItWrites) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("libexec/nagomi"));
    std::filesystem::create_directories(dir.file("share/applications"));
    dir.write("share/applications/nagomi.desktop", "[Desktop Entry]\nExec=\"/p/bin/nagomi\"\n");
    EXPECT_EQ(platform::autostartEntryText(dir.file("libexec/nagomi/nagomi"), "/home/u"),
              "[Desktop Entry]\nExec=\"/p/bin/nagomi\"\n");

    // A program in a build folder starts itself, in its folder; quoting keeps odd names whole.
    const std::string own = platform::autostartEntryText("/src/a \"b\" $c%/nagomi", "/data/x");
    EXPECT_NE(own.find("Exec=\"/src/a \\\"b\\\" \\$c%%/nagomi\"\n"), std::string::npos);
    EXPECT_NE(own.find("Path=/data/x\n"), std::string::npos);
    EXPECT_EQ(platform::autostartEntryText("/bin/nagomi", "/a\nExec=evil").find("evil"),
              std::string::npos)
        << "a folder name with a line break cannot add a line";

    // No absolute XDG_CONFIG_HOME: HOME's .config; no HOME either: nowhere, and a clear refusal.
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(platform::autostartEntryPath(), dir.path() + "/.config/autostart/nagomi.desktop");
    ::unsetenv("HOME");
    EXPECT_EQ(platform::autostartEntryPath(), "");
    EXPECT_FALSE(platform::setAutostart(true).empty());
    ::unsetenv("XDG_CONFIG_HOME");
    if (home) {
        ::setenv("HOME", savedHome.c_str(), 1);
    }
}
