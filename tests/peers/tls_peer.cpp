// A scripted POP3 or IMAP server with TLS for the mail tests, hostile where its mode says:
// tls_peer ADDRESS PORT MODE CERT KEY RECORD. Serves one connection after another until killed
// and appends every byte the client sends (after TLS, once it runs) to RECORD as it comes, so
// that a test sees what reached the server. Modes:
//   pop3s            TLS from the first byte, then POP3 with an empty maildrop
//   pop3-stls        POP3 in clear offering STLS, then TLS with CERT; an empty maildrop
//   pop3-nostls      POP3 in clear without STLS
//   pop3-inject      like pop3-stls, but the STLS reply carries forged lines after it; one message
//   imaps            TLS from the first byte, then IMAP with an empty INBOX
//   imap-starttls    IMAP in clear offering STARTTLS, then TLS with CERT; an empty INBOX
//   imap-nostarttls  IMAP in clear without STARTTLS
//   imap-inject      like imap-starttls, but the STARTTLS reply carries forged lines; one message
//   drip             like pop3s with one message, every reply written one byte a second
// Message N has the Message-ID <Peer.N@Example>. Events go to stdout ("ready" once listening).
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace {

struct Mode {
    const char* name;
    bool imap;
    bool tlsFirst;
    bool offerStartTls;
    bool inject;
    bool drip;
    int messages;
};

const Mode kModes[] = {
    {"pop3s", false, true, false, false, false, 0},
    {"pop3-stls", false, false, true, false, false, 0},
    {"pop3-nostls", false, false, false, false, false, 0},
    {"pop3-inject", false, false, true, true, false, 1},
    {"imaps", true, true, false, false, false, 0},
    {"imap-starttls", true, false, true, false, false, 0},
    {"imap-nostarttls", true, false, false, false, false, 0},
    {"imap-inject", true, false, true, true, false, 1},
    {"drip", false, true, false, false, true, 1},
};

constexpr int kIdleMs = 30000;       // a client silent this long is dropped
constexpr size_t kMaxLine = 1 << 16; // a "line" longer than this is no client of ours

void say(const std::string& s) {
    std::printf("%s\n", s.c_str());
    std::fflush(stdout);
}

std::string upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

// The next word of `line` from `pos` on, moving `pos` past it.
std::string word(const std::string& line, size_t& pos) {
    while (pos < line.size() && line[pos] == ' ') {
        ++pos;
    }
    const size_t end = std::min(line.find(' ', pos), line.size());
    std::string w = line.substr(pos, end - pos);
    pos = end;
    return w;
}

std::string header(int n) {
    return "From: peer@example\r\nTo: a@example\r\nSubject: " + std::to_string(n) +
           "\r\nMessage-ID: <Peer." + std::to_string(n) + "@Example>\r\n\r\n";
}

std::string message(int n) {
    return header(n) + "body\r\n";
}

// One client connection: line reading that records what arrives, sending that drips if asked.
class Conn {
public:
    Conn(QSslSocket& s, std::FILE* record, const Mode& m, const QSslCertificate& cert,
         const QSslKey& key)
        : s_(s), record_(record), mode_(m), cert_(cert), key_(key) {}

    bool readLine(std::string& line) {
        size_t eol;
        while ((eol = buf_.find('\n')) == std::string::npos) {
            if (buf_.size() > kMaxLine || !fill(kIdleMs)) {
                return false;
            }
        }
        line = buf_.substr(0, eol);
        buf_.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return true;
    }

    bool send(std::string_view text) {
        if (!mode_.drip) {
            return put(text);
        }
        for (char c : text) {
            if (!put(std::string_view(&c, 1)) || !pause(1000)) {
                return false;
            }
        }
        return true;
    }

    // Answers the request for TLS with `reply` (and, when the mode injects, `forged` in the same
    // write), then runs the handshake. What the client sent before it is dropped.
    bool startTls(const std::string& reply, const std::string& forged) {
        if (!put(mode_.inject ? reply + forged : reply)) {
            return false;
        }
        buf_.clear();
        return handshake();
    }

    bool handshake() {
        s_.setLocalCertificate(cert_);
        s_.setPrivateKey(key_);
        s_.setPeerVerifyMode(QSslSocket::VerifyNone);
        s_.startServerEncryption();
        if (!s_.waitForEncrypted(10000)) {
            say("handshake failed: " + s_.errorString().toStdString());
            return false;
        }
        tls_ = true;
        say("handshake done");
        return true;
    }

    bool tls() const { return tls_; }

private:
    bool put(std::string_view text) {
        s_.write(text.data(), static_cast<qint64>(text.size()));
        while (s_.bytesToWrite() > 0) {
            if (!s_.waitForBytesWritten(5000)) {
                return false;
            }
        }
        return s_.state() == QAbstractSocket::ConnectedState;
    }

    // Waits up to `ms` for bytes from the client and takes them in; false when none came or the
    // client is gone.
    bool fill(int ms) {
        if (s_.bytesAvailable() == 0 && !s_.waitForReadyRead(ms)) {
            return false;
        }
        const QByteArray got = s_.readAll();
        std::fwrite(got.constData(), 1, static_cast<size_t>(got.size()), record_);
        std::fflush(record_);
        buf_.append(got.constData(), static_cast<size_t>(got.size()));
        return true;
    }

    // Sleeps `ms`, still taking in what the client sends; false once it has gone.
    bool pause(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (!fill(static_cast<int>(ms - t.elapsed())) &&
                s_.state() != QAbstractSocket::ConnectedState) {
                return false;
            }
        }
        return true;
    }

    QSslSocket& s_;
    std::FILE* record_;
    const Mode& mode_;
    const QSslCertificate& cert_;
    const QSslKey& key_;
    std::string buf_;
    bool tls_ = false;
};

