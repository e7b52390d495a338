// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <functional>
#include <string>

#include "net/http_client.h"
#include "platform/message_pump.h"

namespace nettest {

// The request header a plain Get sends for `path` on `host`.
inline std::string ExpectedRequest(const std::string& path, const std::string& host,
                                   const std::string& extra_lines = "") {
    return "GET " + path +
           " HTTP/1.0\r\n"
           "Host: " +
           host +
           "\r\n"
           "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
           "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
           "Content-type: application/x-www-form-urlencoded\r\n" +
           extra_lines + "\r\n";
}

// Runs Get and returns the error text, "" when it succeeded.
inline std::string GetError(net::TNMHTTP& http, const std::string& url) {
    try {
        http.Get(url);
    } catch (const net::Exception& e) {
        return e.what();
    }
    return "";
}

// Installs a message pump for the scope of a test, removing it afterwards.
class PumpScope {
public:
    explicit PumpScope(std::function<void()> pump) { platform::SetMessagePump(std::move(pump)); }
    ~PumpScope() { platform::SetMessagePump(nullptr); }
};

}  // namespace nettest
