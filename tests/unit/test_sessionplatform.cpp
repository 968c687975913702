// Which windowing platform she asks Qt for, from the session's variables.
#include <gtest/gtest.h>

#include "platform/SessionPlatform.h"

using platform::choosePlatform;
using platform::PlatformChoice;
using platform::SessionVariables;

TEST(SessionPlatform, WaylandSessionsRunThroughXwayland) {
    // Either sign of a Wayland session is enough; some sessions give only one of them.
    EXPECT_EQ(choosePlatform({"", "wayland-0", "wayland", ":0"}), PlatformChoice::X11);
    EXPECT_EQ(choosePlatform({"", "wayland-0", "", ":1"}), PlatformChoice::X11);
    EXPECT_EQ(choosePlatform({"", "", "wayland", ":0"}), PlatformChoice::X11);
    // Desktops that ask Qt for Wayland first ask it for the platform she cannot use.
    EXPECT_EQ(choosePlatform({"wayland", "wayland-0", "wayland", ":0"}), PlatformChoice::X11);
    EXPECT_EQ(choosePlatform({"wayland;xcb", "wayland-0", "wayland", ":0"}), PlatformChoice::X11);
    EXPECT_EQ(choosePlatform({"wayland-egl", "wayland-0", "", ":0"}), PlatformChoice::X11);
}

TEST(SessionPlatform, OtherSessionsAndDeliberateChoicesAreLeftAlone) {
    EXPECT_EQ(choosePlatform({"", "", "x11", ":0"}), PlatformChoice::AsIs);
    EXPECT_EQ(choosePlatform({"", "", "", ":0"}), PlatformChoice::AsIs);
    EXPECT_EQ(choosePlatform({"", "", "tty", ""}), PlatformChoice::AsIs);
    // Tests run offscreen; someone who names xcb gets xcb either way.
    EXPECT_EQ(choosePlatform({"offscreen", "wayland-0", "wayland", ":0"}), PlatformChoice::AsIs);
    EXPECT_EQ(choosePlatform({"xcb", "wayland-0", "wayland", ""}), PlatformChoice::AsIs);
}

TEST(SessionPlatform, WaylandWithoutXwaylandIsReported) {
    EXPECT_EQ(choosePlatform({"", "wayland-0", "wayland", ""}), PlatformChoice::WaylandWithoutX);
    EXPECT_EQ(choosePlatform({"wayland", "wayland-0", "", ""}), PlatformChoice::WaylandWithoutX);
}
