// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the URL of a Get: either a clear refusal, or a target
// whose request cannot be split or smuggled, with the port and host rules of
// the HTTP client.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "net/http_url.h"
#include "net/socket_errors.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the port the previous request left behind.
    static const int kPorts[] = {0, 80, 8080, 21, 65535};
    const int previous = kPorts[data[0] % 5];
    const std::string url(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t colon = url.find(':');
    const bool https = colon != std::string::npos && Lower(url.substr(0, colon)) == "https";

    net::RequestTarget t;
    try {
        t = net::ParseRequestUrl(url, previous, "prev.host");
    } catch (const net::Exception& e) {
        const std::string what = e.what();
        FUZZ_CHECK(!what.empty());
        if (url.empty()) FUZZ_CHECK(what == "Empty URL");
        if (https && url.find_first_of(std::string("\r\n\0", 3)) == std::string::npos)
            FUZZ_CHECK(what == "HTTP Secure Socket is not supported");
        return 0;
    }
    FUZZ_CHECK(!url.empty() && !https);
    FUZZ_CHECK(t.url == url || t.url == url + "/");
    FUZZ_CHECK(!t.path.empty() && t.path.size() <= net::kMaxPathLength && t.path[0] == '/');
    FUZZ_CHECK(t.port >= 1 && t.port <= 65535);
    if (colon == std::string::npos) FUZZ_CHECK(t.port == (previous == 0 ? 80 : previous));
    FUZZ_CHECK(!t.host.empty() && t.host.find_first_of(":/") == std::string::npos);

    const std::string request = net::BuildGetRequest(t.path, t.host, "");
    FUZZ_CHECK(request.rfind("GET " + t.path + " HTTP/1.0\r\nHost: " + t.host + "\r\n", 0) == 0);
    FUZZ_CHECK(request.find("\r\n\r\n") == request.size() - 4);
    return 0;
}
