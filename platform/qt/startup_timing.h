// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up milestones under the logging category "ravelo.startup", off unless
// a user switches it on: QT_LOGGING_RULES="ravelo.startup.info=true". Each
// line carries the wall-clock time (ms since the epoch) and the ms since the
// process began, so a tool that starts the program can line them up.
#pragma once

namespace platform {

// Logs the milestone once per process; later calls with the same name are dropped.
void MarkStartup(const char* milestone);

// One line per received message shown in a chat window, under the category
// "ravelo.messages" (off unless switched on), so a flood can be timed from
// outside: "message shown at <ms since the epoch>".
void MarkMessageShown();

}  // namespace platform
