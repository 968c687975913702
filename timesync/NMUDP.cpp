#include "timesync/NMUDP.h"

#include <QHostAddress>
#include <QUdpSocket>

namespace timesync {
namespace {

constexpr qint64 kMaxDatagram = 2048;

// One text per address: an IPv4 address reached through an IPv6 socket is shown as IPv4.
QHostAddress plain(const QHostAddress& a) {
    bool v4 = false;
    const quint32 ipv4 = a.toIPv4Address(&v4);
    return v4 ? QHostAddress(ipv4) : a;
}

} // namespace

TNMUDP::TNMUDP(int localPort, QObject* parent) : QObject(parent) {
    socket_ = new QUdpSocket(this);
    // Not shared: a port another program holds must fail here, or its replies could come to us
    // and ours to it.
    const auto mode = QAbstractSocket::DontShareAddress;
    const auto port = static_cast<quint16>(localPort);
    ipv6_ =
        socket_->bind(QHostAddress::Any, port, mode) || socket_->bind(QHostAddress::Any, 0, mode);
    if (!ipv6_ && !socket_->bind(QHostAddress::AnyIPv4, port, mode)) {
        // Not bound at all: replies then simply never come, and each request times out.
        socket_->bind(QHostAddress::AnyIPv4, 0, mode);
    }
    connect(socket_, &QUdpSocket::readyRead, this, &TNMUDP::readPending);
}

TNMUDP::~TNMUDP() = default;

int TNMUDP::localPort() const {
    return socket_ ? socket_->localPort() : 0;
}

void TNMUDP::release() {
    if (socket_) {
        socket_->close();
        socket_->deleteLater();
        socket_ = nullptr;
    }
}

void TNMUDP::readPending() {
    while (socket_ && socket_->hasPendingDatagrams()) {
        QByteArray buf(kMaxDatagram, '\0');
        QHostAddress from;
        quint16 port = 0;
        const qint64 n = socket_->readDatagram(buf.data(), kMaxDatagram, &from, &port);
        if (n < 0) {
            continue;
        }
        buf.truncate(static_cast<int>(n));
        last_ = buf;
        emit DataReceived(static_cast<int>(n), plain(from).toString(), port);
    }
}

std::vector<std::string> TNMUDP::usable(const std::vector<std::string>& addresses) const {
    std::vector<std::string> v4;
    std::vector<std::string> v6;
    for (const std::string& text : addresses) {
        const QHostAddress a = plain(QHostAddress(QString::fromStdString(text)));
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            v4.push_back(a.toString().toStdString());
        } else if (a.protocol() == QAbstractSocket::IPv6Protocol && ipv6_) {
            v6.push_back(a.toString().toStdString());
        }
    }
    v4.insert(v4.end(), v6.begin(), v6.end());
    return v4;
}

void TNMUDP::SendBuffer(const QByteArray& data, const std::string& address) {
    if (socket_) {
        socket_->writeDatagram(data, QHostAddress(QString::fromStdString(address)),
                               static_cast<quint16>(RemotePort));
    }
}

} // namespace timesync
