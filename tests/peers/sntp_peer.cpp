// A scripted SNTP server whose clock is off by a given number of seconds:
// sntp_peer ADDRESS OFFSET_SECONDS [PORT]. ADDRESS is IPv4 or IPv6; PORT is 123 unless given.
// Prints "ready" once bound and "request" for each request answered; runs until killed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

void put32(unsigned char* b, std::uint32_t v) {
    b[0] = static_cast<unsigned char>(v >> 24);
    b[1] = static_cast<unsigned char>(v >> 16);
    b[2] = static_cast<unsigned char>(v >> 8);
    b[3] = static_cast<unsigned char>(v);
}

// Now plus the offset, as an NTP timestamp.
void stamp(unsigned char* b, long offset) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const auto seconds = static_cast<std::uint64_t>(ts.tv_sec + offset) + 2208988800u;
    put32(b, static_cast<std::uint32_t>(seconds));
    put32(b + 4,
          static_cast<std::uint32_t>((static_cast<std::uint64_t>(ts.tv_nsec) << 32) / 1000000000u));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: sntp_peer ADDRESS OFFSET_SECONDS [PORT]\n");
        return 2;
    }
    const long offset = std::strtol(argv[2], nullptr, 10);
    const auto port = static_cast<std::uint16_t>(argc > 3 ? std::atoi(argv[3]) : 123);
    sockaddr_storage local{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&local);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&local);
    if (inet_pton(AF_INET, argv[1], &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, argv[1], &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        length = sizeof *v6;
    } else {
        std::fprintf(stderr, "sntp_peer: not an address: %s\n", argv[1]);
        return 2;
    }
    const int fd = socket(local.ss_family, SOCK_DGRAM, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), length) != 0) {
        std::perror("sntp_peer: bind");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        unsigned char in[512];
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            recvfrom(fd, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 48) {
            continue;
        }
        unsigned char out[48] = {};
        stamp(out + 32, offset);            // receive
        out[0] = 0x24;                      // no leap warning, version 4, server
        out[1] = 2;                         // stratum
        std::memcpy(out + 24, in + 40, 8);  // originate: the request's transmit
        std::memcpy(out + 16, out + 32, 8); // reference
        stamp(out + 40, offset);            // transmit
        sendto(fd, out, sizeof out, 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        std::printf("request\n");
        std::fflush(stdout);
    }
}
