// SPDX-License-Identifier: GPL-3.0-or-later
#include "display_session.h"

#include <cstdlib>

namespace platform {
namespace {
std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
}  // namespace

SessionEnvironment CurrentSessionEnvironment() {
    return {Env("QT_QPA_PLATFORM"), Env("WAYLAND_DISPLAY"), Env("XDG_SESSION_TYPE"), Env("DISPLAY")};
}

std::string ChooseQtPlatform(const SessionEnvironment& env) {
    if (!env.qtQpaPlatform.empty()) return "";
    const bool wayland = !env.waylandDisplay.empty() || env.sessionType == "wayland";
    return wayland && !env.display.empty() ? "xcb" : "";
}

}  // namespace platform
