// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock.h"

#include <ctime>

namespace platform {
namespace {

class SystemClock final : public Clock {
public:
    LocalTime Now() override {
        std::time_t t = std::time(nullptr);
        std::tm tm{};
#ifdef _WIN32
        localtime_s(&tm, &t);
#else
        localtime_r(&t, &tm);
#endif
        return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
};

SystemClock g_system;
Clock* g_current = &g_system;

}  // namespace

Clock& clock() { return *g_current; }
void SetClock(Clock* c) { g_current = c ? c : &g_system; }

}  // namespace platform
