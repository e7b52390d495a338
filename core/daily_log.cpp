// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/daily_log.h"

#include <cstdio>
#include <mutex>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

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

// Creates the log folder; anything already named "log" counts as the folder
// (if it is a plain file, opening the log file fails silently and the lines
// wait). On failure `why` gets the system's reason, in CP936.
bool MakeLogFolder(const std::string& folder, text::Ansi& why) {
#ifdef _WIN32
    if (CreateDirectoryA(folder.c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) return true;
    char* message = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string reason(message ? message : "", n);
    if (message) LocalFree(message);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n')) reason.pop_back();
    why = text::FromSystem(reason);
    return false;
#else
    // Owner only: the log holds the account and the service's tokens.
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
    why = text::FromSystem(std::strerror(errno));
    return false;
#endif
}

std::FILE* OpenLogFile(const std::string& path) {
#ifdef _WIN32
    return std::fopen(path.c_str(), "ab");
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "ab");
    if (!f) ::close(fd);
    return f;
#endif
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
    // The box is modal and the 5-second flush goes on behind it: one box at
    // a time, not one more inside it every tick. The lines wait meanwhile.
    static bool reporting = false;
    if (reporting) return;
    text::Ansi why;
    if (!MakeLogFolder(platform::NativePath(platform::LogFolder()), why)) {
        reporting = true;
        platform::dialogs().ShowMessage(text::ZH("创建日志目录失败，详细信息是") + why);
        reporting = false;
        return;
    }
    std::FILE* f = OpenLogFile(platform::NativePath(LogFileName()));
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
