// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/daily_log.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/shared_state.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/executable.h"
#include "platform/user_files.h"

namespace {

// Engine callbacks may log from their own thread; the lock keeps appends and
// the flush apart.
std::mutex g_mutex;
std::vector<text::Ansi> g_lines;  // LogBuffer

// The account becomes part of a file name: characters that would leave the
// log folder or that file names cannot hold are replaced.
text::Ansi FileSafe(const text::Ansi& s) {
    text::Ansi r = s;
    for (char& c : r) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
            c == '|')
            c = '_';
    }
    if (r == "." || r == "..") r = "_";
    return r;
}

}  // namespace

text::Ansi DateTimeText() {
    platform::LocalTime t = platform::clock().Now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

void WriteLog(const text::Ansi& text) {
    text::Ansi line = DateTimeText() + "\t" + text;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.push_back(std::move(line));
}

text::Ansi LogFileName() {
    platform::LocalTime t = platform::clock().Now();
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", t.year, t.month, t.day);
    return platform::LogFolder() + "\\" + FileSafe(Account) + "_" + date + ".txt";
}

void FlushLog() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Anything already named "log" counts as the folder; if it is a plain
    // file, opening the log file below fails silently and the lines wait.
    const std::string folder = platform::NativePath(platform::LogFolder());
    if (!fs::exists(folder, ec)) {
        fs::create_directory(folder, ec);
        if (ec) {
            platform::dialogs().ShowMessage(text::ZH("创建日志目录失败，详细信息是") + text::FromUtf8(ec.message()));
            return;
        }
    }
    std::FILE* f = std::fopen(platform::NativePath(LogFileName()).c_str(), "ab");
    if (!f) return;
    std::vector<text::Ansi> lines;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        lines.swap(g_lines);
    }
    for (const text::Ansi& l : lines) {
        std::fwrite(l.data(), 1, l.size(), f);
        std::fwrite("\r\n", 1, 2, f);
    }
    std::fclose(f);
}

std::vector<text::Ansi> LogBufferLines() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lines;
}

std::size_t LogBufferSize() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lines.size();
}

void ClearLogBuffer() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
}
