#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TempDir.h"
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
