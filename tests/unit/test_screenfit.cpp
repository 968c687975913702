// Off-screen recovery: which windows stay, and where the lost ones go.
#include <climits>
#include <gtest/gtest.h>

#include "platform/ScreenFit.h"

using platform::offScreenRecovery;
using platform::ScreenPoint;
using platform::ScreenRect;

namespace {
const ScreenRect kLaptop{0, 0, 1280, 800};
const ScreenRect kRight{1280, -200, 1920, 1080}; // a taller monitor to the right
constexpr ScreenPoint kHome{793, 167};
} // namespace

TEST(ScreenFit, AnyPartOnAnyScreenStays) {
    // Edges, corners and the second monitor: the user put it there.
    for (const ScreenRect& w :
         {ScreenRect{1279, 799, 201, 191}, ScreenRect{-200, -190, 201, 191},
          ScreenRect{2000, -300, 201, 191}, ScreenRect{3199, 400, 201, 191}}) {
        EXPECT_FALSE(offScreenRecovery(w, {kLaptop, kRight}, kLaptop, kHome)) << w.x << "," << w.y;
    }
}

TEST(ScreenFit, WindowOnNoScreenGoesHome) {
    // Touching an edge from outside is not on the screen.
    EXPECT_EQ(offScreenRecovery({1280, 100, 201, 191}, {kLaptop}, kLaptop, kHome),
              (ScreenPoint{793, 167}));
    EXPECT_EQ(offScreenRecovery({-201, 100, 201, 191}, {kLaptop}, kLaptop, kHome),
              (ScreenPoint{793, 167}));
    // The monitor it stood on was unplugged.
    EXPECT_EQ(offScreenRecovery({2000, 100, 201, 191}, {kLaptop}, kLaptop, kHome),
              (ScreenPoint{793, 167}));
    // Positions from the file at the ends of the range do not overflow.
    EXPECT_EQ(offScreenRecovery({INT_MAX - 10, INT_MIN, 201, 191}, {kLaptop}, kLaptop, kHome),
              (ScreenPoint{793, 167}));
}

TEST(ScreenFit, HomeIsOnThePrimaryScreenAndPulledOntoIt) {
    // Home counts from the primary screen's corner.
    EXPECT_EQ(offScreenRecovery({9000, 0, 201, 191}, {kLaptop, kRight}, kRight, {100, 100}),
              (ScreenPoint{1380, -100}));
    // At scale 2 a 1280 × 800 screen is 640 × 400: her home is beyond it too.
    const ScreenRect half{0, 0, 640, 400};
    EXPECT_EQ(offScreenRecovery({693, 167, 201, 191}, {half}, half, kHome),
              (ScreenPoint{439, 167}));
    // Larger than the screen: its top-left corner stays on it.
    EXPECT_EQ(offScreenRecovery({-5000, 0, 800, 600}, {half}, half, kHome), (ScreenPoint{0, 0}));
}

TEST(ScreenFit, NothingToJudgeWithoutSizes) {
    EXPECT_FALSE(offScreenRecovery({5000, 0, 0, 0}, {kLaptop}, kLaptop, kHome));
    EXPECT_FALSE(offScreenRecovery({5000, 0, 201, 191}, {}, ScreenRect{}, kHome));
}
