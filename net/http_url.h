// SPDX-License-Identifier: GPL-3.0-or-later
// Taking a request URL apart and building the request bytes. Pure functions,
// so they are tested without sockets.
#pragma once
#include <string>

namespace net {

inline constexpr std::size_t kMaxPathLength = 256;

struct RequestTarget {
    std::string url;   // the URL, with "/" appended when it had no path
    std::string host;  // the host of this URL, or the previous one when it names none
    std::string path;  // at most kMaxPathLength bytes, never empty
    int port = 80;
};

// Parses `url` the way every Get starts. `port` and `host` are the values of
// the previous request: a URL without any ":" keeps the port, a URL without a
// host part keeps the host. Raises Exception for an empty URL, an "https" URL,
// a port out of range and line-break or NUL bytes (they would split the request).
RequestTarget ParseRequestUrl(const std::string& url, int port, const std::string& host);

// The GET request: request line, Host, two Accept lines, Content-type, an
// optional Cookie line, each ended by CR LF, then the empty line.
std::string BuildGetRequest(const std::string& path, const std::string& host, const std::string& cookie);

}  // namespace net
