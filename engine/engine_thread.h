// SPDX-License-Identifier: GPL-3.0-or-later
// One worker thread that owns the SIP stack: it runs posted tasks in order and
// a periodic tick in between, so the stack is only ever touched from it.
//
// The thread sleeps in poll(): posted tasks wake it through a pipe, and the
// watched sockets (the stack's SIP socket) wake it as soon as a packet is
// there. So an answer is handled when it arrives, not at the next tick. The
// tick itself (the stack's timers) runs every busy period while the stack
// has work in flight or something happened lately, and every idle period
// otherwise, so an idle engine costs next to nothing.
#ifndef ZENT_ENGINE_ENGINE_THREAD_H
#define ZENT_ENGINE_ENGINE_THREAD_H

#include <poll.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zent {

class EngineThread {
public:
    using Task = std::function<void()>;
    // Drives the stack; true while it has work in flight (the busy period applies).
    using Tick = std::function<bool()>;

    struct Periods {
        std::chrono::milliseconds busy;
        std::chrono::milliseconds idle;
        std::chrono::milliseconds linger;  // busy for this long after a task or a packet
    };

    EngineThread() = default;
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;
    ~EngineThread();

    // Starts the thread, runs init on it and waits for its answer; on false the
    // thread ends and Start returns false. tick runs once per period, after
    // every batch of tasks and whenever a watched socket has data; fini runs
    // on the thread when Stop is called.
    bool Start(std::function<bool()> init, Tick tick, Task fini, Periods periods);
    // Runs fini on the thread, then joins it. Does nothing when not running.
    void Stop();

    void Post(Task task);
    bool OnThread() const;

    // The sockets whose incoming data runs the tick at once (on the thread only).
    void Watch(const std::vector<int>& fds);

    // Runs fn on the thread and hands back its result; fallback when the thread
    // does not answer in time or is not running. Inline when already on it.
    template <class R>
    R Call(std::function<R()> fn, R fallback, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        if (OnThread()) return fn();
        auto done = std::make_shared<std::promise<R>>();
        std::future<R> result = done->get_future();
        if (!TryPost([fn = std::move(fn), done] { done->set_value(fn()); })) return fallback;
        if (result.wait_for(timeout) != std::future_status::ready) return fallback;
        return result.get();
    }

private:
    bool TryPost(Task task);
    void WakeLocked();
    // Sleeps until a task is posted, a watched socket is readable or the
    // deadline passes; true when a watched socket woke it.
    bool Sleep(std::chrono::steady_clock::time_point deadline, bool watch);
    void Loop(const std::function<bool()>& init, const Tick& tick, const Task& fini, Periods periods,
              std::promise<bool>* started);

    std::mutex mu_;
    std::deque<Task> tasks_;
    bool running_ = false;
    bool stop_ = false;
    std::thread thread_;
    std::atomic<std::thread::id> thread_id_{};
    int wake_[2] = {-1, -1};     // pipe: a byte in it means "look at the tasks"
    bool wake_pending_ = false;  // a byte is in the pipe already
    // The thread's own: what it polls (the pipe first) and the tasks it runs,
    // kept from turn to turn so that an idle turn allocates nothing.
    std::vector<pollfd> polled_;
    std::deque<Task> batch_;
};

}  // namespace zent

#endif
