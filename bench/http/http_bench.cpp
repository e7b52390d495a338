// SPDX-License-Identifier: GPL-3.0-or-later
// Times N sequential GETs of TNMHTTP against a loopback server, then the same
// N requests made by curl (one process for all N, and one process per
// request), and prints the ratios. Usage: http_bench [N] [body-bytes]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "net/http_client.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Answers every connection with the same page and closes, like the service's scripts.
class Server {
public:
    explicit Server(std::string answer) : answer_(std::move(answer)) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd_, 64) != 0) {
            std::perror("bench server");
            std::exit(1);
        }
        socklen_t len = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~Server() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    int Port() const { return port_; }
    long Served() const { return served_; }

private:
    void Run() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd q{c, POLLIN, 0};
                if (poll(&q, 1, 2000) <= 0) break;
                ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, static_cast<std::size_t>(n));
            }
            std::size_t off = 0;
            while (off < answer_.size()) {
                ssize_t n = send(c, answer_.data() + off, answer_.size() - off, MSG_NOSIGNAL);
                if (n <= 0) break;
                off += static_cast<std::size_t>(n);
            }
            close(c);
            ++served_;
        }
    }

    std::string answer_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long> served_{0};
    std::thread thread_;
};

// Runs a program with stdout and stderr to /dev/null; returns its exit status or -1.
int Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 500;
    const long body_size = argc > 2 ? std::atol(argv[2]) : 2048;
    if (n <= 0 || body_size < 0) {
        std::fprintf(stderr, "usage: http_bench [N>0] [body-bytes>=0]\n");
        return 2;
    }
    Server server("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" +
                  std::string(static_cast<std::size_t>(body_size), 'x'));
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/user/ajax_get_sip_server.php?id=1";

    net::TNMHTTP http;
    http.TimeOut = 5000;
    auto start = Clock::now();
    for (long i = 0; i < n; ++i) {
        http.Get(url);
        if (http.Body.size() != static_cast<std::size_t>(body_size)) {
            std::fprintf(stderr, "wrong body size %zu\n", http.Body.size());
            return 1;
        }
    }
    const double ours = Seconds(start);

    // curl, one process fetching all N URLs (each on a new connection: the server closes).
    char config[] = "/tmp/http_bench_curlXXXXXX";
    int cfd = mkstemp(config);
    if (cfd < 0) {
        std::perror("mkstemp");
        return 1;
    }
    close(cfd);
    {
        std::ofstream cfg(config);
        for (long i = 0; i < n; ++i) cfg << "url = \"" << url << "\"\n";
    }
    start = Clock::now();
    int rc = Run({"curl", "-s", "-S", "--http1.0", "-K", config});
    const double curl_one = Seconds(start);
    std::remove(config);
    if (rc != 0) {
        std::fprintf(stderr, "curl failed (status %d); is Debian's curl installed?\n", rc);
        return 1;
    }

    // curl, one process per request, as a script calling it would.
    start = Clock::now();
    for (long i = 0; i < n; ++i) {
        if (Run({"curl", "-s", "-S", "--http1.0", "-o", "/dev/null", url}) != 0) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
    }
    const double curl_each = Seconds(start);

    std::printf("%ld sequential GETs, %ld-byte body, loopback port %d\n", n, body_size, server.Port());
    std::printf("  TNMHTTP                     %8.3f s  %8.1f us/request\n", ours, ours / n * 1e6);
    std::printf("  curl, one process           %8.3f s  %8.1f us/request\n", curl_one, curl_one / n * 1e6);
    std::printf("  curl, a process per request %8.3f s  %8.1f us/request\n", curl_each, curl_each / n * 1e6);
    std::printf("  ratio TNMHTTP / curl (one process)    %.3f\n", ours / curl_one);
    std::printf("  ratio TNMHTTP / curl (process each)   %.3f\n", ours / curl_each);
    std::printf("  requests served: %ld\n", server.Served());
    return 0;
}
