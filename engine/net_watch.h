// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel's word on the network (rtnetlink): a socket that becomes
// readable when an IPv4 address or a route of the main table comes or goes,
// and the local address the kernel would send from towards the registrar.
// Event-driven, so an idle engine is not woken to look; Linux only, elsewhere
// it never reports a change.
#ifndef ZENT_ENGINE_NET_WATCH_H
#define ZENT_ENGINE_NET_WATCH_H

#include <string>

namespace zent {

class NetWatch {
public:
    NetWatch() = default;
    NetWatch(const NetWatch&) = delete;
    NetWatch& operator=(const NetWatch&) = delete;
    ~NetWatch();

    bool Open();
    void Close();
    int Fd() const { return fd_; }
    // Reads what is queued; true when an address or main-table route changed.
    bool Drain();

    // The local address the kernel picks for UDP to host:port (an IPv4
    // literal), or "" when there is no route (no network). Sends nothing.
    static std::string LocalAddressTowards(const std::string& host, int port);

private:
    int fd_ = -1;
};

}  // namespace zent

#endif
