// SPDX-License-Identifier: GPL-3.0-or-later
// TPowersock: one TCP connection at a time, for a caller on the GUI thread.
// Every wait (name lookup, connect, send, line read, body chunk) runs a loop
// that pumps the GUI's messages (platform::PumpMessages) and is limited by
// TimeOut through the inactivity timer; Cancel() from a pumped handler ends
// the wait with the phase's error.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "line_buffer.h"
#include "socket_errors.h"
#include "socket_port.h"

namespace net {

// Started with TimeOut at the start of every waiting phase, stopped at its
// end; 0 means no limit. Checked by the waiting loops between two pumps.
class InactivityTimer {
public:
    void Start(std::uint32_t ms);
    void Stop() { running_ = false; }
    bool Expired() const;

private:
    bool running_ = false;
    std::chrono::steady_clock::time_point deadline_{};
};

class TPowersock {
public:
    // Raises ESockError "Initializaton of windows sockets failed" when the
    // socket library cannot start.
    TPowersock();
    virtual ~TPowersock();
    TPowersock(const TPowersock&) = delete;
    TPowersock& operator=(const TPowersock&) = delete;

    std::string Host;
    int Port = 0;
    std::uint32_t TimeOut = 0;  // milliseconds per waiting phase, 0 = no limit
    std::int32_t ReportLevel = 0;

    bool Connected() const { return connected_; }
    // Resolves Host and connects to Port.
    void Connect();
    // Closes the connection. Called from a handler pumped by a wait of this
    // very socket it cancels that wait instead, which then closes.
    virtual void Disconnect();
    // Makes the current wait end with its "cancelled" error.
    void Cancel() { cancel_ = true; }

    // The name lookup, replaceable by tests (a slow or failing resolver).
    // Returns 0 and the address in network order, or an error code.
    using Resolver = std::function<int(const std::string& host, std::uint32_t& addr_be)>;
    static void SetResolver(Resolver resolver);

protected:
    void SendText(const std::string& bytes);
    // Reads up to and including the next LF; at the end of the connection the
    // rest without LF, then "". Returns false when `limit` bytes came without LF.
    bool ReadLn(std::string& line, std::size_t limit);
    // Appends everything until the peer closes. Returns false when `limit`
    // bytes were reached first (then `out` holds exactly `limit` more bytes).
    bool Capture(std::string& out, std::size_t limit);
    void Close();
    bool Waiting() const { return waits_ > 0; }

private:
    enum class Phase { kLookup, kConnect, kSend, kReadLn, kCapture };
    std::uint32_t Lookup(const std::string& host);
    // Waits until the socket is ready; raises the phase's error on timeout/cancel.
    void WaitSocket(bool write, Phase phase);
    [[noreturn]] void FailWait(Phase phase, bool timed_out);
    // Receives one chunk into rx_; returns its size, 0 at the orderly end.
    long ReceiveChunk(Phase phase);

    sockport::Handle sock_ = sockport::kNoSocket;
    bool connected_ = false;
    bool peer_closed_ = false;
    bool cancel_ = false;
    bool timed_out_ = false;
    bool first_socket_ = true;
    int waits_ = 0;
    InactivityTimer timer_;
    std::chrono::steady_clock::time_point lastPump_{};
    std::vector<char> rx_;
    LineBuffer pending_;
};

}  // namespace net
