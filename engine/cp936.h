// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between the client's code page 936 texts and the SIP stack's UTF-8.
#ifndef ZENT_ENGINE_CP936_H
#define ZENT_ENGINE_CP936_H

#include <string>
#include <string_view>

namespace zent {

// Bytes that cannot be converted become '?', so a bad text never stops a call
// or a message; a null pointer converts to "".
std::string Cp936ToUtf8(std::string_view cp936);
std::string Utf8ToCp936(std::string_view utf8);
std::string Cp936ToUtf8(const char* cp936);
std::string Utf8ToCp936(const char* utf8);

}  // namespace zent

#endif
