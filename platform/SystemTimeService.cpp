#include "platform/SystemTimeService.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTimer>

namespace platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.timedate1");
const QString kPath = QStringLiteral("/org/freedesktop/timedate1");

void later(QObject* context, std::function<void(const std::string&)> done, std::string failure) {
    QTimer::singleShot(0, context,
                       [done = std::move(done), failure = std::move(failure)] { done(failure); });
}

} // namespace

void SystemTimeService::setUtc(std::int64_t utcUs,
                               std::function<void(const std::string& failure)> done) {
    std::string direct;
    if (hasClockRight()) {
        direct = setClockDirectly(utcUs);
        if (direct.empty()) {
            later(context_, std::move(done), {});
            return;
        }
        direct += "; "; // the right was not enough (a container, a policy): the service may do
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        later(context_, std::move(done),
              direct + "no system bus: " + bus.lastError().message().toStdString());
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("SetTime"));
    // UTC microseconds, absolute, and the agent may ask for an administrator.
    call << static_cast<qlonglong>(utcUs) << false << true;
    call.setInteractiveAuthorizationAllowed(true);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs_), context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_,
                     [watcher, direct, done = std::move(done)] {
                         watcher->deleteLater();
                         const QDBusError e = watcher->error();
                         if (!e.isValid()) {
                             done({});
                             return;
                         }
                         done(direct + "SetTime: " + e.name().toStdString() + ": " +
                              e.message().toStdString());
                     });
}

} // namespace platform
