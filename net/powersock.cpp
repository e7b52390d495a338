// SPDX-License-Identifier: GPL-3.0-or-later
#include "powersock.h"

#include <atomic>
#include <memory>
#include <thread>
#include <utility>

#include "platform/message_pump.h"

namespace net {
namespace {

constexpr std::size_t kReceiveBuffer = std::size_t{64} * 1024;
constexpr int kPollMs = 2;  // one turn of a waiting loop
// While data keeps arriving no wait runs out, so the waiting loops never pump
// the GUI; between chunks it is pumped at least this often all the same.
constexpr auto kPumpWhileReading = std::chrono::milliseconds(20);

TPowersock::Resolver& CurrentResolver() {
    static TPowersock::Resolver resolver = sockport::ResolveIPv4;
    return resolver;
}

// Connect errors that mean "nobody answers there".
bool IsConnectFailure(int code) {
    switch (code) {
    case 10050:
    case 10051:
    case 10052:
    case 10053:
    case 10054:
    case 10060:
    case 10061:
    case 10064:
    case 10065: return true;
    default: return false;
    }
}

}  // namespace

void InactivityTimer::Start(std::uint32_t ms) {
    running_ = ms != 0;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

bool InactivityTimer::Expired() const { return running_ && std::chrono::steady_clock::now() >= deadline_; }

// One waiting phase: the timer runs from its start to its end, and while it
// lasts Disconnect() from a pumped handler only cancels.
class PhaseScope {
public:
    PhaseScope(int& waits, InactivityTimer& timer, std::uint32_t timeout) : waits_(waits), timer_(timer) {
        ++waits_;
        timer_.Start(timeout);
    }
    ~PhaseScope() {
        timer_.Stop();
        --waits_;
    }
    PhaseScope(const PhaseScope&) = delete;
    PhaseScope& operator=(const PhaseScope&) = delete;

private:
    int& waits_;
    InactivityTimer& timer_;
};

TPowersock::TPowersock() : rx_(kReceiveBuffer) {
    if (sockport::Startup() != 0) throw ESockError("Initializaton of windows sockets failed");
}

TPowersock::~TPowersock() {
    Close();
    sockport::Cleanup();
}

void TPowersock::SetResolver(Resolver resolver) {
    CurrentResolver() = resolver ? std::move(resolver) : Resolver(sockport::ResolveIPv4);
}

void TPowersock::FailWait(Phase phase, bool timed_out) {
    timed_out_ = timed_out;
    switch (phase) {
    case Phase::kLookup: throw ESockError(timed_out ? "Host Lookup Timed Out" : "Host Lookup Canceled");
    case Phase::kConnect: throw ESockError(timed_out ? "Connection Timed out" : "Connection Canceled");
    case Phase::kSend: throw EAbortError("Socket send aborted");
    case Phase::kReadLn: throw EAbortError("Socket readln aborted");
    case Phase::kCapture: break;
    }
    throw EAbortError("Socket capture aborted");
}

std::uint32_t TPowersock::Lookup(const std::string& host) {
    std::uint32_t addr = 0;
    if (sockport::ParseDottedIPv4(host, addr)) return addr;

    // The lookup blocks, so it runs on a thread of its own while this loop
    // keeps the GUI alive. A lookup given up on finishes alone and is dropped.
    struct Result {
        std::atomic<bool> done{false};
        int code = 0;
        std::uint32_t addr = 0;
    };
    auto result = std::make_shared<Result>();
    std::thread([result, host, resolver = CurrentResolver()] {
        std::uint32_t a = 0;
        int code = resolver(host, a);
        result->code = code;
        result->addr = a;
        result->done.store(true, std::memory_order_release);
    }).detach();

    PhaseScope phase(waits_, timer_, TimeOut);
    while (!result->done.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        if (result->done.load(std::memory_order_acquire)) break;
        platform::PumpMessages();
        if (cancel_) FailWait(Phase::kLookup, false);
        if (timer_.Expired()) FailWait(Phase::kLookup, true);
    }
    if (result->code != 0) throw ESockError("Null Remote Address");
    return result->addr;
}

void TPowersock::Connect() {
    if (connected_ || waits_ > 0 || sock_ != sockport::kNoSocket) throw ESockError("Already connected");
    cancel_ = false;
    timed_out_ = false;
    try {
        std::uint32_t addr = Lookup(Host);
        if (Port <= 0 || Port > 65535) throw ESockError(SocketErrorMessage(10049));

        int err = 0;
        sock_ = sockport::OpenStream(err);
        if (sock_ == sockport::kNoSocket) throw ESockError(SocketErrorMessage(err));
        // The component's very first socket resets its connection on close;
        // the fresh ones made after a close keep the graceful close.
        if (first_socket_) {
            sockport::SetAbortiveClose(sock_);
            first_socket_ = false;
        }

        PhaseScope phase(waits_, timer_, TimeOut);
        int code = sockport::StartConnect(sock_, addr, static_cast<std::uint16_t>(Port));
        if (code == 0) {
            WaitSocket(true, Phase::kConnect);
            code = sockport::ConnectResult(sock_);
        }
        if (code != 0) {
            if (IsConnectFailure(code)) throw ESockError("Connection Failed");
            throw ESockError(SocketErrorMessage(code));
        }
        connected_ = true;
        peer_closed_ = false;
        pending_.Clear();
    } catch (...) {
        Close();
        throw;
    }
}

void TPowersock::Disconnect() {
    if (waits_ > 0) {
        Cancel();
        return;
    }
    Close();
}

void TPowersock::Close() {
    if (sock_ != sockport::kNoSocket) {
        sockport::Close(sock_);
        sock_ = sockport::kNoSocket;
    }
    connected_ = false;
    peer_closed_ = false;
    pending_.Clear();
}

void TPowersock::WaitSocket(bool write, Phase phase) {
    for (;;) {
        if (cancel_) FailWait(phase, false);
        auto ready = write ? sockport::WaitWritable(sock_, kPollMs) : sockport::WaitReadable(sock_, kPollMs);
        // An error of the wait itself shows up in the send/receive that follows.
        if (ready != sockport::Wait::kTimeout) return;
        lastPump_ = std::chrono::steady_clock::now();
        platform::PumpMessages();
        if (cancel_) FailWait(phase, false);
        if (timer_.Expired()) FailWait(phase, true);
    }
}

void TPowersock::SendText(const std::string& bytes) {
    if (!connected_) throw ESockError(SocketErrorMessage(sockport::kNotConnected));
    PhaseScope phase(waits_, timer_, TimeOut);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        WaitSocket(true, Phase::kSend);
        int err = 0;
        long n = sockport::Send(sock_, bytes.data() + sent, bytes.size() - sent, err);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
        } else if (err != sockport::kWouldBlock) {
            throw ESockError(SocketErrorMessage(err));
        }
    }
}

