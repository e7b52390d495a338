// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary server bytes through the response parsing exactly as a Get
// reads them: split into lines in receive-sized pieces, header parsed line by
// line within its size bound, then the redirect decision and the parsing of
// the URL it leads to. Nothing may crash, and the invariants below must hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "net/http_response.h"
#include "net/http_url.h"
#include "net/line_buffer.h"
#include "net/socket_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the piece size, so lines also arrive cut apart.
    const std::size_t piece = 1 + data[0] % 64;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t header_limit = 512;  // small, so the bound is reached too

    net::LineBuffer buffer;
    net::ResponseHeadParser parser;
    std::string header, line;
    std::size_t fed = 0;
    bool done = false, too_long = false;
    while (!done && !too_long) {
        auto taken = buffer.TakeLine(line, header_limit - header.size());
        if (taken == net::LineBuffer::Take::kTooLong) {
            too_long = true;
            header += line;
            break;
        }
        if (taken == net::LineBuffer::Take::kNeedMore) {
            if (fed == bytes.size()) {  // the server closed
                line.clear();
                buffer.TakeAll(line);
                if (line.empty()) break;
            } else {
                std::size_t n = std::min(piece, bytes.size() - fed);
                buffer.Append(std::string_view(bytes).substr(fed, n));
                fed += n;
                continue;
            }
        }
        FUZZ_CHECK(!line.empty());
        header += line;
        done = parser.AddLine(line);
    }
    FUZZ_CHECK(header.size() <= header_limit);
    FUZZ_CHECK(bytes.compare(0, header.size(), header) == 0);  // the header is the prefix, unchanged

    const net::ResponseHead& head = parser.Head();
    FUZZ_CHECK(too_long || head.text == header);
    FUZZ_CHECK(head.cookie.size() <= net::kMaxHeaderValue);
    FUZZ_CHECK(head.location.size() <= net::kMaxHeaderValue);
    FUZZ_CHECK(head.cookie.find('\n') == std::string::npos);
    FUZZ_CHECK(head.location.find('\n') == std::string::npos);

    net::NextRequest next = net::DecideNext(head.status, "http://h/", head.location, "h", 8080);
    if (next.repeat) {
        try {
            net::RequestTarget t = net::ParseRequestUrl(next.url, 8080, "h");
            FUZZ_CHECK(!t.path.empty() && t.path.size() <= net::kMaxPathLength);
            FUZZ_CHECK(t.port > 0 && t.port <= 65535);
            std::string request = net::BuildGetRequest(t.path, t.host, head.cookie);
            FUZZ_CHECK(request.find("\r\n\r\n") == request.size() - 4);
        } catch (const net::Exception&) {
            // Empty URL, https, bad port or bytes: refused with a clear error.
        }
    }
    // The whole input as a URL, too.
    try {
        net::RequestTarget t = net::ParseRequestUrl(bytes, data[0], "prev");
        FUZZ_CHECK(!t.path.empty() && t.path.size() <= net::kMaxPathLength);
        FUZZ_CHECK(t.url.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
    } catch (const net::Exception&) {}
    return 0;
}