void pop3(Conn& c, const Mode& m) {
    const int n = m.messages;
    if (!c.send("+OK scripted TLS peer ready <4321.8765@peer>\r\n")) {
        return;
    }
    std::string line;
    while (c.readLine(line)) {
        size_t pos = 0;
        const std::string cmd = upper(word(line, pos));
        const std::string argument = word(line, pos);
        const int arg = std::atoi(argument.c_str());
        const bool exists = arg >= 1 && arg <= n;
        bool ok = true;
        if (cmd == "CAPA") {
            ok = c.send(std::string("+OK\r\nUSER\r\nUIDL\r\nTOP\r\n") +
                        (m.offerStartTls && !c.tls() ? "STLS\r\n" : "") + ".\r\n");
        } else if (cmd == "STLS" && m.offerStartTls && !c.tls()) {
            if (!c.startTls("+OK Begin TLS\r\n", "+OK\r\n+OK 9 99\r\n")) {
                return;
            }
        } else if (cmd == "USER" || cmd == "NOOP" || cmd == "RSET") {
            ok = c.send("+OK\r\n");
        } else if (cmd == "PASS" || cmd == "APOP") {
            ok = c.send("+OK logged in\r\n");
        } else if (cmd == "STAT") {
            ok = c.send("+OK " + std::to_string(n) + " " + std::to_string(n * message(1).size()) +
                        "\r\n");
        } else if ((cmd == "LIST" || cmd == "UIDL") && argument.empty()) {
            std::string r = "+OK\r\n";
            for (int i = 1; i <= n; ++i) {
                r += std::to_string(i) + " " +
                     (cmd == "LIST" ? std::to_string(message(i).size())
                                    : "uid" + std::to_string(i)) +
                     "\r\n";
            }
            ok = c.send(r + ".\r\n");
        } else if ((cmd == "LIST" || cmd == "UIDL") && exists) {
            ok = c.send("+OK " + std::to_string(arg) + " " +
                        (cmd == "LIST" ? std::to_string(message(arg).size())
                                       : "uid" + std::to_string(arg)) +
                        "\r\n");
        } else if ((cmd == "RETR" || cmd == "TOP") && exists) {
            ok = c.send("+OK\r\n" + (cmd == "TOP" ? header(arg) : message(arg)) + ".\r\n");
        } else if (cmd == "QUIT") {
            c.send("+OK bye\r\n");
            return;
        } else {
            ok = c.send("-ERR not here\r\n");
        }
        if (!ok) {
            return;
        }
    }
}

