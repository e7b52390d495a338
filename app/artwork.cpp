// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"

#include <QFontDatabase>

QPixmap Artwork(const char* name) { return QPixmap(QStringLiteral(":/images/") + QString::fromLatin1(name)); }

QString UiFontFamily() {
    static const QString family = [] {
        const QStringList have = QFontDatabase::families();
        for (const QString& f : {QString::fromUtf8("宋体"), QStringLiteral("SimSun")})
            if (have.contains(f)) return f;
        return QStringLiteral("Noto Sans CJK SC");
    }();
    return family;
}

// The keypad picture (tools/make_artwork.py) draws its keys on this grid.
QRect KeypadKeyRect(int row, int column) { return QRect(5 + column * 30, 4 + row * 33, 28, 30); }
