// SPDX-License-Identifier: GPL-3.0-or-later
// Socket errors reach the HTTP client as Winsock codes on both systems: on
// Windows straight from Winsock, on Linux translated from errno.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/http_client.h"
#include "net/socket_port.h"
#include "tests/net/socket_compat.h"

namespace nettest {
namespace {

#ifdef _WIN32
// Wine (8.0) closes a socket gracefully even with unread data or a zero
// linger time, so a server inside the test program cannot reset there.
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#else
bool UnderWine() { return false; }
#endif

// A listener on 127.0.0.1 with an ephemeral port; closed on destruction.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        listen(fd_, 4);
        socklen_t len = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~Listener() { Close(); }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }
    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

TEST(NetParity, RefusedConnectGivesWinsockCode10061) {
    std::uint16_t port;
    {
        Listener l;
        port = l.port();
    }
    int err = 0;
    auto s = net::sockport::OpenStream(err);
    ASSERT_NE(s, net::sockport::kNoSocket) << err;
    std::uint32_t addr = 0;
    ASSERT_TRUE(net::sockport::ParseDottedIPv4("127.0.0.1", addr));
    int code = net::sockport::StartConnect(s, addr, port);
    if (code == 0) {
        ASSERT_NE(net::sockport::WaitWritable(s, 5000), net::sockport::Wait::kTimeout);
        code = net::sockport::ConnectResult(s);
    }
    net::sockport::Close(s);
    EXPECT_EQ(code, 10061);
}

TEST(NetParity, ResetDuringTheBodyNamesTheWinsockCode) {
    Listener l;
    std::thread server([&] {
        pollfd p{l.fd(), POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) return;
        int c = accept4(l.fd(), nullptr, nullptr, 0);
        if (c < 0) return;
        // Take only the first bytes of the request: closing a socket with
        // unread data resets the connection on both systems.
        pollfd q{c, POLLIN, 0};
        char buf[4];
        if (poll(&q, 1, 5000) > 0) recv(c, buf, sizeof buf, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string head = "HTTP/1.0 200 OK\r\n\r\npart";
        send(c, head.data(), static_cast<int>(head.size()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        close(c);
    });
    net::TNMHTTP http;
    http.TimeOut = 5000;
    std::string error;
    try {
        http.Get("http://127.0.0.1:" + std::to_string(l.port()) + "/");
    } catch (const net::ESockError& e) {
        error = e.what();
    }
    server.join();
    if (error.empty() && UnderWine()) GTEST_SKIP() << "Wine does not reset the connection";
    EXPECT_EQ(error, "10054:Connection reset by peer");
    EXPECT_EQ(std::string("part").rfind(http.Body, 0), 0u) << http.Body;
    EXPECT_FALSE(http.Connected());
}

}  // namespace
}  // namespace nettest
