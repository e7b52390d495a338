// SPDX-License-Identifier: GPL-3.0-or-later
// A sipp process playing one scenario on loopback, killed when the object goes.
#ifndef RAVELO_TESTS_ENGINE_SIPP_PEER_H
#define RAVELO_TESTS_ENGINE_SIPP_PEER_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class SippPeer {
public:
    // scenario: file name under the scenarios folder. remote: "host:port" for a
    // calling peer, empty for an answering one. calls: -m value, 0 for no limit.
    SippPeer(std::string scenario, int port, std::string remote = {}, int calls = 0,
             std::vector<std::string> extra = {});
    ~SippPeer();
    SippPeer(const SippPeer&) = delete;
    SippPeer& operator=(const SippPeer&) = delete;

    // Starts sipp and waits until it listens on its port.
    bool Start();
    // Exit status of sipp, or -1 when it did not end within limit.
    int Wait(std::chrono::milliseconds limit);
    // Whether sipp has ended, without waiting (for callers that pump a GUI).
    bool Finished();
    // The folder sipp runs in: relative file names of extra arguments land here.
    const std::string& Dir() const { return dir_; }
    // Every SIP message sipp sent and received so far.
    std::string Messages() const;
    // Waits until the message trace holds text.
    bool WaitForMessage(const std::string& text, std::chrono::milliseconds limit) const;

private:
    std::string scenario_;
    int port_;
    std::string remote_;
    int calls_;
    std::vector<std::string> extra_;
    std::string dir_;
    pid_t pid_ = -1;
    int status_ = -1;
};

#endif
