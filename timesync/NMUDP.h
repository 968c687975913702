#pragma once
// TNMUDP: the UDP endpoint of the clock adjustment, on QUdpSocket. Bound from creation to all
// local addresses, IPv6 and IPv4 alike where the system has IPv6, on the local port asked for
// or, when another program (another user's) holds it, on any free one; datagrams are announced
// through the event loop.
#include <QByteArray>
#include <QObject>
#include <string>
#include <vector>

class QUdpSocket;

namespace timesync {

class TNMUDP : public QObject {
    Q_OBJECT
public:
    explicit TNMUDP(int localPort, QObject* parent = nullptr);
    ~TNMUDP() override;

    int RemotePort = 123;

    // The addresses this endpoint can send to, in the text the senders of datagrams are
    // announced in, IPv4 first: a name with both kinds keeps the address it always had.
    std::vector<std::string> usable(const std::vector<std::string>& addresses) const;
    // Sends one datagram to the address (as `usable` gives it), port RemotePort.
    void SendBuffer(const QByteArray& data, const std::string& address);
    // The datagram just received, at most `max` bytes of it.
    QByteArray ReadStream(int max) const { return last_.left(max); }
    // The local port, 0 when nothing could be bound.
    int localPort() const;
    // Closes the socket: nothing is sent or received afterwards.
    void release();
    bool released() const { return socket_ == nullptr; }

signals:
    void DataReceived(int numberBytes, const QString& fromIp, int port);

private:
    void readPending();
    QUdpSocket* socket_ = nullptr;
    bool ipv6_ = false;
    QByteArray last_;
};

} // namespace timesync
