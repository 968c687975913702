// Silent clients of a local socket: flood_probe PATH N opens N connections that never finish a
// request (every tenth sends a few bytes), keeps them all, and waits up to 40 s until the server
// has closed each. Status 0 when all N were made and all were closed; says how many on stderr.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool closedByServer(int fd) {
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: flood_probe PATH N\n");
        return 2;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", argv[1]);
    const std::size_t n = std::strtoul(argv[2], nullptr, 10);
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::seconds(40);
    std::vector<int> held;
    while (held.size() < n && Clock::now() < until) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            std::perror("flood_probe: socket");
            return 1;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EAGAIN) { // the backlog is full: the server accepts at its own pace
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            std::fprintf(stderr, "connection %zu: %s\n", held.size(), std::strerror(err));
            return 1;
        }
        if (held.size() % 10 == 0) {
            ::send(fd, "res", 3, MSG_NOSIGNAL); // a request that never ends
        }
        held.push_back(fd);
    }
    std::size_t closed = 0;
    while (Clock::now() < until) {
        closed = 0;
        for (int fd : held) {
            closed += closedByServer(fd) ? 1 : 0;
        }
        if (closed == held.size()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::fprintf(stderr, "%zu of %zu connections closed by the server\n", closed, n);
    return held.size() == n && closed == n ? 0 : 1;
}
