// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_pump.h"

#include <utility>

namespace platform {
namespace {
std::function<void()> g_pump;
}

void SetMessagePump(std::function<void()> pump) { g_pump = std::move(pump); }

void PumpMessages() {
    if (g_pump) g_pump();
}

}  // namespace platform
