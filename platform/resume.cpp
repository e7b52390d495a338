// SPDX-License-Identifier: GPL-3.0-or-later
#include "resume.h"

#include <utility>

namespace platform {
namespace {
std::function<void()> g_resumed;
}

void SetResumeHandler(std::function<void()> handler) { g_resumed = std::move(handler); }

void NotifyResumed() {
    if (g_resumed) g_resumed();
}

}  // namespace platform
