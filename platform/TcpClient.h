#pragma once
// The blocking TCP client of the mail check: connect to a dotted-decimal IPv4 address (never a
// name lookup), wait for readability, one receive per read, one send per command.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

class TcpStream {
public:
    virtual ~TcpStream() = default;
    // Throws AppError with the socket error text when the connection cannot be made.
    virtual void open(const std::string& address, int port) = 0;
    // True when data can be read within `ms`.
    virtual bool wait(int ms) = 0;
    // One receive of at most `max` bytes, waiting at most `ms`; 0 when nothing came in time (or
    // the peer closed).
    virtual size_t read(char* buffer, size_t max, int ms) = 0;
    // Sends all bytes; throws AppError on failure.
    virtual void send(std::string_view text) = 0;
    virtual void close() = 0;
    // Turns the open connection into TLS once the server agreed to STARTTLS (STLS): whatever it
    // sent before is discarded, never read as protected. Returns only with a verified session;
    // throws AppError with msgTlsFailure's text otherwise. A stream without TLS refuses.
    virtual void startTls();
};

// "サーバの証明書を確認できません: <reason>", the error of a TLS session that cannot be trusted.
std::string msgTlsFailure(const std::string& reason);
// "サーバ <name> が見つかりません", a server name that does not resolve.
std::string msgHostNotFound(const std::string& name);

// "'%2:s' API でWindows ソケットエラー: %0:s (%1:d)" filled with the system's error text, number
// and operation.
std::string socketErrorMessage(int error, const std::string& operation);

// A blocking wait was given up because the session is ending (a signal, the display gone): the
// caller unwinds quietly so the event loop can run the orderly end.
class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

// Descriptors that end any wait of a PosixTcpStream: `events` 0 watches only for a hang-up.
void addWaitInterrupt(int fd, short events);
void clearWaitInterrupts();

// Milliseconds of a steady clock, for bounding a dialogue as a whole.
std::int64_t steadyMs();

class PosixTcpStream : public TcpStream {
public:
    explicit PosixTcpStream(int connectTimeoutMs = 10000) : connectTimeoutMs_(connectTimeoutMs) {}
    ~PosixTcpStream() override { close(); }
    void open(const std::string& address, int port) override;
    bool wait(int ms) override;
    size_t read(char* buffer, size_t max, int ms) override;
    void send(std::string_view text) override;
    void close() override;

private:
    // Waits for `events` on the socket; throws Interrupted when an interrupt fires first.
    bool waitFor(short events, int ms);
    int fd_ = -1;
    int connectTimeoutMs_;
};

} // namespace platform
