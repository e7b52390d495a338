// SPDX-License-Identifier: GPL-3.0-or-later
// The widget edge of the CP936 texts.
#pragma once
#include <QString>

#include "platform/text.h"

inline QString QFromAnsi(const text::Ansi& s) { return QString::fromStdU16String(text::ToUtf16(s)); }
inline text::Ansi AnsiFromQ(const QString& s) { return text::FromUtf16(s.toStdU16String()); }
// A widget text written as a UTF-8 literal in the source.
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }
