// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_resume.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>

#include "platform/resume.h"

namespace platform {
namespace {

class SleepWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
public slots:
    // logind says true before the machine sleeps and false once it is awake.
    void PrepareForSleep(bool sleeping) {
        if (!sleeping) NotifyResumed();
    }
};

}  // namespace

bool WatchSystemResume() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    static auto* watch = new SleepWatch(QCoreApplication::instance());
    return bus.connect("org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                       "PrepareForSleep", watch, SLOT(PrepareForSleep(bool)));
}

}  // namespace platform

#include "qt_resume.moc"
