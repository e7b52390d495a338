// SPDX-License-Identifier: GPL-3.0-or-later
// Get against a real loopback server: the bytes on the wire and what the
// component holds afterwards.
#include <gtest/gtest.h>

#include "http_test_util.h"
#include "loopback_server.h"

namespace nettest {
namespace {

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

TEST(HttpGet, SendsExactlyTheRequestHeaderForHostPathAndQuery) {
    LoopbackServer server({Answer(kOk + "sip.example|tok1|tok2|web.example")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get(server.Url("/user/ajax_get_sip_server.php?id=13800000000&type=tel"));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              ExpectedRequest("/user/ajax_get_sip_server.php?id=13800000000&type=tel", "127.0.0.1"));
    EXPECT_EQ(http.Body, "sip.example|tok1|tok2|web.example");
    EXPECT_EQ(http.Header, kOk);
    EXPECT_EQ(http.StatusCode(), 200);
    EXPECT_EQ(http.Port, server.Port());
    EXPECT_EQ(http.Host, "127.0.0.1");
    EXPECT_FALSE(http.Connected());
}

TEST(HttpGet, NamedHostWithPortKeepsTheBareHostInTheHostLine) {
    LoopbackServer server({Answer(kOk + "x")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get("http://localhost:" + std::to_string(server.Port()) + "/a?b=c");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], ExpectedRequest("/a?b=c", "localhost"));
}

TEST(HttpGet, BareHostSendsRootAndLongPathIsCut) {
    const std::string long_path = "/" + std::string(300, 'q');
    LoopbackServer server({Answer(kOk), Answer(kOk)});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get("http://127.0.0.1:" + std::to_string(server.Port()));
    http.Get(server.Url(long_path));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], ExpectedRequest("/", "127.0.0.1"));
    EXPECT_EQ(requests[1], ExpectedRequest(long_path.substr(0, 256), "127.0.0.1"));
}

TEST(HttpGet, UrlWithoutColonReusesThePreviousPortAndHost) {
    LoopbackServer server({Answer(kOk + "1"), Answer(kOk + "2")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get(server.Url("/first"));
    http.Get("/second");
    EXPECT_EQ(http.Body, "2");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1], ExpectedRequest("/second", "127.0.0.1"));
}

TEST(HttpGet, ErrorStatusesReturnNormallyWithThePage) {
    const std::string page404 = "<html>no such page</html>";
    const std::string page500 = "<html>server trouble</html>";
    LoopbackServer server({Answer("HTTP/1.0 404 Not Found\r\n\r\n" + page404),
                           Answer("HTTP/1.1 500 Internal Server Error\r\n\r\n" + page500)});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    EXPECT_EQ(GetError(http, server.Url("/a")), "");
    EXPECT_EQ(http.Body, page404);
    EXPECT_EQ(http.StatusCode(), 404);
    EXPECT_EQ(GetError(http, server.Url("/b")), "");
    EXPECT_EQ(http.Body, page500);
    EXPECT_EQ(server.Connections(), 2);  // no repetition for 4xx/5xx
}

TEST(HttpGet, StatusLineWithoutNumberIsSuccess) {
    LoopbackServer server({Answer("HTTP/1.0 OK\r\nX: y\r\n\r\nhello"), Answer("just text\n")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    EXPECT_EQ(GetError(http, server.Url("/")), "");
    EXPECT_EQ(http.StatusCode(), 0);
    EXPECT_EQ(http.Body, "hello");
    // Not HTTP at all: the first line is the "status line", the rest ran to the close.
    EXPECT_EQ(GetError(http, server.Url("/")), "");
    EXPECT_EQ(http.Header, "just text\n");
    EXPECT_EQ(http.Body, "");
}

TEST(HttpGet, ServerClosingWithoutAnswerGivesEmptyBodyAndNoError) {
    LoopbackServer server({Answer("")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    EXPECT_EQ(GetError(http, server.Url("/")), "");
    EXPECT_EQ(http.Body, "");
    EXPECT_EQ(http.Header, "");
    EXPECT_EQ(http.StatusCode(), 0);
}

TEST(HttpGet, BodyRunsToTheCloseWhateverContentLengthSays) {
    LoopbackServer server({SlowAnswer("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n012", 100, "3456789")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get(server.Url("/"));
    EXPECT_EQ(http.Body, "0123456789");
}

TEST(HttpGet, BodyIsKeptByteForByte) {
    std::string body;
    for (int i = 0; i < 256; ++i) body += static_cast<char>(i);
    body += "\r\n\r\n\xc4\xe3\xba\xc3";  // CP936 bytes, stray line ends
    body += std::string(200000, 'z');    // several receive chunks
    LoopbackServer server({Answer("HTTP/1.0 200 OK\n\n" + body)});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get(server.Url("/"));
    EXPECT_EQ(http.Header, "HTTP/1.0 200 OK\n\n");
    EXPECT_EQ(http.Body, body);
}

TEST(HttpGet, HeaderEndingWithTheConnectionHasNoBody) {
    LoopbackServer server({Answer("HTTP/1.0 200 OK\r\nX-Partial: yes")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Body = "old";
    http.Get(server.Url("/"));
    EXPECT_EQ(http.Header, "HTTP/1.0 200 OK\r\nX-Partial: yes");
    EXPECT_EQ(http.Body, "");
}

TEST(HttpRedirect, FollowsLocationAndSendsTheCookie) {
    LoopbackServer server(
        {Answer("HTTP/1.0 302 Found\r\nSet-Cookie: sid=42; path=/\r\nLocation: /next?x=1\r\n\r\nmoved"),
         Answer("HTTP/1.0 301 Moved\r\nLocation: final.php\r\n\r\n"), Answer(kOk + "done")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get(server.Url("/start"));
    EXPECT_EQ(http.Body, "done");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], ExpectedRequest("/start", "127.0.0.1"));
    EXPECT_EQ(requests[1], ExpectedRequest("/next?x=1", "127.0.0.1", "Cookie: sid=42; path=/\r\n"));
    // A Location without "/" stays on the same server and port.
    EXPECT_EQ(requests[2], ExpectedRequest("/final.php", "127.0.0.1", "Cookie: sid=42; path=/\r\n"));
}

TEST(HttpRedirect, CookieDoesNotOutliveTheGet) {
    LoopbackServer server(
        {Answer("HTTP/1.0 302 Found\r\nSet-Cookie: sid=1\r\nLocation: /b\r\n\r\n"), Answer(kOk), Answer(kOk)});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get(server.Url("/a"));
    http.Get(server.Url("/c"));
    ASSERT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(server.Requests()[2], ExpectedRequest("/c", "127.0.0.1"));
}

TEST(HttpRedirect, RepetitionIsBounded) {
    std::vector<Script> scripts(10, Answer("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n"));
    LoopbackServer server(scripts);
    net::TNMHTTP http;
    http.TimeOut = 5000;
    EXPECT_EQ(GetError(http, server.Url("/")), "Too many redirects");
    EXPECT_EQ(server.Connections(), 1 + net::TNMHTTP::kMaxRedirects);
    EXPECT_FALSE(http.Connected());
}

TEST(HttpRedirect, StatusWithoutLocationRepeatsTheSameUrl) {
    LoopbackServer server({Answer("HTTP/1.0 305 Use Proxy\r\n\r\n"), Answer(kOk + "ok")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Get(server.Url("/same"));
    EXPECT_EQ(http.Body, "ok");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1], ExpectedRequest("/same", "127.0.0.1"));
}

TEST(HttpPump, PumpRunsWhileWaitingForASlowAnswer) {
    int pumps = 0;
    PumpScope scope([&] { ++pumps; });
    LoopbackServer server({SlowAnswer(kOk + "part1-", 200, "part2")});
    net::TNMHTTP http;
    http.TimeOut = 0;  // no limit
    http.Get(server.Url("/"));
    EXPECT_EQ(http.Body, "part1-part2");
    EXPECT_GT(pumps, 0);
}

TEST(HttpPump, OverlappingGetIsRefusedAndTheFirstCompletes) {
    LoopbackServer server({SlowAnswer(kOk + "first-", 200, "answer")});
    LoopbackServer other({Answer(kOk + "other")});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    std::string refusal;
    bool tried = false;
    PumpScope scope([&] {
        if (tried) return;
        tried = true;
        refusal = GetError(http, other.Url("/elsewhere"));
        EXPECT_TRUE(http.Connected());  // the refusal left the connection alone
    });
    http.Get(server.Url("/mine"));
    EXPECT_TRUE(tried);
    EXPECT_EQ(refusal, "Already connected");
    EXPECT_EQ(http.Body, "first-answer");
    EXPECT_EQ(http.Host, "127.0.0.1");
    EXPECT_EQ(http.Port, server.Port());
    EXPECT_EQ(other.Connections(), 0);
}

TEST(HttpPump, TwoComponentsWorkInsideEachOther) {
    LoopbackServer slow({SlowAnswer(kOk + "outer-", 200, "done")});
    LoopbackServer fast({Answer(kOk + "inner")});
    net::TNMHTTP outer, inner;
    outer.TimeOut = inner.TimeOut = 5000;
    bool ran = false;
    PumpScope scope([&] {
        if (ran) return;
        ran = true;
        inner.Get(fast.Url("/"));
    });
    outer.Get(slow.Url("/"));
    EXPECT_TRUE(ran);
    EXPECT_EQ(inner.Body, "inner");
    EXPECT_EQ(outer.Body, "outer-done");
}

}  // namespace
}  // namespace nettest
