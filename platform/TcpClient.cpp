#include "platform/TcpClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "platform/AppError.h"

namespace platform {
namespace {

std::vector<pollfd>& interrupts() {
    static std::vector<pollfd> fds;
    return fds;
}

} // namespace

void addWaitInterrupt(int fd, short events) {
    interrupts().push_back(pollfd{fd, events, 0});
}

void clearWaitInterrupts() {
    interrupts().clear();
}

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TcpStream::startTls() {
    throw AppError(msgTlsFailure("暗号化通信を始められません"));
}

std::string msgTlsFailure(const std::string& reason) {
    return "サーバの証明書を確認できません: " + reason;
}

std::string msgHostNotFound(const std::string& name) {
    return "サーバ " + name + " が見つかりません";
}

std::string socketErrorMessage(int error, const std::string& operation) {
    return "'" + operation + "' API でWindows ソケットエラー: " + std::strerror(error) + " (" +
           std::to_string(error) + ")";
}

void PosixTcpStream::open(const std::string& address, int port) {
    close();
    if (address.empty()) {
        throw AppError("アドレスが指定されていません");
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        throw AppError(socketErrorMessage(EINVAL, "connect"));
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        throw AppError(socketErrorMessage(errno, "socket"));
    }
    fd_ = fd;
    // The connect is bounded: a server whose listen queue is full would hold it for minutes.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        int e = errno;
        if (e == EINPROGRESS) {
            if (!waitFor(POLLOUT, connectTimeoutMs_)) {
                e = ETIMEDOUT;
            } else {
                socklen_t len = sizeof e;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) != 0) {
                    e = errno;
                }
            }
        }
        if (e != 0) {
            close();
            throw AppError(socketErrorMessage(e, "connect"));
        }
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

bool PosixTcpStream::waitFor(short events, int ms) {
    if (fd_ < 0) {
        return false;
    }
    std::vector<pollfd> fds{pollfd{fd_, events, 0}};
    fds.insert(fds.end(), interrupts().begin(), interrupts().end());
    const std::int64_t end = steadyMs() + (ms < 0 ? 0 : ms);
    for (;;) {
        const std::int64_t left = end - steadyMs();
        const int r = ::poll(fds.data(), fds.size(), left > 0 ? static_cast<int>(left) : 0);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return false;
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                throw Interrupted();
            }
        }
        return fds[0].revents != 0;
    }
}

bool PosixTcpStream::wait(int ms) {
    return waitFor(POLLIN, ms);
}

size_t PosixTcpStream::read(char* buffer, size_t max, int ms) {
    if (fd_ < 0 || !wait(ms)) {
        return 0;
    }
    ssize_t n;
    do {
        n = ::recv(fd_, buffer, max, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

void PosixTcpStream::send(std::string_view text) {
    if (fd_ < 0) {
        throw AppError(socketErrorMessage(ENOTCONN, "send"));
    }
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::send(fd_, p, left, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw AppError(socketErrorMessage(errno, "send"));
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void PosixTcpStream::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace platform
