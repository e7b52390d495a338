// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

namespace platform {

// Receives logind's PrepareForSleep from the system bus (qt_resume.cpp).
class SleepWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
public slots:
    // logind says true before the machine sleeps and false once it is awake.
    void PrepareForSleep(bool sleeping);
};

}  // namespace platform
