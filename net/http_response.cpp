// SPDX-License-Identifier: GPL-3.0-or-later
#include "http_response.h"

#include <cctype>

namespace net {
namespace {

std::string_view WithoutLineEnd(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The n-th (0-based) field of `s` separated by runs of spaces.
std::string_view Field(std::string_view s, int n) {
    std::size_t i = 0;
    for (int k = 0;; ++k) {
        while (i < s.size() && s[i] == ' ') ++i;
        std::size_t start = i;
        while (i < s.size() && s[i] != ' ') ++i;
        if (start == i) return {};
        if (k == n) return s.substr(start, i - start);
    }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(b[i])) return false;
    return true;
}

// Value of a header line from byte `from` on, without its line end, at most 256 bytes.
std::string ValueFrom(std::string_view line, std::size_t from) {
    std::string_view v = WithoutLineEnd(line);
    v = from < v.size() ? v.substr(from) : std::string_view{};
    return std::string(v.substr(0, kMaxHeaderValue));
}

bool ParseDecimal(std::string_view s, long long limit, long long& out) {
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > limit) return false;
    }
    out = negative ? -v : v;
    return true;
}

}  // namespace

std::int16_t ParseStatusCode(std::string_view status_line) {
    long long v = 0;
    if (!ParseDecimal(Field(WithoutLineEnd(status_line), 1), 32768, v)) return 0;
    if (v > 32767) return 0;
    return static_cast<std::int16_t>(v);
}

bool IsHeaderEnd(std::string_view line) { return line == "\n" || line == "\r\n"; }

bool ResponseHeadParser::AddLine(std::string_view line) {
    if (head_.complete) return true;
    head_.text.append(line);
    if (!have_status_) {
        have_status_ = true;
        head_.status = ParseStatusCode(line);
        return false;
    }
    if (IsHeaderEnd(line)) {
        head_.complete = true;
        return true;
    }
    std::string_view name = Field(WithoutLineEnd(line), 0);
    if (EqualsNoCase(name, "SET-COOKIE:")) {
        head_.cookie = ValueFrom(line, 12);
    } else if (EqualsNoCase(name, "LOCATION:")) {
        head_.location = ValueFrom(line, 10);
    } else if (EqualsNoCase(name, "CONTENT-LENGTH:")) {
        long long v = 0;
        head_.content_length = ParseDecimal(Field(WithoutLineEnd(line), 1), 1LL << 53, v) && v >= 0 ? v : -1;
    }
    return false;
}

NextRequest DecideNext(int status, const std::string& current_url, const std::string& location, const std::string& host,
                       int port) {
    NextRequest next;
    if (status < 299 || status > 399) return next;
    next.repeat = true;
    next.url = current_url;
    if (status >= 300 && status <= 302) {
        if (location.find('/') != std::string::npos) {
            next.url = location;
        } else {
            std::string authority = port == 80 ? host : host + ":" + std::to_string(port);
            next.url = "http://" + authority + "/" + location;
        }
    }
    next.send_cookie = status >= 300 && status <= 398;
    return next;
}

}  // namespace net
