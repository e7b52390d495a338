// SPDX-License-Identifier: GPL-3.0-or-later
#include "loopback_server.h"

#include <stdexcept>

#include "socket_compat.h"

namespace nettest {
namespace {

constexpr int kRequestWaitMs = 3000;

// Sleeps up to `ms`, returning early when the peer closed or the server stops.
void Linger(int fd, int ms, const std::atomic<bool>& stop) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10) > 0) {
            char c[512];
            if (recv(fd, c, sizeof c, MSG_DONTWAIT) == 0) return;
        }
    }
}

bool SendAll(int fd, const std::string& bytes) {
    std::size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return false;
        off += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Script Answer(const std::string& bytes) { return Script{true, {{Step::kSend, bytes}}, 0}; }

Script Silent(int ms) { return Script{true, {}, ms}; }

Script SlowAnswer(const std::string& head, int pause_ms, const std::string& rest) {
    return Script{true, {{Step::kSend, head}, {Step::kPause, "", pause_ms}, {Step::kSend, rest}}, 0};
}

LoopbackServer::LoopbackServer(std::vector<Script> scripts, int backlog) : scripts_(std::move(scripts)) {
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) throw std::runtime_error("test server: socket");
    int one = 1;
    setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(listen_fd_, backlog) != 0) {
        close(listen_fd_);
        throw std::runtime_error("test server: bind/listen");
    }
    socklen_t len = sizeof sa;
    getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    thread_.join();
    close(listen_fd_);
}

std::string LoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::Run() {
    std::size_t next = 0;
    while (!stop_) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        timeval tv{3, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        if (next < scripts_.size()) Serve(fd, scripts_[next++]);
        close(fd);
    }
}

void LoopbackServer::Serve(int fd, const Script& script) {
    std::string request;
    if (script.read_request) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestWaitMs);
        while (!stop_ && request.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            char buf[4096];
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<std::size_t>(n));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    for (const Step& step : script.steps) {
        if (stop_) return;
        switch (step.kind) {
        case Step::kSend:
            if (!SendAll(fd, step.bytes)) return;
            break;
        case Step::kSendRepeated:
            for (std::size_t i = 0; i < step.times; ++i)
                if (stop_ || !SendAll(fd, step.bytes)) return;
            break;
        case Step::kPause: Linger(fd, step.ms, stop_); break;
        }
    }
    if (script.silent_ms > 0) Linger(fd, script.silent_ms, stop_);
}

std::uint16_t UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    close(fd);
    return ntohs(sa.sin_port);
}

}  // namespace nettest
