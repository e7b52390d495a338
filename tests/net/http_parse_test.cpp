// SPDX-License-Identifier: GPL-3.0-or-later
// URL parsing, response head parsing, redirect decisions and the error table,
// without sockets.
#include <gtest/gtest.h>

#include <set>

#include "net/http_response.h"
#include "net/http_url.h"
#include "net/line_buffer.h"
#include "net/socket_errors.h"

namespace net {
namespace {

std::string ErrorOf(const std::string& url, int port = 0, const std::string& host = "") {
    try {
        ParseRequestUrl(url, port, host);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TEST(RequestUrl, HostPathAndQueryOfAnAbsoluteUrl) {
    auto t = ParseRequestUrl("http://svc.example/user/make_call.php?a=1&b=x y", 0, "");
    EXPECT_EQ(t.host, "svc.example");
    EXPECT_EQ(t.path, "/user/make_call.php?a=1&b=x y");
    EXPECT_EQ(t.port, 80);
}

TEST(RequestUrl, PortFromTheHostPartAndHostWithoutIt) {
    auto t = ParseRequestUrl("http://svc.example:8080/a", 0, "");
    EXPECT_EQ(t.host, "svc.example");
    EXPECT_EQ(t.port, 8080);
    EXPECT_EQ(t.path, "/a");
    // No scheme: the text before the first ":" is no known scheme, the host part still has the port.
    auto u = ParseRequestUrl("svc.example:81/b", 0, "");
    EXPECT_EQ(u.host, "svc.example");
    EXPECT_EQ(u.port, 81);
    EXPECT_EQ(u.path, "/b");
}

TEST(RequestUrl, BareHostGetsSlash) {
    auto t = ParseRequestUrl("http://svc.example", 0, "");
    EXPECT_EQ(t.host, "svc.example");
    EXPECT_EQ(t.path, "/");
    EXPECT_EQ(t.url, "http://svc.example/");
}

TEST(RequestUrl, PathIsCutTo256Bytes) {
    std::string path = "/" + std::string(400, 'p');
    auto t = ParseRequestUrl("http://h" + path, 0, "");
    EXPECT_EQ(t.path, path.substr(0, 256));
}

TEST(RequestUrl, SchemesSelectThePort) {
    EXPECT_EQ(ParseRequestUrl("ftp://h/", 8080, "").port, 21);
    EXPECT_EQ(ParseRequestUrl("GOPHER://h/", 8080, "").port, 70);
    EXPECT_EQ(ParseRequestUrl("http://h/", 8080, "").port, 80);
    EXPECT_EQ(ParseRequestUrl("whatever://h/", 8080, "").port, 80);
}

TEST(RequestUrl, UrlWithoutColonKeepsPortAndUrlWithoutHostKeepsHost) {
    auto t = ParseRequestUrl("/only/path", 8080, "prev.host");
    EXPECT_EQ(t.port, 8080);
    EXPECT_EQ(t.host, "prev.host");
    EXPECT_EQ(t.path, "/only/path");
    auto u = ParseRequestUrl("other.host/x", 8080, "prev.host");
    EXPECT_EQ(u.port, 8080);
    EXPECT_EQ(u.host, "other.host");
    EXPECT_EQ(ParseRequestUrl("/x", 0, "h").port, 80);
}

TEST(RequestUrl, Refusals) {
    EXPECT_EQ(ErrorOf(""), "Empty URL");
    EXPECT_EQ(ErrorOf("https://h/"), "HTTP Secure Socket is not supported");
    EXPECT_EQ(ErrorOf("HTTPS://h:443/"), "HTTP Secure Socket is not supported");
    EXPECT_EQ(ErrorOf("http://h:70000/"), "Invalid port in URL");
    EXPECT_EQ(ErrorOf("http://h:0/"), "Invalid port in URL");
    EXPECT_EQ(ErrorOf("http://h/a\r\nX-Injected: 1"), "Invalid character in URL");
    EXPECT_EQ(ErrorOf(std::string("http://h/a\0b", 12)), "Invalid character in URL");
}

TEST(RequestUrl, ColonWithoutDigitsKeepsTheSchemePort) {
    auto t = ParseRequestUrl("http://h:/x", 0, "");
    EXPECT_EQ(t.host, "h");
    EXPECT_EQ(t.port, 80);
}

TEST(RequestBytes, CookieLineComesLast) {
    std::string r = BuildGetRequest("/p", "h", "sid=1");
    const std::string tail = "application/x-www-form-urlencoded\r\nCookie: sid=1\r\n\r\n";
    EXPECT_EQ(r.substr(r.size() - tail.size()), tail);
    EXPECT_EQ(BuildGetRequest("/p", "h", "").find("Cookie"), std::string::npos);
}

TEST(StatusLine, SecondFieldAsNumber) {
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 200 OK\r\n"), 200);
    EXPECT_EQ(ParseStatusCode("HTTP/1.1 404\r\n"), 404);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 302\n"), 302);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0   500  Oops\r\n"), 500);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 OK\r\n"), 0);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0\r\n"), 0);
    EXPECT_EQ(ParseStatusCode(""), 0);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 20x OK"), 0);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 99999999999999999999 big"), 0);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 40000 big"), 0);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 -5 odd"), -5);
}

