// SPDX-License-Identifier: GPL-3.0-or-later
#include "cp936.h"

#include <iconv.h>

#include <cerrno>

namespace zent {
namespace {

std::string Convert(const char* to, const char* from, std::string_view in) {
    std::string out;
    if (in.empty()) return out;
    iconv_t cd = iconv_open(to, from);
    // iconv_open says failure with (iconv_t)-1.
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);  // NOLINT(performance-no-int-to-ptr)
    out.reserve(in.size() * 2);
    const bool utf8_source = std::string_view(from) == "UTF-8";
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buf[256];
    while (src_left > 0) {
        char* dst = buf;
        size_t dst_left = sizeof buf;
        size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // Invalid or cut-off sequence: mark it and go on after the bad byte.
            out.push_back('?');
            ++src;
            --src_left;
            if (utf8_source) {
                // One mark per character, not per byte.
                while (src_left > 0 && (static_cast<unsigned char>(*src) & 0xC0) == 0x80) {
                    ++src;
                    --src_left;
                }
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Cp936ToUtf8(std::string_view cp936) { return Convert("UTF-8", "CP936", cp936); }
std::string Utf8ToCp936(std::string_view utf8) { return Convert("CP936", "UTF-8", utf8); }
std::string Cp936ToUtf8(const char* cp936) { return cp936 ? Cp936ToUtf8(std::string_view(cp936)) : std::string(); }
std::string Utf8ToCp936(const char* utf8) { return utf8 ? Utf8ToCp936(std::string_view(utf8)) : std::string(); }

}  // namespace zent
