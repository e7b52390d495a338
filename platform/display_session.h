// SPDX-License-Identifier: GPL-3.0-or-later
// Which of Qt's platform plugins the client asks for. A Wayland client can
// neither place its window nor keep it off the task bar, so in a Wayland
// session that offers an X server (XWayland) the client goes through it. A
// QT_QPA_PLATFORM the user set always wins; without XWayland Qt chooses.
#pragma once
#include <string>

namespace platform {

struct SessionEnvironment {
    std::string qtQpaPlatform;   // QT_QPA_PLATFORM
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string display;         // DISPLAY
};

SessionEnvironment CurrentSessionEnvironment();

// "xcb", or "" to leave the choice to Qt.
std::string ChooseQtPlatform(const SessionEnvironment& env);

}  // namespace platform