TEST(ResponseHead, CookieLocationAndEnd) {
    ResponseHeadParser p;
    EXPECT_FALSE(p.AddLine("HTTP/1.0 302 Found\r\n"));
    EXPECT_FALSE(p.AddLine("set-cookie: sid=abc; path=/\r\n"));
    EXPECT_FALSE(p.AddLine("LOCATION: http://h/next\r\n"));
    EXPECT_FALSE(p.AddLine("Content-Length: 12\r\n"));
    EXPECT_TRUE(p.AddLine("\r\n"));
    const ResponseHead& h = p.Head();
    EXPECT_EQ(h.status, 302);
    EXPECT_EQ(h.cookie, "sid=abc; path=/");
    EXPECT_EQ(h.location, "http://h/next");
    EXPECT_EQ(h.content_length, 12);
    EXPECT_TRUE(h.complete);
    EXPECT_EQ(h.text,
              "HTTP/1.0 302 Found\r\nset-cookie: sid=abc; path=/\r\nLOCATION: http://h/next\r\n"
              "Content-Length: 12\r\n\r\n");
}

TEST(ResponseHead, ValuesAreCutTo256AndBareLfEndsTheHeader) {
    ResponseHeadParser p;
    p.AddLine("HTTP/1.0 200 OK\n");
    p.AddLine("Location: " + std::string(300, 'L') + "\n");
    p.AddLine("Set-Cookie: " + std::string(300, 'C') + "\n");
    p.AddLine("Set-Cookie:x=1\n");  // no space after the name: another header
    EXPECT_TRUE(p.AddLine("\n"));
    EXPECT_EQ(p.Head().location, std::string(256, 'L'));
    EXPECT_EQ(p.Head().cookie, std::string(256, 'C'));
}

TEST(ResponseHead, BlankStatusLineDoesNotEndTheHeader) {
    ResponseHeadParser p;
    EXPECT_FALSE(p.AddLine("\r\n"));
    EXPECT_EQ(p.Head().status, 0);
    EXPECT_TRUE(p.AddLine("\r\n"));
}

TEST(NextRequest, StatusRanges) {
    EXPECT_FALSE(DecideNext(200, "u", "", "h", 80).repeat);
    EXPECT_FALSE(DecideNext(0, "u", "", "h", 80).repeat);
    EXPECT_FALSE(DecideNext(298, "u", "", "h", 80).repeat);
    EXPECT_FALSE(DecideNext(400, "u", "/x", "h", 80).repeat);

    auto r299 = DecideNext(299, "u", "/x", "h", 80);
    EXPECT_TRUE(r299.repeat);
    EXPECT_EQ(r299.url, "u");
    EXPECT_FALSE(r299.send_cookie);

    auto r302 = DecideNext(302, "u", "/next", "h", 80);
    EXPECT_EQ(r302.url, "/next");
    EXPECT_TRUE(r302.send_cookie);

    auto r303 = DecideNext(303, "u", "/next", "h", 80);
    EXPECT_EQ(r303.url, "u");
    EXPECT_TRUE(r303.send_cookie);

    auto r399 = DecideNext(399, "u", "", "h", 80);
    EXPECT_TRUE(r399.repeat);
    EXPECT_FALSE(r399.send_cookie);
}

TEST(NextRequest, LocationWithoutSlashIsRelativeToTheServer) {
    EXPECT_EQ(DecideNext(301, "u", "page.php", "h", 80).url, "http://h/page.php");
    EXPECT_EQ(DecideNext(301, "u", "page.php", "h", 8080).url, "http://h:8080/page.php");
}

TEST(LineSplitting, LinesLimitsAndRest) {
    LineBuffer b;
    std::string line;
    b.Append("ab\ncd");
    EXPECT_EQ(b.TakeLine(line, 100), LineBuffer::Take::kLine);
    EXPECT_EQ(line, "ab\n");
    EXPECT_EQ(b.TakeLine(line, 100), LineBuffer::Take::kNeedMore);
    b.Append("ef\r\n");
    EXPECT_EQ(b.TakeLine(line, 100), LineBuffer::Take::kLine);
    EXPECT_EQ(line, "cdef\r\n");
    b.Append("123456");
    EXPECT_EQ(b.TakeLine(line, 4), LineBuffer::Take::kTooLong);
    EXPECT_EQ(line, "1234");
    std::string rest;
    b.TakeAll(rest);
    EXPECT_EQ(rest, "56");
    EXPECT_TRUE(b.Empty());
    b.Append("abc\n");
    EXPECT_EQ(b.TakeLine(line, 4), LineBuffer::Take::kLine);  // the LF may be the limit's last byte
}

TEST(SocketErrorTable, FiftyOneRowsWithUniqueCodes) {
    std::size_t rows = 0;
    const SocketErrorRow* t = SocketErrorTable(rows);
    ASSERT_EQ(rows, 51u);
    std::set<int> codes;
    for (std::size_t i = 0; i < rows; ++i) codes.insert(t[i].code);
    EXPECT_EQ(codes.size(), 51u);
    EXPECT_EQ(t[rows - 1].code, 0);
}

TEST(SocketErrorTable, MessageTexts) {
    EXPECT_EQ(SocketErrorMessage(10004), "10004:Interrupted system call");
    EXPECT_EQ(SocketErrorMessage(10047), "10047:Address family not supported by protocol family");
    EXPECT_EQ(SocketErrorMessage(10054), "10054:Connection reset by peer");
    EXPECT_EQ(SocketErrorMessage(10059), "10059:Too many references, can't splice");
    EXPECT_EQ(SocketErrorMessage(10065), "10065:No route to Host");
    EXPECT_EQ(SocketErrorMessage(10092), "10092:Incompatible version of WINSOCK.DLL");
    EXPECT_EQ(SocketErrorMessage(11003), "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP");
    EXPECT_EQ(SocketErrorMessage(11004), "11004:Valid name, no data record of requested type");
    EXPECT_EQ(SocketErrorMessage(0), "0:Unrecognized error code");
    EXPECT_EQ(SocketErrorMessage(10072), "Unknown Error No. 10072");
}

}  // namespace
}  // namespace net
