// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's pictures and the font its Chinese texts are drawn with.
#pragma once
#include <QPixmap>
#include <QRect>
#include <QString>

// A picture of the resources ("busy.png"); a null picture when missing.
QPixmap Artwork(const char* name);

// Where key (row, column) of the dial pad lies on the keypad picture.
QRect KeypadKeyRect(int row, int column);
