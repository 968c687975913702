#pragma once
// Which windowing platform the program runs on. She needs window positions, stacking and
// window shapes, which Wayland does not give its clients; on a Wayland session she runs on X11
// through Xwayland instead.
#include <string>

namespace platform {

struct SessionVariables {
    std::string qpaPlatform;    // a platform the user asked Qt for, or empty
    std::string waylandDisplay; // set on a Wayland session
    std::string sessionType;    // "wayland", "x11", ...
    std::string display;        // the X display (Xwayland's, on a Wayland session)
};

enum class PlatformChoice {
    AsIs,            // leave Qt's own choice
    X11,             // run on X11 through Xwayland
    WaylandWithoutX, // a Wayland session without Xwayland: she will look and behave wrongly
};

PlatformChoice choosePlatform(const SessionVariables& session);

// Reads the session from the process environment.
SessionVariables currentSession();

} // namespace platform
