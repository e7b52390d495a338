// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting loops (the HTTP client) call PumpMessages() so that the GUI keeps
// running: timers fire and clicks are handled while a request waits.
#pragma once
#include <functional>

namespace platform {

// The client installs Qt's event processing here; without one, pumping does nothing.
void SetMessagePump(std::function<void()> pump);
void PumpMessages();

// A wait on a thread other than the GUI's (a request made before the
// windows exist) must not run the GUI's events: while one of these lives,
// PumpMessages does nothing on the thread that made it.
class NoPumpOnThisThread {
public:
    NoPumpOnThisThread();
    ~NoPumpOnThisThread();
    NoPumpOnThisThread(const NoPumpOnThisThread&) = delete;
    NoPumpOnThisThread& operator=(const NoPumpOnThisThread&) = delete;
};

}  // namespace platform
