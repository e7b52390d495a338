// SPDX-License-Identifier: GPL-3.0-or-later
#include "net_watch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#ifdef __linux__
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#endif

namespace zent {

NetWatch::~NetWatch() { Close(); }

bool NetWatch::Open() {
#ifdef __linux__
    if (fd_ >= 0) return true;
    fd_ = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0) return false;
    sockaddr_nl sa{};
    sa.nl_family = AF_NETLINK;
    sa.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        Close();
        return false;
    }
    return true;
#else
    return false;
#endif
}

void NetWatch::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool NetWatch::Drain() {
    bool changed = false;
#ifdef __linux__
    if (fd_ < 0) return false;
    alignas(nlmsghdr) char buf[8192];
    for (;;) {
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n < 0) {
            // ENOBUFS: events were lost; whatever they were, look again.
            if (errno == ENOBUFS) {
                changed = true;
                continue;
            }
            break;
        }
        if (n == 0) break;
        int left = static_cast<int>(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buf); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
            switch (h->nlmsg_type) {
            case RTM_NEWADDR:
            case RTM_DELADDR: changed = true; break;
            case RTM_NEWROUTE:
            case RTM_DELROUTE: {
                // The local table changes with every address as well; the
                // main table is where the way out is.
                const auto* rt = static_cast<const rtmsg*>(NLMSG_DATA(h));
                if (h->nlmsg_len >= NLMSG_LENGTH(sizeof(rtmsg)) && rt->rtm_table == RT_TABLE_MAIN) changed = true;
                break;
            }
            default: break;
            }
        }
    }
#endif
    return changed;
}

std::string NetWatch::LocalAddressTowards(const std::string& host, int port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1) return "?";  // a name: not ours to resolve here
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "?";
    std::string local;
    // Connecting a UDP socket only asks the routing table.
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        sockaddr_in me{};
        socklen_t len = sizeof me;
        char text[INET_ADDRSTRLEN] = {};
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&me), &len) == 0 &&
            inet_ntop(AF_INET, &me.sin_addr, text, sizeof text))
            local = text;
    }
    close(fd);
    return local;
}

}  // namespace zent
