// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted TCP server on 127.0.0.1 (ephemeral port) on a thread of its own.
// Each accepted connection plays the next script in turn: read the request,
// answer with bytes and pauses, then close (or stay silent). It records the
// request bytes of every connection. Everything is bounded in time; the
// destructor stops the thread.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

struct Step {
    enum Kind { kSend, kPause, kSendRepeated } kind;
    std::string bytes;
    int ms = 0;
    std::size_t times = 0;  // kSendRepeated: `bytes` this many times
};

struct Script {
    bool read_request = true;  // wait for the empty line first
    std::vector<Step> steps;
    int silent_ms = 0;  // after the steps: keep the connection open this long
};

Script Answer(const std::string& bytes);  // read request, send, close
Script Silent(int ms);                    // read request, say nothing for ms, close
Script SlowAnswer(const std::string& head, int pause_ms, const std::string& rest);

class LoopbackServer {
public:
    explicit LoopbackServer(std::vector<Script> scripts, int backlog = 8);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url(const std::string& path = "/") const;
    // Request bytes of each connection served so far.
    std::vector<std::string> Requests() const;
    int Connections() const { return connections_.load(); }

private:
    void Run();
    void Serve(int fd, const Script& script);

    std::vector<Script> scripts_;
    int listen_fd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
std::uint16_t UnusedPort();

}  // namespace nettest
