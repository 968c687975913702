#include "platform/TcpClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/AppError.h"

namespace platform {

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
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw AppError(socketErrorMessage(errno, "socket"));
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        const int e = errno;
        ::close(fd);
        throw AppError(socketErrorMessage(e, "connect"));
    }
    fd_ = fd;
}

bool PosixTcpStream::wait(int ms) {
    if (fd_ < 0) {
        return false;
    }
    pollfd p{fd_, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

size_t PosixTcpStream::read(char* buffer, size_t max) {
    if (fd_ < 0 || !wait(timeoutMs_)) {
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