// "a7" -> "a8": the tag a client that counts its tags sends next.
std::string nextTag(const std::string& tag, int ahead) {
    size_t d = tag.size();
    while (d > 0 && tag[d - 1] >= '0' && tag[d - 1] <= '9') {
        --d;
    }
    const int number = d < tag.size() ? std::atoi(tag.c_str() + d) : 1;
    return tag.substr(0, d) + std::to_string(number + ahead);
}

// The FETCH reply of message `i` to the items `items` (upper case).
std::string fetched(int i, const std::string& items, bool uid) {
    std::string r = "* " + std::to_string(i) + " FETCH (";
    if (uid || items.find("UID") != std::string::npos) {
        r += "UID " + std::to_string(i) + " ";
    }
    if (items.find("FLAGS") != std::string::npos) {
        r += "FLAGS () ";
    }
    if (items.find("HEADER") != std::string::npos) {
        r += "BODY[HEADER.FIELDS (MESSAGE-ID)] {";
        const std::string h = "Message-ID: <Peer." + std::to_string(i) + "@Example>\r\n\r\n";
        r += std::to_string(h.size()) + "}\r\n" + h;
    }
    if (r.back() == ' ') {
        r.pop_back();
    }
    return r + ")\r\n";
}

// The messages of the set `set` ("1", "1:*", "*", "2:3", "1,3"), in order, each once.
std::string fetchSet(const std::string& set, int n, const std::string& items, bool uid) {
    std::string r;
    for (int i = 1; i <= n; ++i) {
        size_t pos = 0;
        while (pos <= set.size()) {
            const size_t end = std::min(set.find(',', pos), set.size());
            const std::string part = set.substr(pos, end - pos);
            const size_t colon = part.find(':');
            const auto num = [n](const std::string& s) {
                return s == "*" ? n : std::atoi(s.c_str());
            };
            int lo = num(part.substr(0, colon));
            int hi = colon == std::string::npos ? lo : num(part.substr(colon + 1));
            if (lo > hi) {
                std::swap(lo, hi);
            }
            if (i >= lo && i <= hi) {
                r += fetched(i, items, uid);
                break;
            }
            pos = end + 1;
        }
    }
    return r;
}

