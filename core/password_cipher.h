// SPDX-License-Identifier: GPL-3.0-or-later
// The cipher of the stored credentials: single DES (FIPS 46-3) in ECB mode
// with one fixed key, and the hexadecimal text form kept in Info.ini.
//
// Stored form: two upper-case hex digits with the plaintext length L (0-255)
// in clear, then ceil(L/8) enciphered 8-byte blocks (one zero block when L is
// 0), each byte as two upper-case hex digits. 2 + 16*n characters in all.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/text.h"

// A text that should hold a number does not. The message is the system's own
// "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The program's key, 8 ASCII bytes used directly as the 64-bit DES key.
inline constexpr char kPasswordKey[] = "Mxv4Pq8Z";

// Enciphers / deciphers `count` consecutive 8-byte blocks of `buffer` in place,
// each block on its own (ECB). The key schedule is built from the 8 bytes of
// `key` at every call. Returns false and touches nothing when `key` or
// `buffer` is null or `count` is below 1.
bool EncryptBlocks(const unsigned char* key, unsigned char* buffer, int count);
bool DecryptBlocks(const unsigned char* key, unsigned char* buffer, int count);

// Stored form of `text` (CP936 bytes, taken as they are).
// Throws std::length_error ("加密明文长度不能大于255" in CP936) above 255 bytes.
text::Ansi EncryptText(std::string_view text);

// The bytes a stored form holds. Hex digits of either case; an odd last digit
// decodes on its own. Throws EConvertError for a character that is not a hex
// digit, std::length_error ("加密密文长度过大" in CP936) when the input decodes
// to more than 257 bytes. There is no integrity check.
text::Ansi DecryptText(std::string_view stored);
