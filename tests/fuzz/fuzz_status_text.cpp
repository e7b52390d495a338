// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the web page's status text (and, before a NUL byte, the
// web server it is read against): the path, the status-bar decision and the
// number taken from the query keep their rules for any text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "app/status_link.h"

namespace {

bool FitsInt32(const std::string& digits) {
    if (digits.empty() || digits.size() > 10) return false;
    return std::stoll(digits) <= 2147483647LL;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string web = nul == std::string::npos ? "http://127.0.0.1:8080/" : input.substr(0, nul);
    const std::string s = nul == std::string::npos ? input : input.substr(nul + 1);
    if (s.empty()) return 0;  // the handler stops before parsing an empty text

    const StatusLink link = ParseStatusText(s, web);

    const std::size_t q = s.find('?');
    if (q == std::string::npos) FUZZ_CHECK(link.path.empty());
    // (With an empty web server the path starts at position 0, which counts
    // as 1 while the length stays: the "?" then belongs to it.)
    if (!web.empty()) FUZZ_CHECK(link.path.find('?') == std::string::npos);
    FUZZ_CHECK(link.path.empty() || s.find(link.path) != std::string::npos);
    FUZZ_CHECK(link.showInPanel == !(s.rfind("http", 0) == 0 || s.rfind("Ravelo", 0) == 0));

    const std::string& n = link.number;
    if (!n.empty()) {
        FUZZ_CHECK(n.size() >= 11 && n.size() <= 15);
        FUZZ_CHECK(n.find_first_not_of("0123456789") == std::string::npos);
        FUZZ_CHECK(FitsInt32(n.substr(0, 8)) && FitsInt32(n.substr(6)));
        // Taken from the end of the text; with no "?" the whole text is the query.
        FUZZ_CHECK(s.size() >= n.size() && s.compare(s.size() - n.size(), n.size(), n) == 0);
    }
    return 0;
}
