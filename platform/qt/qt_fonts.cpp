// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_fonts.h"

#include <QFontDatabase>
#include <QStringList>

QString UiFontFamily() {
    static const QString family = [] {
        const QStringList have = QFontDatabase::families();
        for (const QString& f : {QString::fromUtf8("宋体"), QStringLiteral("SimSun")})
            if (have.contains(f)) return f;
        return QStringLiteral("Noto Sans CJK SC");
    }();
    return family;
}

QFont UiPixelFont(int px, bool bold) {
    QFont f(UiFontFamily());
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}
