// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' font: "宋体" where the desktop has it, otherwise the
// Simplified Chinese shapes of the CJK face (the fallback would pick
// Japanese ones).
#pragma once
#include <QFont>
#include <QString>

QString UiFontFamily();
QFont UiPixelFont(int px, bool bold = false);
