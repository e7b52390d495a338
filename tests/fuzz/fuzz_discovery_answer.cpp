// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the SIP server discovery's answer: refused by its length or
// for want of two separators, or split into server and tokens that put the answer back together, and a
// web server from which the client page's request is built or refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "call/discovery_answer.h"
#include "net/http_url.h"
#include "net/socket_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    const std::optional<DiscoveryAnswer> a = SplitDiscoveryAnswer(answer);
    const std::size_t first = answer.find('#');
    const bool twoSeparators = first != std::string::npos && answer.find('#', first + 1) != std::string::npos;
    FUZZ_CHECK(a.has_value() == (size >= 16 && size <= 200 && twoSeparators));
    if (!a) return 0;

    FUZZ_CHECK(a->sipServer.find('#') == std::string::npos);
    FUZZ_CHECK(a->userDes.find('#') == std::string::npos);
    FUZZ_CHECK(a->sipServer + "#" + a->userDes + "#" + a->md5Pwd == answer);

    const std::string host = a->sipServer.substr(0, a->sipServer.find(':'));
    FUZZ_CHECK(a->webServer == "http://" + host + ":8080/");

    // The client page's address is built from these by concatenation; a
    // hostile answer must end in a refusal, not in a request split in two.
    try {
        net::RequestTarget t = net::ParseRequestUrl(
            a->webServer + "action_client.php?f=webclient&u=1&u_des=" + a->userDes + "&md5_pwd=" + a->md5Pwd, 0, "");
        const std::string request = net::BuildGetRequest(t.path, t.host, "");
        FUZZ_CHECK(request.find("\r\n\r\n") == request.size() - 4);
    } catch (const net::Exception&) {}
    return 0;
}
