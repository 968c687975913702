// One instance per folder over a real local socket, and Qt's own texts in Japanese.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

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

// Lets the events that are due now run: connections just closed free their slots.
void settle() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 200) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Sets (or, with nullptr, unsets) an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Runs as another user (by effective id) for its lifetime; only root can.
class AsNobody {
public:
    AsNobody() { ok_ = ::seteuid(kNobody) == 0; }
    ~AsNobody() {
        if (ok_) {
            [[maybe_unused]] const int back = ::seteuid(0);
        }
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;
    bool ok() const { return ok_; }
    static constexpr uid_t kNobody = 65534;

private:
    bool ok_ = false;
};

sockaddr_un socketAddress(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    return addr;
}

// A client that connects and then says nothing: -1 when it cannot connect.
int silentClient(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const sockaddr_un addr = socketAddress(path);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the other end has closed the connection.
bool closedByServer(int fd) {
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

int countClosed(const std::vector<int>& fds) {
    int n = 0;
    for (int fd : fds) {
        n += closedByServer(fd) ? 1 : 0;
    }
    return n;
}

void closeAll(std::vector<int>& fds) {
    for (int fd : fds) {
        ::close(fd);
    }
    fds.clear();
}

// A folder whose path is too long for a socket address inside it.
std::string makeLongFolder(const TempDir& base) {
    const std::string dir = base.file(std::string(120, 'x'));
    std::filesystem::create_directory(dir);
    return dir;
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
    TempDir tmp;
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
    const std::string shortPath = platform::instanceSocketPath("/tmp");
    EXPECT_EQ(shortPath, "/tmp/.nagomi.sock");
    const std::string longDir = "/tmp/" + std::string(120, 'x');
    const std::string a = platform::instanceSocketPath(longDir);
    EXPECT_LT(a.size(), 100u);
    EXPECT_EQ(a, platform::instanceSocketPath(longDir)); // the same name for every start
    EXPECT_NE(a, platform::instanceSocketPath(longDir + "y"));
}

// The name outside the folder is one anyone can compute; it must lie where only she can create
// it, or not be used at all.
TEST(SingleInstance, TheSocketOutsideTheFolderLiesWhereOnlyTheUserCanEnter) {
    TempDir base;
    const std::string longDir = makeLongFolder(base);
    TempDir tmp;
    TempDir runtime;
    ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
    const std::string ours = tmp.file("nagomi-" + std::to_string(::getuid()));
    const auto in = [](const std::string& path, const std::string& folder) {
        return path.rfind(folder + "/", 0) == 0;
    };
    {
        // The session's own folder first.
        ::chmod(runtime.path().c_str(), 0700);
        ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().c_str());
        EXPECT_TRUE(in(platform::instanceSocketPath(longDir), runtime.path()));
        // One that others may enter is passed over for a folder of her own, made private.
        ::chmod(runtime.path().c_str(), 0755);
        const std::string path = platform::instanceSocketPath(longDir);
        EXPECT_TRUE(in(path, ours)) << path;
        struct stat st {};
        ASSERT_EQ(::lstat(ours.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u);
    }
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    const auto refused = [&](const char* what) {
        std::string why;
        EXPECT_EQ(platform::instanceSocketPath(longDir, &why), "") << what;
        EXPECT_NE(why.find(ours), std::string::npos) << why;
    };
    // Made first by someone else, or left open: not hers. Simulated by a link and by its mode,
    // and as root also by its owner.
    std::filesystem::remove(ours);
    ::chmod(runtime.path().c_str(), 0700);
    std::filesystem::create_directory_symlink(runtime.path(), ours);
    refused("a link to a private folder");
    std::filesystem::remove(ours);
    std::filesystem::create_directory(ours);
    if (::getuid() == 0) {
        ::chmod(ours.c_str(), 0700);
        ASSERT_EQ(::chown(ours.c_str(), AsNobody::kNobody, AsNobody::kNobody), 0);
        refused("another user's folder");
        ASSERT_EQ(::chown(ours.c_str(), 0, 0), 0);
    }
    ::chmod(ours.c_str(), 0755);
    refused("a folder open to others");

    // Without a private place each start runs on its own, as when no lock can be made, and
    // nothing is put into the folder that is not hers.
    platform::SingleInstance first(longDir);
    EXPECT_TRUE(first.isPrimary());
    first.listen([] {});
    EXPECT_TRUE(platform::SingleInstance(longDir).isPrimary());
    EXPECT_TRUE(std::filesystem::is_empty(ours));
}

// A socket that belongs to another user is neither asked nor heard, even where its file can be
// reached: the kernel tells who is at the other end.
TEST(SingleInstance, AnotherUsersEndIsNeitherAskedNorHeard) {
    if (::getuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    const std::string path = platform::instanceSocketPath(dir.path());
    {
        // A stranger listens where she would, while the lock is held but nobody of hers listens.
        platform::SingleInstance holder(dir.path());
        int stranger = -1;
        {
            AsNobody nobody;
            ASSERT_TRUE(nobody.ok());
            stranger = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            const sockaddr_un addr = socketAddress(path);
            ASSERT_EQ(::bind(stranger, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
            ASSERT_EQ(::listen(stranger, 8), 0);
        }
        platform::SingleInstance later(dir.path());
        ASSERT_FALSE(later.isPrimary());
        EXPECT_FALSE(later.askToRestore(500)) << "a stranger's socket counted as hers";
        // The stranger heard nothing.
        if (const int conn = ::accept4(stranger, nullptr, nullptr, SOCK_NONBLOCK); conn >= 0) {
            char buf[16];
            EXPECT_LE(::recv(conn, buf, sizeof buf, MSG_DONTWAIT), 0);
            ::close(conn);
        }
        ::close(stranger);
        ::unlink(path.c_str());
    }

    platform::SingleInstance first(dir.path());
    int restores = 0;
    first.listen([&] { ++restores; });
    ::chmod(path.c_str(), 0666);
    int fd = -1;
    {
        AsNobody nobody;
        ASSERT_TRUE(nobody.ok());
        fd = silentClient(path);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ASSERT_EQ(::send(fd, "restore\n", 8, MSG_NOSIGNAL), 8);
    }
    EXPECT_TRUE(waitFor([&] { return closedByServer(fd); })) << "a stranger's connection stayed";
    ::close(fd);
    EXPECT_EQ(restores, 0) << "a stranger brought her back";
    platform::SingleInstance later(dir.path());
    EXPECT_TRUE(later.askToRestore(2000));
    EXPECT_TRUE(waitFor([&] { return restores == 1; }));
}

// Idle connections must not use up her descriptors: each has a deadline, and only a few are
// kept at once; a later start still brings her back.
TEST(SingleInstance, SilentConnectionsAreClosed) {
    TempDir dir;
    const std::string path = platform::instanceSocketPath(dir.path());
    int restores = 0;
    {
        platform::SingleInstance first(dir.path());
        first.listen([&] { ++restores; }, {.deadlineMs = 100, .maxPeers = 16, .relistenMs = 1000});
        std::vector<int> idle;
        for (int i = 0; i < 100; ++i) {
            // A full backlog refuses for a moment; she accepts while events run.
            int fd = silentClient(path);
            for (int tries = 0; fd < 0 && errno == EAGAIN && tries < 500; ++tries) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                fd = silentClient(path);
            }
            ASSERT_GE(fd, 0) << "connection " << i << ": " << std::strerror(errno);
            if (i % 10 == 0) {
                ::send(fd, "res", 3, MSG_NOSIGNAL); // a request that never ends
            }
            idle.push_back(fd);
        }
        EXPECT_TRUE(waitFor([&] { return countClosed(idle) == 100; }))
            << countClosed(idle) << " of 100 idle connections closed";
        settle();
        platform::SingleInstance later(dir.path());
        EXPECT_TRUE(later.askToRestore(2000));
        EXPECT_TRUE(waitFor([&] { return restores == 1; }));
        closeAll(idle);
    }
    {
        // Beyond the cap a connection is closed at once; a slot its client gives up is free.
        platform::SingleInstance first(dir.path());
        first.listen([&] { ++restores; }, {.deadlineMs = 60000, .maxPeers = 4, .relistenMs = 1000});
        std::vector<int> idle;
        for (int i = 0; i < 10; ++i) {
            idle.push_back(silentClient(path));
            ASSERT_GE(idle.back(), 0);
        }
        EXPECT_TRUE(waitFor([&] { return countClosed(idle) == 6; }));
        settle();
        EXPECT_EQ(countClosed(idle), 6) << "connections within the cap were closed";
        closeAll(idle);
        settle();
        platform::SingleInstance later(dir.path());
        EXPECT_TRUE(later.askToRestore(2000));
        EXPECT_TRUE(waitFor([&] { return restores == 2; }));
    }
}

// At the descriptor limit accept fails and the listening socket is gone with its file; once
// descriptors are free again she listens anew, and a later start brings her back.
TEST(SingleInstance, ALostListeningSocketIsMadeAnew) {
    TempDir dir;
    const std::string path = platform::instanceSocketPath(dir.path());
    platform::SingleInstance first(dir.path());
    int restores = 0;
    first.listen([&] { ++restores; },
                 {.deadlineMs = 2000, .maxPeers = 16, .relistenMs = 50, .idleCheckMs = 50});
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // A limit that leaves exactly 8 descriptors free (the lowest free ones are handed out).
    std::vector<int> open;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        open.push_back(std::stoi(e.path().filename().string()));
    }
    int limit = 0;
    while (limit - std::count_if(open.begin(), open.end(), [&](int fd) { return fd < limit; }) <
           8) {
        ++limit;
    }
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(limit);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    // Connections waiting to be accepted, until no descriptor is left for the accept.
    std::vector<int> waiting;
    while (waiting.size() < 30) {
        const int fd = silentClient(path);
        if (fd < 0) {
            break;
        }
        waiting.push_back(fd);
    }
    const int err = errno;
    // Qt closes the listening socket when accept fails, which resets what waited on it.
    const bool lost = err == EMFILE && waitFor([&] {
                          return countClosed(waiting) == static_cast<int>(waiting.size());
                      });
    closeAll(waiting);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(lost) << "the descriptor limit was not reached: " << std::strerror(err);

    std::error_code ec;
    EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(path, ec); }))
        << "the socket was not made anew";
    platform::SingleInstance later(dir.path());
    EXPECT_TRUE(later.askToRestore(2000));
    EXPECT_TRUE(waitFor([&] { return restores == 1; }));
}

TEST(DesktopLook, QtDialogButtonsSpeakJapanese) {
    platform::installQtTranslations();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
              QStringLiteral("キャンセル"));
}
