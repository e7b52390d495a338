// SPDX-License-Identifier: GPL-3.0-or-later
#include "executable.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace platform {
namespace {
std::string g_override;

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif
}  // namespace

std::string ExecutablePath() {
#ifdef _WIN32
    char buf[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return std::string(buf, n);
#else
    char buf[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
#endif
}

std::string ExecutableFolder() {
    if (!g_override.empty()) {
        std::string f = g_override;
        if (f.back() != kSep) f += kSep;
        return f;
    }
    std::string p = ExecutablePath();
    auto pos = p.find_last_of(kSep);
    return pos == std::string::npos ? std::string() : p.substr(0, pos + 1);
}

void SetExecutableFolderOverride(const std::string& folder) { g_override = folder; }

std::string NativePath(const std::string& path) {
    std::string p = path;
#ifndef _WIN32
    std::replace(p.begin(), p.end(), '\\', '/');
#endif
    return p;
}

}  // namespace platform
