#include "platform/SecureStream.h"

#include <QHostAddress>
#include <QSet>
#include <QSslConfiguration>
#include <QSslSocket>
#include <cerrno>
#include <cstdlib>

#include "platform/AppError.h"
#include "platform/HostLookup.h"

namespace platform {
namespace {

// The longest a blocking Qt wait runs before the stop flag is looked at again.
constexpr int kSliceMs = 50;
// A TLS handshake and a send are each bounded like a reply's wait.
constexpr int kHandshakeMs = 10000;
constexpr int kSendMs = 10000;

// The socket's failure as the system's error number, for the socket error message.
int errnoOf(QAbstractSocket::SocketError e) {
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError:
        return ECONNRESET;
    case QAbstractSocket::SocketTimeoutError:
        return ETIMEDOUT;
    case QAbstractSocket::NetworkError:
        return ENETUNREACH;
    case QAbstractSocket::SocketAccessError:
        return EACCES;
    case QAbstractSocket::SocketResourceError:
        return EMFILE;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return EAFNOSUPPORT;
    default:
        return EIO;
    }
}

// Why a certificate is not trusted, in the user's words.
std::string tlsReason(const QList<QSslError>& errors, const std::string& host) {
    for (const QSslError& e : errors) {
        switch (e.error()) {
        case QSslError::HostNameMismatch:
            return "証明書がサーバ " + host + " のものではありません";
        case QSslError::CertificateExpired:
            return "証明書の有効期限が切れています";
        case QSslError::CertificateNotYetValid:
            return "証明書の有効期間がまだ始まっていません";
        case QSslError::CertificateRevoked:
            return "取り消された証明書です";
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::CertificateUntrusted:
        case QSslError::CertificateRejected:
            return "発行元を確かめられない証明書です";
        default:
            break;
        }
    }
    return "暗号化の手続きに失敗しました";
}

// The authorities beside the system's trust store that SSL_CERT_FILE and the folders of
// SSL_CERT_DIR name, as OpenSSL programs honour them; none when neither is set.
QList<QSslCertificate> namedAuthorities() {
    QList<QSslCertificate> cas;
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) {
        cas += QSslCertificate::fromPath(QString::fromLocal8Bit(file), QSsl::Pem);
    }
    if (const char* dirs = std::getenv("SSL_CERT_DIR"); dirs && *dirs) {
        for (const QString& dir : QString::fromLocal8Bit(dirs).split(QLatin1Char(':'))) {
            if (!dir.isEmpty()) {
                cas += QSslCertificate::fromPath(dir + QStringLiteral("/*"), QSsl::Pem,
                                                 QSslCertificate::PatternSyntax::Wildcard);
            }
        }
    }
    return cas;
}

// The configuration every handshake uses. Without named authorities Qt finds the system's
// own when it needs them; with them the list is the system's and theirs, each certificate once
// (a folder usually holds the system's again under other names).
QSslConfiguration tlsConfiguration() {
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> named = namedAuthorities();
    if (!named.isEmpty()) {
        QList<QSslCertificate> cas = QSslConfiguration::systemCaCertificates();
        QSet<QSslCertificate> seen(cas.begin(), cas.end());
        for (const QSslCertificate& c : named) {
            if (!seen.contains(c)) {
                seen.insert(c);
                cas.append(c);
            }
        }
        conf.setCaCertificates(cas);
    }
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    conf.setProtocol(QSsl::SecureProtocols);
    return conf;
}

} // namespace

SecureStream::SecureStream(std::vector<std::string> addresses, bool tlsFromStart,
                           const std::atomic<bool>& stop, int connectTimeoutMs)
    : addresses_(std::move(addresses)), tlsFromStart_(tlsFromStart), stop_(stop),
      connectTimeoutMs_(connectTimeoutMs) {}

SecureStream::~SecureStream() {
    close();
}

bool SecureStream::sliced(int ms, const std::function<bool(int)>& step) {
    const std::int64_t end = steadyMs() + (ms < 0 ? 0 : ms);
    for (;;) {
        if (stop_.load()) {
            throw Interrupted();
        }
        const std::int64_t left = end - steadyMs();
        if (left <= 0) {
            return false;
        }
        if (step(static_cast<int>(std::min<std::int64_t>(left, kSliceMs)))) {
            return true;
        }
    }
}

