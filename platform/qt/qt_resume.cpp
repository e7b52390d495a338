// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_resume.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include "platform/qt/sleep_watch.h"
#include "platform/resume.h"

namespace platform {

void SleepWatch::PrepareForSleep(bool sleeping) {
    if (!sleeping) NotifyResumed();
}

bool WatchSystemResume() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    static auto* watch = new SleepWatch(QCoreApplication::instance());
    return bus.connect("org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                       "PrepareForSleep", watch, SLOT(PrepareForSleep(bool)));
}

}  // namespace platform
