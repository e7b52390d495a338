// SPDX-License-Identifier: GPL-3.0-or-later
// Every way a Get can fail: the error text, and what Body and the connection
// are left with.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "http_test_util.h"
#include "loopback_server.h"
#include "socket_compat.h"
#include "net/socket_port.h"

namespace nettest {
namespace {

const std::string kOk = "HTTP/1.0 200 OK\r\n\r\n";

// Restores the real name lookup after a test replaced it.
class ResolverScope {
public:
    explicit ResolverScope(net::TPowersock::Resolver r) { net::TPowersock::SetResolver(std::move(r)); }
    ~ResolverScope() { net::TPowersock::SetResolver(nullptr); }
};

TEST(HttpFailure, HttpsIsRefusedBeforeAnythingIsSent) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);

    net::TNMHTTP http;
    http.TimeOut = 2000;
    EXPECT_EQ(GetError(http, "https://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/x"),
              "HTTP Secure Socket is not supported");
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0) << "a connection was attempted";
    EXPECT_EQ(http.Body, "Default.htm");
    close(fd);
}

TEST(HttpFailure, EmptyUrlAndFileMode) {
    net::TNMHTTP http;
    EXPECT_EQ(GetError(http, ""), "Empty URL");
    http.InputFileMode = true;
    EXPECT_EQ(GetError(http, "http://127.0.0.1/"), "File mode is not supported");
}

TEST(HttpFailure, ErrorClasses) {
    net::TNMHTTP http;
    http.TimeOut = 2000;
    EXPECT_THROW(http.Get(""), net::Exception);
    EXPECT_THROW(http.Get("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/"), net::ESockError);
    LoopbackServer server({Silent(2000)});
    http.TimeOut = 100;
    EXPECT_THROW(http.Get(server.Url("/")), net::EAbortError);
}

TEST(HttpFailure, SilentServerEndsTheLineReadAfterTimeOut) {
    LoopbackServer server({Silent(3000)});
    net::TNMHTTP http;
    http.TimeOut = 300;
    http.Body = "previous";
    EXPECT_EQ(GetError(http, server.Url("/")), "Socket readln aborted");
    EXPECT_EQ(http.Body, "previous");
    EXPECT_FALSE(http.Connected());
}

TEST(HttpFailure, SilenceDuringTheBodyKeepsWhatArrived) {
    Script script = Answer(kOk + "partial");
    script.silent_ms = 3000;
    LoopbackServer server({script});
    net::TNMHTTP http;
    http.TimeOut = 300;
    EXPECT_EQ(GetError(http, server.Url("/")), "Socket capture aborted");
    EXPECT_EQ(http.Body, "partial");
    EXPECT_FALSE(http.Connected());
}

TEST(HttpFailure, TimeOutRestartsForEveryChunk) {
    // Three pauses of 200 ms each: longer than TimeOut together, shorter alone.
    Script script{true,
                  {{Step::kSend, kOk + "a"},
                   {Step::kPause, "", 200},
                   {Step::kSend, "b"},
                   {Step::kPause, "", 200},
                   {Step::kSend, "c"},
                   {Step::kPause, "", 200},
                   {Step::kSend, "d"}},
                  0};
    LoopbackServer server({script});
    net::TNMHTTP http;
    http.TimeOut = 450;
    EXPECT_EQ(GetError(http, server.Url("/")), "");
    EXPECT_EQ(http.Body, "abcd");
}

TEST(HttpFailure, RefusedPortGivesConnectionFailed) {
    net::TNMHTTP http;
    http.TimeOut = 2000;
    http.Body = "kept";
    EXPECT_EQ(GetError(http, "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/"), "Connection Failed");
    EXPECT_EQ(http.Body, "kept");
    EXPECT_FALSE(http.Connected());
}

TEST(HttpFailure, UnresolvableNameGivesNullRemoteAddress) {
    net::TNMHTTP http;
    http.TimeOut = 10000;
    EXPECT_EQ(GetError(http, "http://no-such-host.invalid/x"), "Null Remote Address");
}

TEST(HttpFailure, SlowNameLookupTimesOutWhileThePumpRuns) {
    ResolverScope resolver([](const std::string&, std::uint32_t&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        return 11001;
    });
    int pumps = 0;
    PumpScope pump([&] { ++pumps; });
    net::TNMHTTP http;
    http.TimeOut = 100;
    EXPECT_EQ(GetError(http, "http://slow.example/"), "Host Lookup Timed Out");
    EXPECT_GT(pumps, 0);
}

