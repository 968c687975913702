#include "platform/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

} // namespace

std::string instanceSocketPath(const std::string& dir) {
    const std::string real = realDir(dir);
    const std::string inside = joinPath(real, kSocketName);
    if (inside.size() < sizeof(sockaddr_un{}.sun_path)) {
        return inside;
    }
    std::uint64_t h = 1469598103934665603ull; // FNV-1a: the same name in every build
    for (unsigned char c : real) {
        h = (h ^ c) * 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "nagomi-%016llx.sock", static_cast<unsigned long long>(h));
    return joinPath(QDir::tempPath().toStdString(), name);
}

SingleInstance::SingleInstance(const std::string& dir) : socketPath_(instanceSocketPath(dir)) {
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

void SingleInstance::listen(std::function<void()> restore) {
    if (!primary_ || lockFd_ < 0) {
        return;
    }
    restore_ = std::move(restore);
    server_ = new QLocalServer;
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket file left is a killed program's.
    QLocalServer::removeServer(QString::fromStdString(socketPath_));
    if (!server_->listen(QString::fromStdString(socketPath_))) {
        std::fprintf(stderr, "なごみ: cannot listen on %s: %s\n", socketPath_.c_str(),
                     server_->errorString().toLocal8Bit().constData());
        return;
    }
    QObject::connect(server_, &QLocalServer::newConnection, server_, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            auto serve = [this, peer] {
                // One request per connection; anything else is ignored.
                if (peer->property("served").toBool() || peer->bytesAvailable() < kRestore.size()) {
                    return;
                }
                peer->setProperty("served", true);
                if (peer->read(kRestore.size()) == kRestore && restore_) {
                    restore_();
                }
                peer->disconnectFromServer();
            };
            QObject::connect(peer, &QLocalSocket::readyRead, peer, serve);
            serve(); // the request may have come with the connection
        }
    });
}

bool SingleInstance::askToRestore(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    // The running program may hold the lock a moment before it listens.
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(socketPath_));
        if (socket.waitForConnected(1000)) {
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
