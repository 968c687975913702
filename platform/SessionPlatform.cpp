#include "platform/SessionPlatform.h"

#include <cstdlib>

namespace platform {
namespace {

std::string variable(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

} // namespace

PlatformChoice choosePlatform(const SessionVariables& s) {
    const bool wayland = !s.waylandDisplay.empty() || s.sessionType == "wayland";
    if (!wayland) {
        return PlatformChoice::AsIs;
    }
    // A platform other than Wayland chosen on purpose (offscreen for tests, xcb) stands.
    if (!s.qpaPlatform.empty() && s.qpaPlatform.rfind("wayland", 0) != 0) {
        return PlatformChoice::AsIs;
    }
    return s.display.empty() ? PlatformChoice::WaylandWithoutX : PlatformChoice::X11;
}

SessionVariables currentSession() {
    return SessionVariables{variable("QT_QPA_PLATFORM"), variable("WAYLAND_DISPLAY"),
                            variable("XDG_SESSION_TYPE"), variable("DISPLAY")};
}

} // namespace platform
