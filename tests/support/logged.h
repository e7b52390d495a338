// SPDX-License-Identifier: GPL-3.0-or-later
// What the client wrote to its daily log, for the tests that check a line.
#pragma once
#include <fstream>
#include <sstream>
#include <string>

#include "core/daily_log.h"
#include "platform/executable.h"

namespace testlog {

// True when a line not yet flushed holds `part`.
inline bool Logged(const text::Ansi& part) {
    for (const text::Ansi& l : LogBufferLines())
        if (l.find(part) != text::Ansi::npos) return true;
    return false;
}

// The day's file as written so far (the 5 s timer flushes it), then the
// lines still buffered.
inline text::Ansi LogText() {
    std::ifstream in(platform::NativePath(LogFileName()), std::ios::binary);
    std::stringstream file;
    file << in.rdbuf();
    text::Ansi all = file.str();
    for (const auto& l : LogBufferLines()) all += l + "\n";
    return all;
}

// True when the day's file or a line not yet flushed holds `part`.
inline bool LoggedOrFlushed(const text::Ansi& part) { return LogText().find(part) != text::Ansi::npos; }

}  // namespace testlog
