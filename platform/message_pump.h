// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting loops (the HTTP client) call PumpMessages() so that the GUI keeps
// running: timers fire and clicks are handled while a request waits.
#pragma once
#include <functional>

namespace platform {

// The client installs Qt's event processing here; without one, pumping does nothing.
void SetMessagePump(std::function<void()> pump);
void PumpMessages();

}  // namespace platform
