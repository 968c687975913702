#include "platform/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <X11/ICE/ICElib.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "platform/TcpClient.h"

namespace platform {
namespace {

int g_pipe[2] = {-1, -1};
std::function<void()>& onEndFn() {
    static std::function<void()> f;
    return f;
}
std::function<void()>& emergencyFn() {
    static std::function<void()> f;
    return f;
}
bool g_armed = false;

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_pipe[1], &c, 1);
}

// The session manager's connection broke: it ended or crashed, and the session is over.
// libICE's default handler would exit() at once from inside the toolkit's read, leaving the
// single-instance socket behind and reporting failure. Returning marks the connection dead;
// the orderly end follows from the event loop.
void onSessionManagerLost(IceConn) {
    onSignal(0);
}

void atExit() {
    if (g_armed && emergencyFn()) {
        g_armed = false;
        emergencyFn()();
    }
}

} // namespace

void installSessionEndHandlers(std::function<void()> onEnd) {
    onEndFn() = std::move(onEnd);
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char buf[16];
            while (::read(g_pipe[0], buf, sizeof buf) > 0) {
            }
            if (onEndFn()) {
                onEndFn()();
            }
        });
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
        // A session manager need not wait for her after Die: her last words to its closed
        // socket must fail, not kill her. (Qt's own sockets ignore SIGPIPE the same way.)
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, nullptr);
        IceSetIOErrorHandler(onSessionManagerLost);
        // A blocking mail check gives way at once to a signal (its byte stays in the pipe for
        // the event loop) and to the end of the display's connection.
        addWaitInterrupt(g_pipe[0], POLLIN);
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (x11 && QGuiApplication::platformName() == QLatin1String("xcb") && x11->connection()) {
            addWaitInterrupt(xcb_get_file_descriptor(x11->connection()), 0);
        }
    }
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app) {
        QObject::connect(app, &QGuiApplication::commitDataRequest, [](QSessionManager&) {
            if (onEndFn()) {
                onEndFn()();
            }
        });
    }
}

void installExitSafetyNet(std::function<void()> emergency) {
    emergencyFn() = std::move(emergency);
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit(atExit);
    }
    g_armed = true;
}

void disarmExitSafetyNet() {
    g_armed = false;
}

} // namespace platform
