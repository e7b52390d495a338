// SPDX-License-Identifier: GPL-3.0-or-later
// Local date and time, replaceable so that tests can stand at any moment.
#pragma once

namespace platform {

struct LocalTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
};

Clock& clock();
void SetClock(Clock* c);  // nullptr restores the system clock

}  // namespace platform
