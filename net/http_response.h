// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the status line and the header lines of an answer, and what the
// status means for the request cycle. No sockets here: lines go in, facts
// come out, so the parser can be fed arbitrary bytes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace net {

inline constexpr std::size_t kMaxHeaderValue = 256;

// Second space-separated field of the status line as a decimal number; 0 when
// it is missing, not a number or outside the 16-bit range.
std::int16_t ParseStatusCode(std::string_view status_line);

// A line that is only LF or CR LF ends the header.
bool IsHeaderEnd(std::string_view line);

struct ResponseHead {
    std::string text;  // status line and header lines as received
    std::int16_t status = 0;
    std::string cookie;             // value of the last Set-Cookie line
    std::string location;           // value of the last Location line
    long long content_length = -1;  // informational only: the body runs to the close
    bool complete = false;          // the empty line was seen
};

class ResponseHeadParser {
public:
    // Feeds one line with its line end. Returns true once the header is complete.
    bool AddLine(std::string_view line);
    const ResponseHead& Head() const { return head_; }

private:
    ResponseHead head_;
    bool have_status_ = false;
};

// What follows an answer: repeat the cycle (for a status from 299 to 399)
// and with which URL. 300-302 follow the Location; a Location without any "/"
// is taken relative to the current server (its port kept unless it is 80).
struct NextRequest {
    bool repeat = false;
    std::string url;
    bool send_cookie = false;  // 300 to 398: the kept Set-Cookie goes along
};
NextRequest DecideNext(int status, const std::string& current_url, const std::string& location, const std::string& host,
                       int port);

}  // namespace net
