// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_pump.h"

#include <utility>

namespace platform {
namespace {
std::function<void()> g_pump;
thread_local int t_noPump = 0;
}  // namespace

void SetMessagePump(std::function<void()> pump) { g_pump = std::move(pump); }

void PumpMessages() {
    if (t_noPump == 0 && g_pump) g_pump();
}

NoPumpOnThisThread::NoPumpOnThisThread() { ++t_noPump; }
NoPumpOnThisThread::~NoPumpOnThisThread() { --t_noPump; }

}  // namespace platform
