#pragma once
// The mail check's connection on Qt's sockets: to a server's addresses in turn, in clear or in
// TLS from the first byte, with a later switch to TLS (STARTTLS). Made and used on one worker
// thread, in blocking mode: every wait is cut into short slices so that a check being called off
// is noticed at once. The certificate is verified against the system's trust store and the files
// named by SSL_CERT_FILE and SSL_CERT_DIR; nothing accepts a certificate that fails.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/HostLookup.h" // the mail check looks its server up with it
#include "platform/TcpClient.h"

class QObject;
class QSslSocket;

namespace platform {

class SecureStream : public TcpStream {
public:
    // `addresses`: the server's, in the order to try; `open`'s address is the name the
    // certificate must carry. `stop` set from another thread ends any wait with Interrupted.
    SecureStream(std::vector<std::string> addresses, bool tlsFromStart,
                 const std::atomic<bool>& stop, int connectTimeoutMs = 10000);
    ~SecureStream() override;
    void open(const std::string& host, int port) override;
    bool wait(int ms) override;
    size_t read(char* buffer, size_t max, int ms) override;
    void send(std::string_view text) override;
    void close() override;
    void startTls() override;

private:
    // Runs `step` (a blocking Qt wait of at most the given ms) in slices until it succeeds or
    // `ms` have passed; throws Interrupted when `stop_` is set.
    bool sliced(int ms, const std::function<bool(int)>& step);
    void handshake();

    std::vector<std::string> addresses_;
    bool tlsFromStart_;
    const std::atomic<bool>& stop_;
    int connectTimeoutMs_;
    std::string host_;
    std::unique_ptr<QSslSocket> socket_;
};

} // namespace platform
