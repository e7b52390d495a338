// SPDX-License-Identifier: GPL-3.0-or-later
#include "http_client.h"

#include "http_response.h"
#include "http_url.h"

namespace net {
namespace {

class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

void TNMHTTP::Disconnect() { TPowersock::Disconnect(); }

void TNMHTTP::Get(const std::string& url_in) {
    // Checked before anything is touched: the request in progress keeps its
    // connection, host and path.
    if (busy_) throw ESockError("Already connected");
    BusyFlag busy(busy_);
    if (InputFileMode || OutputFileMode) throw Exception("File mode is not supported");

    std::string url = url_in;
    std::string cookie;  // kept Set-Cookie, sent after a redirect
    for (int repeats = 0;; ++repeats) {
        RequestTarget target = ParseRequestUrl(url, Port, Host);
        Port = target.port;
        Host = target.host;
        url = target.url;

        std::string cookie_seen, location;
        Exchange(target.path, cookie, cookie_seen, location);
        if (!cookie_seen.empty()) cookie = cookie_seen;

        NextRequest next = DecideNext(status_, url, location, Host, Port);
        if (!next.repeat) return;
        if (repeats >= kMaxRedirects) throw Exception("Too many redirects");
        url = next.url;
        if (!next.send_cookie) cookie.clear();
    }
}

void TNMHTTP::Exchange(const std::string& path, const std::string& cookie, std::string& cookie_seen,
                       std::string& location) {
    const std::string request = BuildGetRequest(path, Host, cookie);
    try {
        Connect();
        SendText(request);

        Header.clear();
        status_ = 0;
        ResponseHeadParser parser;
        std::string line;
        bool done = false;
        while (!done) {
            if (!ReadLn(line, kMaxHeader - Header.size())) {
                Header += line;
                throw Exception("Response header too large");
            }
            if (line.empty()) break;  // the server closed the connection
            Header += line;
            done = parser.AddLine(line);
            status_ = parser.Head().status;
        }
        cookie_seen = parser.Head().cookie;
        location = parser.Head().location;

        Body.clear();
        if (!Capture(Body, kMaxBody)) throw EAbortError("Response body too large");
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

}  // namespace net
