// SPDX-License-Identifier: GPL-3.0-or-later
// One worker thread that owns the SIP stack: it runs posted tasks in order and
// a periodic tick in between, so the stack is only ever touched from it.
#ifndef ZENT_ENGINE_ENGINE_THREAD_H
#define ZENT_ENGINE_ENGINE_THREAD_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace zent {

class EngineThread {
public:
    using Task = std::function<void()>;

    EngineThread() = default;
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;
    ~EngineThread();

    // Starts the thread, runs init on it and waits for its answer; on false the
    // thread ends and Start returns false. tick runs every period; fini runs on
    // the thread when Stop is called.
    bool Start(std::function<bool()> init, Task tick, Task fini, std::chrono::milliseconds period);
    // Runs fini on the thread, then joins it. Does nothing when not running.
    void Stop();

    void Post(Task task);
    bool OnThread() const;

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
    void Loop(std::function<bool()> init, Task tick, Task fini, std::chrono::milliseconds period,
              std::promise<bool>* started);

    std::mutex mu_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool running_ = false;
    bool stop_ = false;
    std::thread thread_;
    std::atomic<std::thread::id> thread_id_{};
};

}  // namespace zent

#endif
