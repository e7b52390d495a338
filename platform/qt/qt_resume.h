// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace platform {

// Listens on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the system's own)
// for logind's PrepareForSleep(false), the end of a sleep, and then calls
// NotifyResumed on the GUI thread. False when there is no system bus: the
// client then relies on its registration refresh alone.
bool WatchSystemResume();

}  // namespace platform
