// SPDX-License-Identifier: GPL-3.0-or-later
#include "socket_port.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace net::sockport {

#ifdef _WIN32

int Startup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}
void Cleanup() { WSACleanup(); }

static int LastError() { return WSAGetLastError(); }
int FromErrno(int e) { return e; }

Handle OpenStream(int& error) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = LastError();
        return kNoSocket;
    }
    u_long on = 1;
    if (ioctlsocket(s, FIONBIO, &on) != 0) {
        error = LastError();
        closesocket(s);
        return kNoSocket;
    }
    return static_cast<Handle>(s);
}

void Close(Handle s) { closesocket(static_cast<SOCKET>(s)); }

static Wait WaitFor(Handle s, bool write, int ms) {
    fd_set set, failed;
    FD_ZERO(&set);
    FD_ZERO(&failed);
    FD_SET(static_cast<SOCKET>(s), &set);
    FD_SET(static_cast<SOCKET>(s), &failed);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    int n = select(0, write ? nullptr : &set, write ? &set : nullptr, &failed, &tv);
    if (n < 0) return Wait::kError;
    return n == 0 ? Wait::kTimeout : Wait::kReady;
}

#else

int Startup() { return 0; }
void Cleanup() {}

int FromErrno(int e) {
    switch (e) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EAGAIN: return kWouldBlock;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return kWouldBlock;
#endif
    case EINPROGRESS: return kInProgress;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET:
    case EPIPE: return 10054;  // peer gone: Winsock reports a reset here
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return kNotConnected;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return kConnRefused;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return e;
    }
}

static int LastError() { return FromErrno(errno); }

Handle OpenStream(int& error) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        error = LastError();
        return kNoSocket;
    }
    int flags = fcntl(s, F_GETFL, 0);
    if (flags < 0 || fcntl(s, F_SETFL, flags | O_NONBLOCK) < 0) {
        error = LastError();
        close(s);
        return kNoSocket;
    }
    return s;
}

void Close(Handle s) { close(s); }

static Wait WaitFor(Handle s, bool write, int ms) {
    pollfd p{s, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    int n = poll(&p, 1, ms);
    if (n < 0) return errno == EINTR ? Wait::kTimeout : Wait::kError;
    // Hang-up and error conditions count as ready: the next call reports them.
    return n == 0 ? Wait::kTimeout : Wait::kReady;
}

#endif

void SetAbortiveClose(Handle s) {
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
}

int StartConnect(Handle s, std::uint32_t addr_be, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = addr_be;
    if (connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
    int e = LastError();
    return (e == kWouldBlock || e == kInProgress) ? 0 : e;
}

int ConnectResult(Handle s) {
    int err = 0;
#ifdef _WIN32
    int len = sizeof err;
#else
    socklen_t len = sizeof err;
#endif
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0) return LastError();
    return FromErrno(err);
}

Wait WaitReadable(Handle s, int ms) { return WaitFor(s, false, ms); }
Wait WaitWritable(Handle s, int ms) { return WaitFor(s, true, ms); }

long Send(Handle s, const char* data, std::size_t size, int& error) {
#ifdef _WIN32
    int n = send(static_cast<SOCKET>(s), data, static_cast<int>(size), 0);
#else
    ssize_t n = send(s, data, size, MSG_NOSIGNAL);
#endif
    if (n < 0) error = LastError();
    return static_cast<long>(n);
}

long Receive(Handle s, char* data, std::size_t size, int& error) {
#ifdef _WIN32
    int n = recv(static_cast<SOCKET>(s), data, static_cast<int>(size), 0);
#else
    ssize_t n = recv(s, data, size, 0);
#endif
    if (n < 0) error = LastError();
    return static_cast<long>(n);
}

bool ParseDottedIPv4(const std::string& text, std::uint32_t& addr_be) {
    // Exactly four decimal parts 0-255, so "1.2.3" or "01x" go to the name lookup.
    unsigned parts[4];
    std::size_t i = 0;
    for (int k = 0; k < 4; ++k) {
        if (k > 0) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
        std::size_t start = i;
        unsigned v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            v = v * 10 + unsigned(text[i++] - '0');
        if (i == start || v > 255) return false;
        parts[k] = v;
    }
    if (i != text.size()) return false;
    std::uint32_t host = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
    addr_be = htonl(host);
    return true;
}

int ResolveIPv4(const std::string& host, std::uint32_t& addr_be) {
    if (host.empty()) return 11001;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &res);
    if (rc != 0 || res == nullptr) {
#ifdef _WIN32
        return rc != 0 ? rc : 11001;
#else
        switch (rc) {
        case EAI_AGAIN: return 11002;
        case EAI_FAIL: return 11003;
#ifdef EAI_NODATA
        case EAI_NODATA: return 11004;
#endif
        default: return 11001;
        }
#endif
    }
    addr_be = reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return 0;
}

}  // namespace net::sockport
