// One instance per folder over a real local socket, and Qt's own texts in Japanese.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/DesktopLook.h"
#include "platform/SingleInstance.h"
#include "tests/unit/TempDir.h"

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

} // namespace

TEST(SingleInstance, LaterStartsAskTheFirstToComeBack) {
    TempDir dir;
    platform::SingleInstance first(dir.path());
    ASSERT_TRUE(first.isPrimary());
    int restores = 0;
    first.listen([&] { ++restores; });

    for (int i = 1; i <= 2; ++i) {
        platform::SingleInstance later(dir.path());
        EXPECT_FALSE(later.isPrimary());
        EXPECT_TRUE(later.askToRestore(2000));
        EXPECT_TRUE(waitFor([&] { return restores == i; })) << "start " << i;
    }
    // Another folder is another program.
    TempDir other;
    EXPECT_TRUE(platform::SingleInstance(other.path()).isPrimary());
}

TEST(SingleInstance, WhatAKilledProgramLeftIsNoObstacle) {
    TempDir dir;
    // A lock file nobody holds and a bound socket nobody listens on, as a kill leaves them.
    dir.write(".nagomi.lock", "");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = platform::instanceSocketPath(dir.path());
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    platform::SingleInstance next(dir.path());
    ASSERT_TRUE(next.isPrimary());
    bool restored = false;
    next.listen([&] { restored = true; });
    platform::SingleInstance later(dir.path());
    EXPECT_TRUE(later.askToRestore(2000));
    EXPECT_TRUE(waitFor([&] { return restored; }));
}

TEST(SingleInstance, NoAnswerWithinTheTimeIsReported) {
    TempDir dir;
    platform::SingleInstance first(dir.path()); // holds the lock but never listens
    platform::SingleInstance later(dir.path());
    EXPECT_FALSE(later.isPrimary());
    EXPECT_FALSE(later.askToRestore(300));
}

TEST(SingleInstance, LongFolderPathsGetASocketOutsideThem) {
    const std::string shortPath = platform::instanceSocketPath("/tmp");
    EXPECT_EQ(shortPath, "/tmp/.nagomi.sock");
    const std::string longDir = "/tmp/" + std::string(120, 'x');
    const std::string a = platform::instanceSocketPath(longDir);
    EXPECT_LT(a.size(), 100u);
    EXPECT_EQ(a, platform::instanceSocketPath(longDir)); // the same name for every start
    EXPECT_NE(a, platform::instanceSocketPath(longDir + "y"));
}

TEST(DesktopLook, QtDialogButtonsSpeakJapanese) {
    platform::installQtTranslations();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
              QStringLiteral("キャンセル"));
}