TEST(HttpFailure, CancelFromThePumpEndsEachPhaseWithItsError) {
    ResolverScope resolver([](const std::string&, std::uint32_t&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return 11001;
    });
    net::TNMHTTP http;
    http.TimeOut = 5000;
    {
        PumpScope pump([&] { http.Cancel(); });
        EXPECT_EQ(GetError(http, "http://slow.example/"), "Host Lookup Canceled");
    }
    // Connected: the wait is for the status line.
    LoopbackServer server({Silent(3000)});
    PumpScope pump([&] {
        if (http.Connected()) http.Cancel();
    });
    EXPECT_EQ(GetError(http, server.Url("/")), "Socket readln aborted");
    EXPECT_FALSE(http.Connected());
}

TEST(HttpFailure, DisconnectFromThePumpCancelsTheRequest) {
    LoopbackServer server({Silent(3000)});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    PumpScope pump([&] {
        if (http.Connected()) http.Disconnect();
    });
    EXPECT_EQ(GetError(http, server.Url("/")), "Socket readln aborted");
    EXPECT_FALSE(http.Connected());
}

TEST(HttpFailure, ConnectThatNeverCompletesTimesOut) {
    // A listener that never accepts, its queue filled: further SYNs go unanswered.
    int lfd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(lfd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(listen(lfd, 0), 0);
    socklen_t len = sizeof sa;
    getsockname(lfd, reinterpret_cast<sockaddr*>(&sa), &len);
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        int f = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(f, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        fillers.push_back(f);
    }
    net::TNMHTTP http;
    http.TimeOut = 300;
    std::string error = GetError(http, "http://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/");
    for (int f : fillers) close(f);
    close(lfd);
    if (error.empty() || error == "Socket readln aborted")
        GTEST_SKIP() << "this kernel completes connects beyond the listen queue";
    EXPECT_EQ(error, "Connection Timed out");
}

TEST(HttpLimits, EndlessBodyIsCut) {
    Script script{true, {{Step::kSend, kOk}, {Step::kSendRepeated, std::string(65536, 'b'), 0, 144}}, 0};
    LoopbackServer server({script});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    EXPECT_EQ(GetError(http, server.Url("/")), "Response body too large");
    EXPECT_EQ(http.Body.size(), net::TNMHTTP::kMaxBody);
    EXPECT_FALSE(http.Connected());
}

TEST(HttpLimits, EndlessHeaderIsCut) {
    Script script{
        true, {{Step::kSend, "HTTP/1.0 200 OK\r\nX-Long: "}, {Step::kSendRepeated, std::string(65536, 'h'), 0, 24}}, 0};
    LoopbackServer server({script});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    http.Body = "kept";
    EXPECT_EQ(GetError(http, server.Url("/")), "Response header too large");
    EXPECT_EQ(http.Header.size(), net::TNMHTTP::kMaxHeader);
    EXPECT_EQ(http.Body, "kept");
}

TEST(HttpLimits, BodyOfExactlyTheCapIsAccepted) {
    Script script{true, {{Step::kSend, kOk}, {Step::kSendRepeated, std::string(65536, 'b'), 0, 128}}, 0};
    LoopbackServer server({script});
    net::TNMHTTP http;
    http.TimeOut = 5000;
    EXPECT_EQ(GetError(http, server.Url("/")), "");
    EXPECT_EQ(http.Body.size(), net::TNMHTTP::kMaxBody);
}

#ifndef _WIN32  // Winsock reports its own codes: nothing to translate
TEST(SocketPort, ErrnoValuesBecomeWinsockCodes) {
    using net::sockport::FromErrno;
    EXPECT_EQ(FromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(FromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(FromErrno(EINPROGRESS), 10036);
    EXPECT_EQ(FromErrno(ECONNRESET), 10054);
    EXPECT_EQ(FromErrno(EPIPE), 10054);
    EXPECT_EQ(FromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(FromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(FromErrno(EMFILE), 10024);
}
#endif

TEST(SocketPort, DottedAddressesNeedNoLookup) {
    std::uint32_t a = 0;
    EXPECT_TRUE(net::sockport::ParseDottedIPv4("127.0.0.1", a));
    EXPECT_EQ(ntohl(a), 0x7f000001u);
    EXPECT_FALSE(net::sockport::ParseDottedIPv4("127.0.0", a));
    EXPECT_FALSE(net::sockport::ParseDottedIPv4("127.0.0.256", a));
    EXPECT_FALSE(net::sockport::ParseDottedIPv4("127.0.0.1.", a));
    EXPECT_FALSE(net::sockport::ParseDottedIPv4("1.2.3.4x", a));
    EXPECT_FALSE(net::sockport::ParseDottedIPv4("", a));
}

}  // namespace
}  // namespace nettest
