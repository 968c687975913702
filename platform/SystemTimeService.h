#pragma once
// Setting the system clock the way desktop programs do: directly with the right to, otherwise
// through the system's time service on the system bus, asked to let the desktop's
// authentication agent ask an administrator. Never waits: the outcome comes through the event
// loop.
#include "platform/ClockSetting.h"

class QObject;

namespace platform {

// How long the time service may take: long enough for a person to answer the agent's question.
constexpr int kTimeServiceTimeoutMs = 120000;

class SystemTimeService : public TimeService {
public:
    // Outcomes are delivered on `context`'s thread, and none once it is gone.
    explicit SystemTimeService(QObject* context, int timeoutMs = kTimeServiceTimeoutMs)
        : context_(context), timeoutMs_(timeoutMs) {}
    void setUtc(std::int64_t utcUs, std::function<void(const std::string& failure)> done) override;

private:
    QObject* context_;
    int timeoutMs_;
};

} // namespace platform
