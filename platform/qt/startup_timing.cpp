// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/startup_timing.h"

#include <QLoggingCategory>

#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <unistd.h>

namespace platform {
namespace {

Q_LOGGING_CATEGORY(lcStartup, "ravelo.startup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcMessages, "ravelo.messages", QtWarningMsg)

double NowEpochMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The process's start as the kernel recorded it (clock ticks after boot),
// in ms since the epoch; 0 where unknown.
double ProcessStartEpochMs() {
#ifdef __linux__
    std::ifstream stat("/proc/self/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    const auto close = line.rfind(')');
    if (close == std::string::npos) return 0;
    // Field 22 (starttime); field 3 follows the command's closing parenthesis.
    std::size_t pos = close + 2;
    for (int field = 3; field < 22 && pos != std::string::npos; ++field) pos = line.find(' ', pos) + 1;
    if (pos == std::string::npos || pos == 0) return 0;
    const double ticks = std::strtod(line.c_str() + pos, nullptr);
    timespec boot{}, real{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    clock_gettime(CLOCK_REALTIME, &real);
    const double bootEpochMs =
        static_cast<double>(real.tv_sec - boot.tv_sec) * 1e3 + static_cast<double>(real.tv_nsec - boot.tv_nsec) / 1e6;
    return bootEpochMs + ticks * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
#else
    return 0;
#endif
}

}  // namespace

void MarkStartup(const char* milestone) {
    if (!lcStartup().isInfoEnabled()) return;
    static std::mutex mu;
    static std::set<std::string> seen;
    static const double start = ProcessStartEpochMs();
    const double now = NowEpochMs();
    {
        std::lock_guard<std::mutex> lock(mu);
        if (!seen.insert(milestone).second) return;
    }
    qCInfo(lcStartup, "%s at %.3f ms since the epoch, %.0f ms after the process began", milestone, now,
           start > 0 ? now - start : 0.0);
}

void MarkMessageShown() {
    if (!lcMessages().isInfoEnabled()) return;
    qCInfo(lcMessages, "message shown at %.3f ms since the epoch", NowEpochMs());
}

}  // namespace platform
