// SPDX-License-Identifier: GPL-3.0-or-later
// The machine woke from sleep. Its clocks jumped, routers and servers may
// have forgotten the client meanwhile: the client registers again at once.
// The desktop's watch (platform/qt/qt_resume.cpp) calls NotifyResumed.
#pragma once
#include <functional>

namespace platform {

// The one handler; an empty function removes it.
void SetResumeHandler(std::function<void()> handler);
void NotifyResumed();

}  // namespace platform