long TPowersock::ReceiveChunk(Phase phase) {
    for (;;) {
        WaitSocket(false, phase);
        int err = 0;
        long n = sockport::Receive(sock_, rx_.data(), rx_.size(), err);
        if (n > 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastPump_ >= kPumpWhileReading) {
                lastPump_ = now;
                platform::PumpMessages();
                if (cancel_) FailWait(phase, false);
            }
            return n;
        }
        if (n == 0 || err == sockport::kNotConnected) {
            peer_closed_ = true;
            return 0;
        }
        if (err != sockport::kWouldBlock) throw ESockError(SocketErrorMessage(err));
    }
}

bool TPowersock::ReadLn(std::string& line, std::size_t limit) {
    line.clear();
    if (!connected_) throw ESockError(SocketErrorMessage(sockport::kNotConnected));
    PhaseScope phase(waits_, timer_, TimeOut);
    for (;;) {
        switch (pending_.TakeLine(line, limit)) {
        case LineBuffer::Take::kLine: return true;
        case LineBuffer::Take::kTooLong: return false;
        case LineBuffer::Take::kNeedMore: break;
        }
        if (peer_closed_) {
            pending_.TakeAll(line);
            return true;
        }
        long n = ReceiveChunk(Phase::kReadLn);
        if (n > 0) pending_.Append(std::string_view(rx_.data(), static_cast<std::size_t>(n)));
    }
}

bool TPowersock::Capture(std::string& out, std::size_t limit) {
    if (!connected_) throw ESockError(SocketErrorMessage(sockport::kNotConnected));
    std::size_t room = limit;
    auto take = [&](std::string_view chunk) {
        std::size_t n = chunk.size() < room ? chunk.size() : room;
        out.append(chunk.substr(0, n));
        room -= n;
        return n == chunk.size();
    };
    if (!pending_.Empty()) {
        std::string buffered;
        pending_.TakeAll(buffered);
        if (!take(buffered)) return false;
    }
    while (!peer_closed_) {
        PhaseScope phase(waits_, timer_, TimeOut);
        long n = ReceiveChunk(Phase::kCapture);
        if (n > 0 && !take(std::string_view(rx_.data(), static_cast<std::size_t>(n)))) return false;
    }
    return true;
}

}  // namespace net
