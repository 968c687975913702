#include "timesync/NTPUnit.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "balloon/SerifuQueue.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/HostLookup.h"
#include "platform/SystemTimeService.h"
#include "timesync/NMUDP.h"

namespace timesync {

TNTPForm* NTPForm = nullptr;

namespace {
constexpr int kLocalPort = 19999;
// A name that has not resolved by then is not found: the next interval tries again.
constexpr int kLookupMs = 10000;

int minutesToMs(int minutes) {
    const long long ms = static_cast<long long>(minutes) * 60000;
    return static_cast<int>(std::clamp<long long>(ms, 0, 0x7FFFFFFF));
}
} // namespace

TNTPForm::TNTPForm(platform::TimeService* service) : QWidget(nullptr) {
    NTPForm = this;
    setWindowTitle(QStringLiteral("NTPForm"));
    if (!service) {
        ownService_ = std::make_unique<platform::SystemTimeService>(this);
        service = ownService_.get();
    }
    client_ = std::make_unique<SntpClient>(static_cast<SntpHost&>(*this),
                                           platform::systemUtcClock(), *service);
    UDPNTP = new TNMUDP(kLocalPort, this);
    UDPNTP->RemotePort = kServerPort;
    connect(UDPNTP, &TNMUDP::DataReceived, this, [this](int n, const QString& ip, int port) {
        platform::guard([&] { DataReceived(n, ip, port); });
    });
    NTPTimer = new QTimer(this);
    NTPTimeoutTimer = new QTimer(this);
    NTPTimeoutTimer->setInterval(5000);
    NTPTimeoutTimer->setSingleShot(false);
    connect(NTPTimer, &QTimer::timeout, this,
            [this] { platform::guard([this] { AdjustTime(); }); });
    connect(NTPTimeoutTimer, &QTimer::timeout, this,
            [this] { platform::guard([this] { NTPTimeoutTimerTimer(); }); });
    // At the session's end the endpoint is released before anything else.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { releaseEndpoint(); });
    platform::guard([this] { FormCreate(); });
}

TNTPForm::~TNTPForm() {
    if (NTPForm == this) {
        NTPForm = nullptr;
    }
}

void TNTPForm::FormCreate() {
    const core::Settings& s = core::settings();
    NTPTimer->setInterval(minutesToMs(s.NTPInterval));
    NTPTimeoutTimer->setInterval(replyTimeoutMs(s.NTPTimeout));
    if (s.isAdjust) {
        if (NTPTimer->interval() > 0) { // an interval of 0 leaves the timer silent
            NTPTimer->start();
        }
        AdjustTime();
    }
}

void TNTPForm::releaseEndpoint() {
    NTPTimer->stop();
    NTPTimeoutTimer->stop();
    if (UDPNTP) {
        UDPNTP->release();
    }
}

void TNTPForm::AdjustTime() {
    client_->AdjustTime(core::settings());
}

void TNTPForm::NTPTimeoutTimerTimer() {
    client_->NTPTimeoutTimerTimer();
}

void TNTPForm::DataReceived(int numberBytes, const QString& fromIp, int port) {
    const QByteArray d = UDPNTP->ReadStream(numberBytes);
    client_->DataReceived(std::string_view(d.constData(), static_cast<size_t>(d.size())),
                          fromIp.toStdString(), port, core::settings());
}

void TNTPForm::lookUp(const std::string& host) {
    platform::lookUpHost(host, this, kLookupMs, [this](std::vector<std::string> found) {
        if (UDPNTP->released()) {
            return; // the session has ended: nothing more is sent
        }
        platform::guard([&] { client_->Resolved(UDPNTP->usable(found), core::settings()); });
    });
}

void TNTPForm::send(const std::string& address, const std::string& datagram) {
    UDPNTP->SendBuffer(QByteArray(datagram.data(), static_cast<int>(datagram.size())), address);
}

void TNTPForm::startInterval(int ms) {
    if (ms >= 0) {
        NTPTimer->setInterval(ms);
    }
    if (NTPTimer->interval() > 0) {
        NTPTimer->start();
    }
}

void TNTPForm::stopInterval() {
    NTPTimer->stop();
}
void TNTPForm::startTimeout(int ms) {
    NTPTimeoutTimer->start(ms);
}
void TNTPForm::stopTimeout() {
    NTPTimeoutTimer->stop();
}

void TNTPForm::speak(const std::string& line) {
    balloon::SerifuQueue().add(line);
}

void TNTPForm::warn(const std::string& line) {
    std::fprintf(stderr, "なごみ: %s\n", line.c_str());
}

} // namespace timesync
