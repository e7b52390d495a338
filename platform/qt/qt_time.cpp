// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_time.h"

#include <QLocale>
#include <QTime>

#include "platform/clock.h"
#include "platform/qt/qt_text.h"

text::Ansi LongTimeText() {
    const platform::LocalTime t = platform::clock().Now();
    // Some regions' long format names a time zone; the desktop's never did.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return AnsiFromQ(QTime(t.hour, t.minute, t.second).toString(format.trimmed()));
}