void SecureStream::open(const std::string& host, int port) {
    close();
    if (host.empty()) {
        throw AppError("アドレスが指定されていません");
    }
    host_ = withoutBrackets(host);
    int error = ETIMEDOUT;
    const std::int64_t end = steadyMs() + connectTimeoutMs_;
    for (const std::string& address : addresses_) {
        const QHostAddress a(QString::fromStdString(withoutBrackets(address)));
        if (a.isNull()) {
            continue;
        }
        socket_ = std::make_unique<QSslSocket>();
        socket_->connectToHost(a, static_cast<quint16>(port));
        bool failed = false;
        const bool connected = sliced(static_cast<int>(end - steadyMs()),
                                      [&](int slice) {
                                          socket_->waitForConnected(slice);
                                          if (socket_->state() == QAbstractSocket::ConnectedState) {
                                              return true;
                                          }
                                          failed =
                                              socket_->state() == QAbstractSocket::UnconnectedState;
                                          return failed;
                                      }) &&
                               !failed;
        if (connected) {
            if (tlsFromStart_) {
                handshake();
            }
            return;
        }
        error = failed ? errnoOf(socket_->error()) : ETIMEDOUT;
        socket_.reset();
        if (steadyMs() >= end) {
            break; // the connect limit covers every address
        }
    }
    throw AppError(socketErrorMessage(error, "connect"));
}

void SecureStream::startTls() {
    if (!socket_ || socket_->isEncrypted()) {
        throw AppError(msgTlsFailure("暗号化の手続きに失敗しました"));
    }
    // What came before the handshake was sent in clear by anyone on the way: it is dropped.
    socket_->readAll();
    handshake();
}

void SecureStream::handshake() {
    socket_->setSslConfiguration(tlsConfiguration());
    socket_->setPeerVerifyName(QString::fromStdString(host_));
    socket_->startClientEncryption();
    bool failed = false;
    const bool encrypted = sliced(kHandshakeMs, [&](int slice) {
        socket_->waitForEncrypted(slice);
        if (socket_->isEncrypted()) {
            return true;
        }
        failed = socket_->state() != QAbstractSocket::ConnectedState ||
                 !socket_->sslHandshakeErrors().isEmpty();
        return failed;
    });
    if (!encrypted || failed || !socket_->isEncrypted()) {
        const std::string reason = tlsReason(socket_->sslHandshakeErrors(), host_);
        close();
        throw AppError(msgTlsFailure(reason));
    }
}

bool SecureStream::wait(int ms) {
    if (!socket_) {
        return false;
    }
    // A closed connection is readable at once, as a socket's end is: the read then gives 0.
    return sliced(ms, [this](int slice) {
        if (socket_->bytesAvailable() > 0 || socket_->state() != QAbstractSocket::ConnectedState) {
            return true;
        }
        socket_->waitForReadyRead(slice);
        return socket_->bytesAvailable() > 0 || socket_->state() != QAbstractSocket::ConnectedState;
    });
}

size_t SecureStream::read(char* buffer, size_t max, int ms) {
    if (!wait(ms)) {
        return 0;
    }
    const qint64 n = socket_->read(buffer, static_cast<qint64>(max));
    return n > 0 ? static_cast<size_t>(n) : 0;
}

void SecureStream::send(std::string_view text) {
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
        throw AppError(socketErrorMessage(ENOTCONN, "send"));
    }
    if (socket_->write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size())) {
        throw AppError(socketErrorMessage(errnoOf(socket_->error()), "send"));
    }
    const bool sent = sliced(kSendMs, [this](int slice) {
        if (socket_->bytesToWrite() == 0) {
            return true;
        }
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            throw AppError(socketErrorMessage(errnoOf(socket_->error()), "send"));
        }
        socket_->waitForBytesWritten(slice);
        return socket_->bytesToWrite() == 0;
    });
    if (!sent) {
        throw AppError(socketErrorMessage(ETIMEDOUT, "send"));
    }
}

void SecureStream::close() {
    if (socket_) {
        socket_->abort();
        socket_.reset();
    }
}

} // namespace platform
