// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"

QPixmap Artwork(const char* name) { return QPixmap(QStringLiteral(":/images/") + QString::fromLatin1(name)); }

// The keypad picture (tools/make_artwork.py) draws its keys on this grid.
QRect KeypadKeyRect(int row, int column) { return QRect(5 + column * 30, 4 + row * 33, 28, 30); }
