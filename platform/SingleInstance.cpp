#include "platform/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/Files.h"

namespace platform {
namespace {

constexpr const char* kLockName = ".nagomi.lock";
constexpr const char* kSocketName = ".nagomi.sock";
constexpr QByteArrayView kRestore = "restore\n";

std::string realDir(const std::string& dir) {
    char buf[PATH_MAX];
    return ::realpath(dir.c_str(), buf) ? std::string(buf) : dir;
}

bool fitsSocketAddress(const std::string& path) {
    return path.size() < sizeof(sockaddr_un{}.sun_path);
}

// A folder no other user can enter or change: a real folder (no link) of ours, closed to group
// and others. `exactMode` also asks for 0700 itself, for a folder we make in a shared place.
bool isPrivateFolder(const std::string& path, bool exactMode, std::string* why) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *why = path + " is not a folder";
        return false;
    }
    if (st.st_uid != ::getuid()) {
        *why = path + " belongs to another user";
        return false;
    }
    const bool closed = exactMode ? (st.st_mode & 07777) == 0700 : (st.st_mode & 077) == 0;
    if (!closed) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        *why = path + " is open to others (mode " + mode + ")";
        return false;
    }
    return true;
}

// The per-user session folder, when it is set and really private.
std::string runtimeFolder() {
    const char* env = std::getenv("XDG_RUNTIME_DIR");
    std::string ignored;
    if (env == nullptr || env[0] != '/' || !isPrivateFolder(env, false, &ignored)) {
        return {};
    }
    return env;
}

// "nagomi-<uid>" in the temporary folder, made when missing. In a shared sticky folder anyone
// may make that name first, so what is found there is checked, never trusted.
std::string tempFolder(std::string* why) {
    const std::string path =
        joinPath(QDir::tempPath().toStdString(), "nagomi-" + std::to_string(::getuid()));
    if (::mkdir(path.c_str(), 0700) == 0) {
        ::chmod(path.c_str(), 0700); // whatever the umask took away
    } else if (errno != EEXIST) {
        *why = path + ": " + std::strerror(errno);
        return {};
    }
    return isPrivateFolder(path, true, why) ? path : std::string();
}

// Whether the process at the other end of a connected local socket runs as this user. The
// kernel's word, not the file's: a socket file can be made by anyone who may write the folder.
bool peerIsUs(qintptr fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) {
        return false;
    }
    return cred.uid == ::getuid();
}

} // namespace

std::string instanceSocketPath(const std::string& dir, std::string* whyNone) {
    const std::string real = realDir(dir);
    const std::string inside = joinPath(real, kSocketName);
    if (fitsSocketAddress(inside)) {
        return inside;
    }
    std::uint64_t h = 1469598103934665603ull; // FNV-1a: the same name in every build
    for (unsigned char c : real) {
        h = (h ^ c) * 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "nagomi-%016llx.sock", static_cast<unsigned long long>(h));
    std::string runtime = runtimeFolder();
    if (!runtime.empty() && fitsSocketAddress(joinPath(runtime, name))) {
        return joinPath(runtime, name);
    }
    std::string why;
    const std::string temp = tempFolder(&why);
    if (!temp.empty() && !fitsSocketAddress(joinPath(temp, name))) {
        why = temp + " is too long for a socket address";
    } else if (!temp.empty()) {
        return joinPath(temp, name);
    }
    if (whyNone) {
        *whyNone = why;
    }
    return {};
}

SingleInstance::SingleInstance(const std::string& dir) {
    std::string why;
    socketPath_ = instanceSocketPath(dir, &why);
    if (socketPath_.empty()) {
        // Without a socket no later start could reach this one; it is better that each start
        // runs than that a later one waits for an answer that never comes.
        std::fprintf(stderr,
                     "なごみ: no private place for the socket of this folder (%s); a second start "
                     "cannot be told apart\n",
                     why.c_str());
        return;
    }
    const std::string lockPath = joinPath(dir, kLockName);
    // Close-on-exec: a browser started from the help panel must not keep the folder locked.
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
        std::fprintf(stderr, "なごみ: %s: %s; a second start cannot be told apart\n",
                     lockPath.c_str(), std::strerror(errno));
        return;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        primary_ = errno != EWOULDBLOCK;
        ::close(lockFd_);
        lockFd_ = -1;
    }
}

