// SPDX-License-Identifier: GPL-3.0-or-later
// TNMHTTP: the HTTP/1.0 client the forms use for the service's web requests.
// Get(url) is synchronous for its caller but keeps the GUI running while it
// waits (see TPowersock). One connection per request, read until the server
// closes, no TLS. Errors are net::Exception and its subclasses ESockError and
// EAbortError; their what() texts are fixed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "powersock.h"
#include "socket_errors.h"

namespace net {

class TNMHTTP : public TPowersock {
public:
    // Bounds a hostile or broken server cannot push us past.
    static constexpr int kMaxRedirects = 5;
    static constexpr std::size_t kMaxBody = std::size_t{8} * 1024 * 1024;
    static constexpr std::size_t kMaxHeader = std::size_t{1024} * 1024;

    // Only text mode is offered: the body goes to Body, the header to Header.
    bool InputFileMode = false;
    bool OutputFileMode = false;
    std::string Body = "Default.htm";  // after Get: the response body, byte for byte
    std::string Header = "Head.txt";   // after Get: status and header lines as received

    // Requests `url` ("http://host[:port]/path?query"), following redirects,
    // and returns once the whole answer is read. Every HTTP status returns
    // normally. A Get started while this component is busy with another one
    // (re-entered from the message pump) is refused with "Already connected"
    // and leaves the running request alone.
    void Get(const std::string& url);
    void Disconnect() override;
    // The status code of the last answer read.
    std::int16_t StatusCode() const { return status_; }

private:
    // One request/answer exchange on a fresh connection.
    void Exchange(const std::string& path, const std::string& cookie, std::string& cookie_seen, std::string& location);

    std::int16_t status_ = 0;
    bool busy_ = false;
};

}  // namespace net
