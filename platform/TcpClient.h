#pragma once
// The blocking TCP client of the mail check: connect to a dotted-decimal IPv4 address (never a
// name lookup), wait for readability, one receive per read, one send per command.
#include <cstddef>
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
    // One receive of at most `max` bytes, waiting at most the stream's time-out; 0 when nothing
    // came in time (or the peer closed).
    virtual size_t read(char* buffer, size_t max) = 0;
    // Sends all bytes; throws AppError on failure.
    virtual void send(std::string_view text) = 0;
    virtual void close() = 0;
};

// "'%2:s' API でWindows ソケットエラー: %0:s (%1:d)" filled with the system's error text, number
// and operation.
std::string socketErrorMessage(int error, const std::string& operation);

class PosixTcpStream : public TcpStream {
public:
    explicit PosixTcpStream(int timeoutMs = 10000) : timeoutMs_(timeoutMs) {}
    ~PosixTcpStream() override { close(); }
    void open(const std::string& address, int port) override;
    bool wait(int ms) override;
    size_t read(char* buffer, size_t max) override;
    void send(std::string_view text) override;
    void close() override;

private:
    int fd_ = -1;
    int timeoutMs_;
};

} // namespace platform
