#pragma once
// TNTPForm: the hidden holder of the clock adjustment: the UDP endpoint, the interval timer and
// the time-out timer around the SNTP cycle.
#include <QWidget>
#include <functional>
#include <memory>

#include "timesync/SntpClient.h"

class QTimer;

namespace timesync {

class TNMUDP;

class TNTPForm : public QWidget, private SntpHost {
    Q_OBJECT
public:
    // `setClock` sets the system clock; tests put a recorder in its place.
    explicit TNTPForm(std::function<void(const platform::LocalTime&)> setClock = {});
    ~TNTPForm() override;

    TNMUDP* UDPNTP = nullptr;
    QTimer* NTPTimer = nullptr;
    QTimer* NTPTimeoutTimer = nullptr;

    void AdjustTime();
    void NTPTimeoutTimerTimer();
    const SntpClient& client() const { return *client_; }
    // The session ends: the endpoint goes first.
    void releaseEndpoint();

private:
    void FormCreate();
    void DataReceived(int numberBytes, const QString& fromIp, int port);

    platform::LocalTime now() override;
    std::string resolve(const std::string& host) override;
    void send(const std::string& address, const std::string& datagram) override;
    void startInterval(int ms) override;
    void stopInterval() override;
    void startTimeout(int ms) override;
    void stopTimeout() override;
    void setClock(const platform::LocalTime& t) override;
    void speak(const std::string& line) override;

    std::unique_ptr<SntpClient> client_;
    std::function<void(const platform::LocalTime&)> setClock_;
};

extern TNTPForm* NTPForm;

} // namespace timesync
