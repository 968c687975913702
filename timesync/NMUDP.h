#pragma once
// TNMUDP: the UDP endpoint of the clock adjustment, on QUdpSocket. Bound to all local addresses
// on LocalPort from creation; datagrams are announced through the event loop.
#include <QByteArray>
#include <QObject>
#include <string>

class QUdpSocket;

namespace timesync {

class TNMUDP : public QObject {
    Q_OBJECT
public:
    explicit TNMUDP(int localPort, QObject* parent = nullptr);
    ~TNMUDP() override;

    std::string RemoteHost;
    int RemotePort = 123;

    // The address of RemoteHost as dotted-decimal text. A dotted-decimal address is used as it
    // is; a name is looked up while the event loop keeps running (tried twice). Throws AppError
    // "Host Lookup Canceled" or "Null Remote Address".
    std::string ResolveRemoteHost();
    // Sends one datagram to the address (dotted-decimal), port RemotePort.
    void SendBuffer(const QByteArray& data, const std::string& address);
    // The datagram just received, at most `max` bytes of it.
    QByteArray ReadStream(int max) const { return last_.left(max); }
    // Closes the socket: nothing is sent or received afterwards.
    void release();

signals:
    void DataReceived(int numberBytes, const QString& fromIp, int port);

private:
    void readPending();
    QUdpSocket* socket_ = nullptr;
    QByteArray last_;
};

} // namespace timesync
