// SPDX-License-Identifier: GPL-3.0-or-later
#include "sipp_peer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// True while something holds the UDP port on loopback.
bool PortTaken(int port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool taken = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0;
    close(fd);
    return taken;
}

}  // namespace

SippPeer::SippPeer(std::string scenario, int port, std::string remote, int calls, std::vector<std::string> extra)
    : scenario_(std::move(scenario)),
      port_(port),
      remote_(std::move(remote)),
      calls_(calls),
      extra_(std::move(extra)) {}

SippPeer::~SippPeer() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

bool SippPeer::Start() {
    char tmpl[] = "/tmp/sipp_peer.XXXXXX";
    if (!mkdtemp(tmpl)) return false;
    dir_ = tmpl;
    std::vector<std::string> args = {"sipp",
                                     "-sf",
                                     std::string(ENGINE_SCENARIO_DIR) + "/" + scenario_,
                                     "-i",
                                     "127.0.0.1",
                                     "-p",
                                     std::to_string(port_),
                                     "-mp",
                                     std::to_string(port_ + 2000),
                                     "-nostdin",
                                     "-trace_msg",
                                     "-message_file",
                                     dir_ + "/messages.log",
                                     "-timeout",
                                     "60s"};
    if (calls_ > 0) {
        args.push_back("-m");
        args.push_back(std::to_string(calls_));
    }
    for (const std::string& e : extra_) args.push_back(e);
    if (!remote_.empty()) args.push_back(remote_);

    // A port still held by another program: a sipp started now could bind
    // it a moment later, unseen, and answer in place of the one asked for.
    if (PortTaken(port_)) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        if (chdir(dir_.c_str()) != 0) _exit(127);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("sipp", argv.data());
        _exit(127);
    }
    // A calling peer starts sending at once; an answering one must listen first.
    for (int i = 0; i < 250; ++i) {
        if (PortTaken(port_)) return true;
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            return !remote_.empty() && status_ == 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int SippPeer::Wait(std::chrono::milliseconds limit) {
    if (pid_ <= 0) return status_;
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            return status_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

bool SippPeer::Finished() {
    if (pid_ <= 0) return true;
    int st = 0;
    if (waitpid(pid_, &st, WNOHANG) != pid_) return false;
    pid_ = -1;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return true;
}

std::string SippPeer::Messages() const {
    std::ifstream in(dir_ + "/messages.log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool SippPeer::WaitForMessage(const std::string& text, std::chrono::milliseconds limit) const {
    auto end = std::chrono::steady_clock::now() + limit;
    do {
        if (Messages().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}
