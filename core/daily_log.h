// SPDX-License-Identifier: GPL-3.0-or-later
// The daily log: lines are stamped and kept in memory; FlushLog appends them
// to log\<Account>_<YYYYMMDD>.txt relative to the working folder (an
// installed client: in the user's state folder, platform/user_files.h).
#pragma once
#include <string>
#include <vector>

#include "core/text.h"

// Local date and time of log lines and message records: "YYYY-MM-DD HH:MM:SS".
text::Ansi DateTimeText();

// Appends date-time + tab + `text` to LogBuffer; never touches the disk.
// Safe from any thread.
void WriteLog(const text::Ansi& text);

// Creates the "log" folder, appends every buffered line with CR LF and empties
// the buffer. When the folder cannot be created a message box says why and the
// lines stay; when the file cannot be opened the lines stay silently.
void FlushLog();

// The file FlushLog would write to now: "log\" + Account + "_" + date + ".txt",
// the log folder being the installed client's where it has one.
text::Ansi LogFileName();

// A copy of the lines not yet written, oldest first.
std::vector<text::Ansi> LogBufferLines();
std::size_t LogBufferSize();
void ClearLogBuffer();
