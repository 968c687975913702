// A small scripted POP3 server for the mail tests: pop3_peer ADDRESS MODE, listening on port
// 110 of ADDRESS (a loopback address of its own). It answers log-ins the RFC 1939 way
// ("+OK maildrop has N messages (M octets)") and shapes its RETR reply by MODE:
//   rfc       a plain message with a Message-ID
//   split     the Message-ID header split across two TCP segments
//   noid      a message without a Message-ID
//   endless   a RETR reply that never ends (until the client goes, or 30 s)
//   errgreet  greets with -ERR, then serves like rfc
//   drip      a RETR reply at one byte a second
//   full      listens with a backlog of one and never accepts: connects beyond it hang
// Serves connections one after another until killed.
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

static bool sendAll(int fd, const std::string& s) {
    return ::send(fd, s.data(), s.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.size());
}

static bool readLine(int fd, std::string& line) {
    line.clear();
    char c;
    while (::recv(fd, &c, 1, 0) == 1) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return true;
        }
        line += c;
    }
    return false;
}

static void serve(int fd, const std::string& mode) {
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sendAll(fd, mode == "errgreet" ? "-ERR not today <99.1@peer>\r\n"
                                   : "+OK scripted peer ready <1234.5678@peer>\r\n");
    std::string line;
    while (readLine(fd, line)) {
        const std::string cmd = line.substr(0, line.find(' '));
        if (cmd == "USER" || cmd == "APOP" || cmd == "PASS") {
            sendAll(fd, cmd == "USER" ? "+OK\r\n" : "+OK maildrop has 2 messages (320 octets)\r\n");
        } else if (cmd == "RETR") {
            std::printf("retr\n");
            std::fflush(stdout);
            const std::string head = "+OK 160 octets\r\nFrom: peer@example\r\n";
            if (mode == "split") {
                sendAll(fd, head + "Messa");
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                sendAll(fd, "ge-ID: <Split.One@Peer>\r\n\r\nbody\r\n.\r\n");
            } else if (mode == "drip") {
                const std::string all = head + "Message-ID: <Drip@Peer>\r\n\r\nbody\r\n.\r\n";
                for (size_t i = 0; i < all.size() && sendAll(fd, all.substr(i, 1)); ++i) {
                    std::this_thread::sleep_for(std::chrono::seconds(1));
                }
            } else if (mode == "noid") {
                sendAll(fd, head + "Subject: no id\r\n\r\nbody\r\n.\r\n");
            } else if (mode == "endless") {
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                sendAll(fd, head);
                while (std::chrono::steady_clock::now() < until &&
                       sendAll(fd, "X-Filler: " + std::string(500, 'z') + "\r\n")) {
                }
            } else {
                sendAll(fd, head + "Message-ID: <Peer.Two@Example>\r\n\r\nbody\r\n.\r\n");
            }
        } else if (cmd == "QUIT") {
            sendAll(fd, "+OK bye\r\n");
            break;
        } else if (cmd == "STAT") {
            sendAll(fd, "+OK 2 320\r\n");
        } else {
            sendAll(fd, "-ERR unknown\r\n");
        }
    }
    ::close(fd);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pop3_peer ADDRESS MODE\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(110);
    inet_pton(AF_INET, argv[1], &sa.sin_addr);
    const bool full = std::string(argv[2]) == "full";
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(s, full ? 1 : 4) != 0) {
        std::perror("pop3_peer: bind");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    while (full) {
        ::pause();
    }
    for (;;) {
        const int c = ::accept(s, nullptr, nullptr);
        if (c >= 0) {
            serve(c, argv[2]);
        }
    }
}
