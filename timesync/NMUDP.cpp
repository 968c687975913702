#include "timesync/NMUDP.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>
#include <QUdpSocket>

#include "platform/AppError.h"
#include "timesync/SntpClient.h"

namespace timesync {

constexpr qint64 kMaxDatagram = 2048;

TNMUDP::TNMUDP(int localPort, QObject* parent) : QObject(parent) {
    socket_ = new QUdpSocket(this);
    // A failed bind is not reported: replies then simply never come.
    socket_->bind(QHostAddress::AnyIPv4, static_cast<quint16>(localPort));
    connect(socket_, &QUdpSocket::readyRead, this, &TNMUDP::readPending);
}

TNMUDP::~TNMUDP() = default;

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
        const QString ip = QString::fromStdString(dottedQuad(from.toIPv4Address()));
        emit DataReceived(static_cast<int>(n), ip, port);
    }
}

std::string TNMUDP::ResolveRemoteHost() {
    QHostAddress address;
    if (!address.setAddress(QString::fromStdString(RemoteHost)) ||
        address.protocol() != QAbstractSocket::IPv4Protocol) {
        address.clear();
        for (int attempt = 0; attempt < 2 && address.isNull(); ++attempt) {
            QEventLoop loop;
            QHostInfo found;
            const int id = QHostInfo::lookupHost(QString::fromStdString(RemoteHost), this,
                                                 [&](const QHostInfo& info) {
                                                     found = info;
                                                     loop.quit();
                                                 });
            QTimer::singleShot(10000, &loop, [&] {
                QHostInfo::abortHostLookup(id);
                loop.quit();
            });
            loop.exec(); // the program stays live during the lookup
            for (const QHostAddress& a : found.addresses()) {
                if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                    address = a;
                    break;
                }
            }
        }
        if (address.isNull()) {
            throw platform::AppError("Host Lookup Canceled");
        }
    }
    if (address == QHostAddress(QHostAddress::AnyIPv4)) {
        throw platform::AppError("Null Remote Address");
    }
    return address.toString().toStdString();
}

void TNMUDP::SendBuffer(const QByteArray& data, const std::string& address) {
    if (socket_) {
        socket_->writeDatagram(data, QHostAddress(QString::fromStdString(address)),
                               static_cast<quint16>(RemotePort));
    }
}

} // namespace timesync
