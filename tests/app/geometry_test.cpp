// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/window_geometry.h"

namespace {

struct Case {
    int screenW, screenH;
    int width, top, height;
};

class GeometryTest : public ::testing::TestWithParam<Case> {};

TEST_P(GeometryTest, WidthTopHeightThenTheLeftColumn) {
    const Case c = GetParam();
    const WindowGeometry g = MainWindowGeometry(c.screenW, c.screenH);
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.top, c.top);
    EXPECT_EQ(g.height, c.height);
    EXPECT_EQ(g.left, (c.screenW - c.width) / 2);  // centred horizontally
}

INSTANTIATE_TEST_SUITE_P(Screens, GeometryTest,
                         ::testing::Values(Case{1366, 768, 860 + 98, 38, 576},   // 860.58 truncated
                                           Case{1360, 768, 856 + 98, 38, 576},   // 856.8 truncated
                                           Case{1024, 768, 870 + 98, 38, 576},   // 870.4
                                           Case{1280, 1024, 870 + 98, 51, 768},  // 870.4, 51.2
                                           Case{800, 600, 800 + 98, 10, 540},    // wider than the screen
                                           Case{1440, 900, 936 + 98, 45, 675},   // any other, above 1024
                                           Case{900, 700, 810 + 98, 35, 525},    // any other, not above 1024
                                           Case{1024, 600, 870 + 98, 10, 540},   // height exactly 600: the small rule
                                           Case{1024, 601, 870 + 98, 30, 450},   // just above 600
                                           Case{1025, 768, 666 + 98, 38, 576},   // 1025 is above 1024: 0.65
                                           Case{1920, 1080, 1248 + 98, 54, 810}));

TEST(GeometryTest, LeftColumnWidthIsAddedLast) {
    // The percentage applies to the screen, not to the widened window.
    EXPECT_EQ(MainWindowGeometry(1366, 768, 0).width, 860);
    EXPECT_EQ(MainWindowGeometry(1366, 768, 100).width, 960);
}

}  // namespace
