#include "timesync/NMUDP.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>
#include <QUdpSocket>

#include "platform/AppError.h"

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
        const quint32 v4 = from.toIPv4Address();
        const QString ip = QStringLiteral("%1.%2.%3.%4")
                               .arg(v4 >> 24)
                               .arg((v4 >> 16) & 0xFF)
                               .arg((v4 >> 8) & 0xFF)
                               .arg(v4 & 0xFF);
        emit DataReceived(static_cast<int>(n), ip, port);
    }
}

std::string TNMUDP::SendBuffer(const QByteArray& data) {
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
    if (socket_) {
        socket_->writeDatagram(data, address, static_cast<quint16>(RemotePort));
    }
    return address.toString().toStdString();
}

} // namespace timesync
