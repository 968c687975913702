#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "mail/CheckRunner.h"

namespace {

// A server that takes the connection and never says a word.
class SilentServer {
public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), len), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~SilentServer() { ::close(fd_); }
    int port = 0;

private:
    int fd_ = -1;
};

void runEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

} // namespace

TEST(CheckRunner, OneCheckAtATimeThatEndsAtOnceWhenCalledOff) {
    SilentServer server;
    core::Settings s;
    s.POPServer = "127.0.0.1";
    s.POPPort = server.port;
    mail::CheckRunner runner;
    int done = 0;
    ASSERT_TRUE(runner.start(s, false, [&](mail::CheckOutcome&) { ++done; }));
    EXPECT_FALSE(runner.start(s, false, [&](mail::CheckOutcome&) { ++done; }))
        << "a tick while a check runs is skipped";
    runEventsFor(300); // connected, waiting for a greeting that never comes
    EXPECT_TRUE(runner.running());
    QElapsedTimer t;
    t.start();
    runner.stop();
    EXPECT_LT(t.elapsed(), 500) << "the worker notices within a slice of its wait";
    EXPECT_FALSE(runner.running());
    runEventsFor(100);
    EXPECT_EQ(done, 0) << "a check called off reports nothing";
}

TEST(CheckRunner, ANameThatDoesNotResolveEndsLikeARefusedConnection) {
    core::Settings s;
    s.POPServer = "nowhere.invalid";
    mail::CheckRunner runner;
    std::string error;
    bool done = false;
    ASSERT_TRUE(runner.start(s, false, [&](mail::CheckOutcome& o) {
        error = o.error;
        done = true;
    }));
    for (int i = 0; i < 150 && !done; ++i) {
        runEventsFor(100);
    }
    ASSERT_TRUE(done);
    EXPECT_EQ(error, "サーバ nowhere.invalid が見つかりません");
    EXPECT_FALSE(runner.running());
}