SingleInstance::~SingleInstance() {
    delete server_; // removes the socket file
    if (lockFd_ >= 0) {
        ::close(lockFd_);
    }
}

void SingleInstance::listen(std::function<void()> restore, InstanceLimits limits) {
    if (!primary_ || lockFd_ < 0) {
        return;
    }
    restore_ = std::move(restore);
    limits_ = limits;
    server_ = new QLocalServer;
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(server_, &QLocalServer::newConnection, server_, [this] { acceptPending(); });
    listenNow();
    // When accept fails (at the descriptor limit, say), Qt closes the listening socket and
    // removes its file without a signal; without a new one no later start could bring her back.
    // It is looked for often only while connections are open (or it is lost), and now and then
    // otherwise: an idle program is not woken every second for it.
    watch_ = new QTimer(server_);
    QObject::connect(watch_, &QTimer::timeout, server_, [this] {
        if (!server_->isListening() || server_->socketDescriptor() < 0) {
            if (!lost_) {
                std::fprintf(stderr, "なごみ: the socket %s was lost; making it anew\n",
                             socketPath_.c_str());
            }
            lost_ = true;
            listenNow();
        }
        watchClosely();
    });
    watchClosely();
}

void SingleInstance::watchClosely() {
    const int interval = openPeers_ > 0 || lost_ ? limits_.relistenMs : limits_.idleCheckMs;
    if (!watch_->isActive() || watch_->interval() != interval) {
        watch_->start(interval);
    }
}

void SingleInstance::listenNow() {
    server_->close();
    // Holding the lock, any socket file left is a killed program's, or the lost one's.
    QLocalServer::removeServer(QString::fromStdString(socketPath_));
    if (server_->listen(QString::fromStdString(socketPath_))) {
        if (lost_) {
            std::fprintf(stderr, "なごみ: listening on %s again\n", socketPath_.c_str());
        }
        lost_ = false;
    } else if (!lost_) {
        std::fprintf(stderr, "なごみ: cannot listen on %s: %s\n", socketPath_.c_str(),
                     server_->errorString().toLocal8Bit().constData());
        lost_ = true; // tried again by the watch, quietly
    }
}

void SingleInstance::acceptPending() {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        if (openPeers_ >= limits_.maxPeers || !peerIsUs(peer->socketDescriptor())) {
            peer->abort();
            peer->deleteLater();
            continue;
        }
        ++openPeers_;
        QObject::connect(peer, &QObject::destroyed, server_, [this] {
            --openPeers_;
            watchClosely();
        });
        watchClosely();
        QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        QTimer::singleShot(limits_.deadlineMs, peer, [peer] {
            peer->abort();
            peer->deleteLater();
        });
        QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] { serve(peer); });
        serve(peer); // the request may have come with the connection
    }
}

void SingleInstance::serve(QLocalSocket* peer) {
    // One request per connection; anything else is ignored.
    if (peer->property("served").toBool() || peer->bytesAvailable() < kRestore.size()) {
        return;
    }
    peer->setProperty("served", true);
    if (peer->read(kRestore.size()) == kRestore && restore_) {
        restore_();
    }
    peer->disconnectFromServer();
}

bool SingleInstance::askToRestore(int timeoutMs) {
    if (socketPath_.empty()) {
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    // The running program may hold the lock a moment before it listens.
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(socketPath_));
        if (socket.waitForConnected(1000)) {
            // Whoever listens there hears that she was started again: only she may.
            if (!peerIsUs(socket.socketDescriptor())) {
                std::fprintf(stderr, "なごみ: %s is served by another user; not asking it\n",
                             socketPath_.c_str());
                return false;
            }
            socket.write(kRestore.data(), kRestore.size());
            // The request waits in the socket even while the program is busy; no reply needed.
            const bool sent = socket.waitForBytesWritten(timeoutMs);
            socket.disconnectFromServer();
            return sent;
        }
        if (clock.elapsed() >= timeoutMs) {
            return false;
        }
        QThread::msleep(100);
    }
}

} // namespace platform
