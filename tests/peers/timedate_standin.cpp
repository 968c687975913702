// A stand-in for the system's time service on a private system bus (DBUS_SYSTEM_BUS_ADDRESS): it
// records the clock settings asked of it and sets nothing.
// timedate_standin record|deny [synchronized]
// Prints "ready" once it owns the name, then "SetTime USEC RELATIVE INTERACTIVE AGENT" for each
// call (AGENT: whether the caller let an administrator be asked). `deny` answers each with an
// access-denied error, as a refused authorisation does; `synchronized` reports the clock as kept
// by NTP.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QObject>
#include <cstdio>
#include <cstring>

namespace {

class TimeDate : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.timedate1")
    Q_PROPERTY(bool NTPSynchronized READ synchronized)
    Q_PROPERTY(bool NTP READ synchronized)
public:
    TimeDate(bool deny, bool synchronized) : deny_(deny), synchronized_(synchronized) {}
    bool synchronized() const { return synchronized_; }

public slots:
    void SetTime(qlonglong usec, bool relative, bool interactive) {
        std::printf("SetTime %lld %d %d %d\n", static_cast<long long>(usec), relative ? 1 : 0,
                    interactive ? 1 : 0, message().isInteractiveAuthorizationAllowed() ? 1 : 0);
        std::fflush(stdout);
        if (deny_) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Access denied"));
        }
    }

private:
    bool deny_;
    bool synchronized_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: timedate_standin record|deny [synchronized]\n");
        return 2;
    }
    TimeDate service(std::strcmp(argv[1], "deny") == 0,
                     argc > 2 && std::strcmp(argv[2], "synchronized") == 0);
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/timedate1"), &service,
                            QDBusConnection::ExportAllSlots |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.freedesktop.timedate1"))) {
        std::fprintf(stderr, "timedate_standin: %s\n",
                     bus.lastError().message().toLocal8Bit().constData());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "timedate_standin.moc"
