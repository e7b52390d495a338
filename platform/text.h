// SPDX-License-Identifier: GPL-3.0-or-later
// Texts inside the program are byte strings in code page 936 (GBK): lengths,
// limits and positions count bytes, so a Chinese character counts 2.
// Conversion happens only at the edges (widgets, the engine's UTF-8).
#pragma once
#include <string>
#include <string_view>

namespace text {

// A CP936 byte string. An alias, so std::string's operations apply.
using Ansi = std::string;

// UTF-8 to CP936. Characters CP936 cannot hold become "?".
Ansi FromUtf8(std::string_view utf8);
// CP936 to UTF-8. Bytes that are not valid CP936 become U+FFFD.
std::string ToUtf8(std::string_view ansi);
Ansi FromUtf16(std::u16string_view utf16);
std::u16string ToUtf16(std::string_view ansi);
// Text the system gives in its own code page (error messages: the ANSI code
// page on Windows, the locale's character set elsewhere) to CP936.
Ansi FromSystem(std::string_view text);

// The program's Chinese literals are written in UTF-8 source; this gives their CP936 bytes.
inline Ansi ZH(std::string_view utf8) { return FromUtf8(utf8); }

// Removes leading and trailing blanks and control characters (bytes <= 0x20).
Ansi Trim(std::string_view s);

// True for one or more decimal digits whose value fits a signed 32-bit
// integer; signs, blanks and every other character make it false.
bool IsDecimalInt32(std::string_view s);

// True when `a` and `b` differ at most in the case of ASCII letters, as
// Info.ini's section and key names and the forms' class names are compared.
bool SameName(std::string_view a, std::string_view b);

// Upper-case hexadecimal of `bytes`, two digits a byte, no separators.
std::string ToHex(std::string_view bytes);

}  // namespace text
