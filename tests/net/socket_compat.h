// SPDX-License-Identifier: GPL-3.0-or-later
// The BSD socket calls the test servers use, also on Winsock: on Windows the
// few calls that differ (close, poll, accept4, socket flags, option types,
// send time-outs in milliseconds) are wrapped in namespace nettest so the test
// code reads the same on both systems. Winsock handles fit in an int (they
// are 32-bit kernel handles), so the tests keep `int` descriptors.
#pragma once

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#else
#include <winsock2.h>
#include <ws2tcpip.h>

#include <sys/types.h>

#include <cstddef>

#ifndef SOCK_NONBLOCK
#define SOCK_NONBLOCK 0x800
#endif
#ifndef SOCK_CLOEXEC
#define SOCK_CLOEXEC 0x80000
#endif
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0  // Winsock raises no signal on a closed peer
#endif
#ifndef MSG_DONTWAIT
#define MSG_DONTWAIT 0  // the servers only receive after poll said readable
#endif

namespace nettest {

// Winsock must be started before the first socket; the test servers may open
// theirs before any client component does.
inline const int kWinsockStarted = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}();

struct pollfd {
    int fd;
    short events;
    short revents;
};

inline int poll(pollfd* fds, unsigned long count, int ms) {
    WSAPOLLFD w[16] = {};
    if (count > 16) count = 16;
    for (unsigned long i = 0; i < count; ++i) {
        w[i].fd = static_cast<SOCKET>(fds[i].fd);
        w[i].events = fds[i].events;
    }
    int n = WSAPoll(w, count, ms);
    for (unsigned long i = 0; i < count; ++i) fds[i].revents = n > 0 ? w[i].revents : 0;
    return n;
}

inline int socket(int family, int type, int protocol) {
    SOCKET s = ::socket(family, type & ~(SOCK_NONBLOCK | SOCK_CLOEXEC), protocol);
    if (s == INVALID_SOCKET) return -1;
    if (type & SOCK_NONBLOCK) {
        u_long on = 1;
        ioctlsocket(s, FIONBIO, &on);
    }
    return static_cast<int>(s);
}

inline int accept4(int fd, sockaddr* addr, int* len, int /*flags*/) {
    SOCKET s = ::accept(static_cast<SOCKET>(fd), addr, len);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

inline int close(int fd) { return closesocket(static_cast<SOCKET>(fd)); }

// Winsock takes send/receive time-outs as milliseconds, not as a timeval.
inline int setsockopt(int fd, int level, int name, const void* value, int len) {
    if (level == SOL_SOCKET && (name == SO_SNDTIMEO || name == SO_RCVTIMEO) &&
        len == static_cast<int>(sizeof(timeval))) {
        const timeval* tv = static_cast<const timeval*>(value);
        DWORD ms = static_cast<DWORD>(tv->tv_sec * 1000 + tv->tv_usec / 1000);
        return ::setsockopt(static_cast<SOCKET>(fd), level, name, reinterpret_cast<const char*>(&ms), sizeof ms);
    }
    return ::setsockopt(static_cast<SOCKET>(fd), level, name, static_cast<const char*>(value), len);
}

}  // namespace nettest
#endif
