// SPDX-License-Identifier: GPL-3.0-or-later
#include "http_url.h"

#include <cctype>

#include "socket_errors.h"

namespace net {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Position of the n-th (1-based) "/" in `s`, or npos.
std::size_t NthSlash(const std::string& s, int n) {
    std::size_t pos = std::string::npos;
    for (int i = 0; i < n; ++i) {
        pos = s.find('/', pos == std::string::npos ? 0 : pos + 1);
        if (pos == std::string::npos) break;
    }
    return pos;
}

}  // namespace

RequestTarget ParseRequestUrl(const std::string& url_in, int port, const std::string& host) {
    if (url_in.empty()) throw Exception("Empty URL");
    if (url_in.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        throw Exception("Invalid character in URL");

    RequestTarget t;
    t.url = url_in;
    t.port = port == 0 ? 80 : port;
    const std::string& url = t.url;
    const bool has_double = url.find("//") != std::string::npos;

    if (has_double) {
        std::size_t third = NthSlash(url, 3);
        if (third != std::string::npos) t.path = url.substr(third);
    } else if (std::size_t first = url.find('/'); first != std::string::npos) {
        t.path = url.substr(first);
    }
    if (t.path.size() > kMaxPathLength) t.path.resize(kMaxPathLength);

    if (std::size_t colon = url.find(':'); colon != std::string::npos) {
        std::string scheme = Lower(url.substr(0, colon));
        if (scheme == "https") throw Exception("HTTP Secure Socket is not supported");
        t.port = scheme == "gopher" ? 70 : scheme == "ftp" ? 21 : 80;
    }

    std::string host_part;
    if (has_double) {
        std::size_t second = NthSlash(url, 2);
        std::size_t third = NthSlash(url, 3);
        if (second != std::string::npos)
            host_part = url.substr(second + 1, third == std::string::npos ? std::string::npos : third - second - 1);
    } else if (url[0] != '/') {
        host_part = url.substr(0, url.find('/'));
    }

    if (std::size_t colon = host_part.find(':'); colon != std::string::npos) {
        std::size_t i = colon + 1;
        long value = 0;
        bool any = false;
        while (i < host_part.size() && std::isdigit(static_cast<unsigned char>(host_part[i]))) {
            value = value * 10 + (host_part[i++] - '0');
            any = true;
            if (value > 65535) throw Exception("Invalid port in URL");
        }
        // "host:" with no digits keeps the scheme's port rather than port 0.
        if (any) {
            if (value == 0) throw Exception("Invalid port in URL");
            t.port = static_cast<int>(value);
        }
        host_part.resize(colon);
    }

    t.host = host_part.empty() ? host : host_part;
    if (t.path.empty()) {
        t.path.assign(1, '/');
        t.url += "/";
    }
    return t;
}

std::string BuildGetRequest(const std::string& path, const std::string& host, const std::string& cookie) {
    std::string r;
    r.reserve(256 + path.size() + host.size() + cookie.size());
    r += "GET " + path + " HTTP/1.0\r\n";
    r += "Host: " + host + "\r\n";
    r += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
    r += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
    r += "Content-type: application/x-www-form-urlencoded\r\n";
    if (!cookie.empty()) r += "Cookie: " + cookie + "\r\n";
    r += "\r\n";
    return r;
}

}  // namespace net