void imap(Conn& c, const Mode& m) {
    const int n = m.messages;
    if (!c.send("* OK scripted TLS peer ready\r\n")) {
        return;
    }
    std::string line;
    while (c.readLine(line)) {
        size_t pos = 0;
        const std::string tag = word(line, pos);
        std::string cmd = upper(word(line, pos));
        bool uid = false;
        if (cmd == "UID") {
            uid = true;
            cmd = upper(word(line, pos));
        }
        const std::string rest = line.substr(std::min(pos + 1, line.size()));
        const std::string done = tag + " OK " + cmd + " completed\r\n";
        bool ok = true;
        if (cmd == "CAPABILITY") {
            ok = c.send(std::string("* CAPABILITY IMAP4rev1 AUTH=PLAIN") +
                        (m.offerStartTls && !c.tls() ? " STARTTLS" : "") + "\r\n" + done);
        } else if (cmd == "STARTTLS" && m.offerStartTls && !c.tls()) {
            const std::string forged = nextTag(tag, 1) + " OK LOGIN completed\r\n* 9 EXISTS\r\n" +
                                       nextTag(tag, 2) + " OK [READ-ONLY] EXAMINE completed\r\n";
            if (!c.startTls(tag + " OK Begin TLS negotiation now\r\n", forged)) {
                return;
            }
        } else if (cmd == "AUTHENTICATE" && upper(rest).rfind("PLAIN", 0) == 0) {
            std::string response;
            ok = rest.size() > 6 || (c.send("+ \r\n") && c.readLine(response));
            ok = ok && c.send(done);
        } else if (cmd == "SELECT" || cmd == "EXAMINE") {
            ok = c.send(
                "* FLAGS (\\Seen)\r\n* " + std::to_string(n) +
                " EXISTS\r\n* 0 RECENT\r\n* OK [UIDVALIDITY 1] UIDs valid\r\n* OK [UIDNEXT " +
                std::to_string(n + 1) + "] next\r\n" + tag + " OK [READ-ONLY] " + cmd +
                " completed\r\n");
        } else if (cmd == "STATUS") {
            ok = c.send("* STATUS INBOX (MESSAGES " + std::to_string(n) + " UIDNEXT " +
                        std::to_string(n + 1) + " UIDVALIDITY 1 UNSEEN " + std::to_string(n) +
                        ")\r\n" + done);
        } else if (cmd == "FETCH") {
            size_t p = pos;
            const std::string set = word(line, p);
            ok = c.send(fetchSet(set, n, upper(line.substr(p)), uid) + done);
        } else if (cmd == "SEARCH") {
            std::string r = "* SEARCH";
            for (int i = 1; i <= n; ++i) {
                r += " " + std::to_string(i);
            }
            ok = c.send(r + "\r\n" + done);
        } else if (cmd == "LOGIN" || cmd == "NOOP" || cmd == "CHECK" || cmd == "CLOSE" ||
                   cmd == "UNSELECT" || cmd == "ENABLE") {
            ok = c.send(done);
        } else if (cmd == "ID") {
            ok = c.send("* ID NIL\r\n" + done);
        } else if (cmd == "LOGOUT") {
            c.send("* BYE\r\n" + done);
            return;
        } else {
            ok = c.send(tag + " BAD not here\r\n");
        }
        if (!ok) {
            return;
        }
    }
}

// Takes the accepted sockets' descriptors, so that each becomes a QSslSocket.
class Listener : public QTcpServer {
public:
    qintptr take() {
        const qintptr fd = pending_;
        pending_ = -1;
        return fd;
    }

protected:
    void incomingConnection(qintptr fd) override { pending_ = fd; }

private:
    qintptr pending_ = -1;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: tls_peer ADDRESS PORT MODE CERT KEY RECORD\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const Mode* mode = nullptr;
    for (const Mode& m : kModes) {
        if (std::string_view(m.name) == argv[3]) {
            mode = &m;
        }
    }
    const auto certs = QSslCertificate::fromPath(QString::fromLocal8Bit(argv[4]));
    QFile keyFile(QString::fromLocal8Bit(argv[5]));
    QByteArray pem;
    if (keyFile.open(QIODevice::ReadOnly)) {
        pem = keyFile.readAll();
    }
    QSslKey key(pem, QSsl::Ec);
    if (key.isNull()) {
        key = QSslKey(pem, QSsl::Rsa);
    }
    std::FILE* record = std::fopen(argv[6], "ab");
    if (mode == nullptr || certs.isEmpty() || key.isNull() || record == nullptr) {
        std::fprintf(stderr, "tls_peer: bad mode, certificate, key or record file\n");
        return 2;
    }
    Listener server;
    if (!server.listen(QHostAddress(QString::fromLatin1(argv[1])), std::atoi(argv[2]))) {
        std::fprintf(stderr, "tls_peer: listen: %s\n", server.errorString().toLocal8Bit().data());
        return 1;
    }
    say("ready");
    for (;;) {
        server.waitForNewConnection(-1);
        const qintptr fd = server.take();
        if (fd < 0) {
            continue;
        }
        QSslSocket socket;
        socket.setSocketDescriptor(fd);
        say("connection");
        Conn c(socket, record, *mode, certs.first(), key);
        if (!mode->tlsFirst || c.handshake()) {
            mode->imap ? imap(c, *mode) : pop3(c, *mode);
        }
        if (socket.state() == QAbstractSocket::ConnectedState) {
            socket.disconnectFromHost();
        }
        if (socket.state() != QAbstractSocket::UnconnectedState) {
            socket.waitForDisconnected(2000);
        }
        say("closed");
    }
}
