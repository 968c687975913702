#pragma once
// TNTPForm: the hidden holder of the clock adjustment: the UDP endpoint, the interval timer and
// the time-out timer around the SNTP cycle, the name lookup and the setting of the clock.
#include <QWidget>
#include <memory>

#include "timesync/SntpClient.h"

class QTimer;

namespace timesync {

class TNMUDP;

class TNTPForm : public QWidget, private SntpHost {
    Q_OBJECT
public:
    // `service` sets the system clock (tests put a recorder in its place); null: the system's.
    explicit TNTPForm(platform::TimeService* service = nullptr);
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

    void lookUp(const std::string& host) override;
    void send(const std::string& address, const std::string& datagram) override;
    void startInterval(int ms) override;
    void stopInterval() override;
    void startTimeout(int ms) override;
    void stopTimeout() override;
    void speak(const std::string& line) override;
    void warn(const std::string& line) override;

    std::unique_ptr<platform::TimeService> ownService_;
    std::unique_ptr<SntpClient> client_;
};

extern TNTPForm* NTPForm;

} // namespace timesync
