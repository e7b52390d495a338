// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#else
#include <langinfo.h>

#include <cerrno>
#include <iconv.h>
#endif

namespace text {
namespace {

#ifdef _WIN32
// Decodes `s` from code page `cp`. A byte sequence the code page rejects is
// replaced by `bad` and stepped over one byte at a time, as the iconv branch
// does, so both systems give the same text for the same broken input.
std::wstring Widen(std::string_view s, UINT cp, wchar_t bad) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n > 0) {
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), w.data(), n);
        return w;
    }
    std::wstring w;
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        size_t len = 1;
        if (cp == CP_UTF8)
            len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        else if (IsDBCSLeadByteEx(cp, b))
            len = 2;
        len = std::min(len, s.size() - i);
        wchar_t out[2];
        int k = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data() + i, static_cast<int>(len), out, 2);
        if (k > 0) {
            w.append(out, static_cast<size_t>(k));
            i += len;
        } else {
            w += bad;
            ++i;
        }
    }
    return w;
}
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::string Narrow(std::wstring_view w, UINT cp) {
    if (w.empty()) return {};
    // Code page 936 has nothing outside the BMP: a surrogate pair becomes one
    // "?", as with iconv, not one per half.
    std::wstring folded;
    if (cp != CP_UTF8) {
        for (size_t i = 0; i < w.size(); ++i) {
            if (IsHighSurrogate(w[i]) && i + 1 < w.size() && IsLowSurrogate(w[i + 1])) {
                folded += L'?';
                ++i;
            } else {
                folded += w[i];
            }
        }
        w = folded;
    }
    int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}
#else
// Converts with iconv; an input unit the source charset rejects is replaced
// by `bad` and skipped (`unit` bytes at a time: 2 for UTF-16, so a lone
// surrogate does not shift the rest of the text), so no input is fatal.
std::string Convert(std::string_view in, const char* to, const char* from, std::string_view bad, size_t unit = 1) {
    iconv_t cd = iconv_open(to, from);
    // iconv_open says failure with (iconv_t)-1.
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);  // NOLINT(performance-no-int-to-ptr)
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[1024];
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ, or EINVAL for a truncated tail: mark it and step over one byte.
            out.append(bad);
            const size_t step = left < unit ? left : unit;
            src += step;
            left -= step;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* dst = buf;
    size_t room = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    iconv_close(cd);
    return out;
}
#endif

}  // namespace

Ansi FromUtf8(std::string_view utf8) {
#ifdef _WIN32
    return Narrow(Widen(utf8, CP_UTF8, L'?'), 936);
#else
    return Convert(utf8, "CP936//TRANSLIT", "UTF-8", "?");
#endif
}

std::string ToUtf8(std::string_view ansi) {
#ifdef _WIN32
    return Narrow(Widen(ansi, 936, L'\xFFFD'), CP_UTF8);
#else
    return Convert(ansi, "UTF-8", "CP936", "\xEF\xBF\xBD");
#endif
}

Ansi FromUtf16(std::u16string_view utf16) {
#ifdef _WIN32
    return Narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size()), 936);
#else
    std::string_view bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    return Convert(bytes, "CP936//TRANSLIT", "UTF-16LE", "?", 2);
#endif
}

std::u16string ToUtf16(std::string_view ansi) {
#ifdef _WIN32
    std::wstring w = Widen(ansi, 936, L'\xFFFD');
    return std::u16string(w.begin(), w.end());
#else
    std::string b = Convert(ansi, "UTF-16LE", "CP936", "\xFD\xFF");
    std::u16string r(b.size() / 2, u'\0');
    for (size_t i = 0; i < r.size(); ++i)
        r[i] = static_cast<char16_t>(static_cast<unsigned char>(b[2 * i]) |
                                     (static_cast<unsigned char>(b[2 * i + 1]) << 8));
    return r;
#endif
}

Ansi FromSystem(std::string_view text) {
#ifdef _WIN32
    return Narrow(Widen(text, CP_ACP, L'?'), 936);
#else
    return Convert(text, "CP936//TRANSLIT", nl_langinfo(CODESET), "?");
#endif
}

Ansi Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return Ansi(s.substr(b, e - b));
}

bool IsDecimalInt32(std::string_view s) {
    if (s.empty()) return false;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > 2147483647LL) return false;
    }
    return true;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string ToHex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string r;
    r.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        r += digits[c >> 4];
        r += digits[c & 15];
    }
    return r;
}

}  // namespace text
