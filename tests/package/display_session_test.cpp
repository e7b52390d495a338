// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/display_session.h"

TEST(DisplaySession, WaylandSessionsGoThroughXWaylandUnlessTheUserChose) {
    struct Case {
        platform::SessionEnvironment env;
        const char* expected;
    } cases[] = {
        {{"", "wayland-0", "wayland", ":0"}, "xcb"},      // GNOME, Plasma: XWayland there
        {{"", "wayland-0", "", ":0"}, "xcb"},             // no session type given
        {{"", "", "wayland", ":0"}, "xcb"},               // socket name not exported
        {{"wayland", "wayland-0", "wayland", ":0"}, ""},  // the user's choice holds
        {{"offscreen", "", "", ""}, ""},                  // tests, headless
        {{"", "wayland-0", "wayland", ""}, ""},           // no XWayland: Qt's own choice
        {{"", "", "x11", ":0"}, ""},                      // an X11 session
        {{"", "", "", ""}, ""},                           // nothing known
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::ChooseQtPlatform(c.env), c.expected)
            << c.env.qtQpaPlatform << "|" << c.env.waylandDisplay << "|" << c.env.sessionType << "|" << c.env.display;
}
