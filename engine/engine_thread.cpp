// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine_thread.h"

namespace zent {

EngineThread::~EngineThread() { Stop(); }

bool EngineThread::Start(std::function<bool()> init, Task tick, Task fini, std::chrono::milliseconds period) {
    std::promise<bool> started;
    std::future<bool> ok = started.get_future();
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (running_) return true;
        stop_ = false;
        running_ = true;
    }
    thread_ =
        std::thread(&EngineThread::Loop, this, std::move(init), std::move(tick), std::move(fini), period, &started);
    if (ok.get()) return true;
    thread_.join();
    std::lock_guard<std::mutex> lock(mu_);
    running_ = false;
    return false;
}

void EngineThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!running_ || stop_) return;
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id()) thread_.join();
    std::lock_guard<std::mutex> lock(mu_);
    running_ = false;
}

void EngineThread::Post(Task task) { TryPost(std::move(task)); }

bool EngineThread::TryPost(Task task) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!running_ || stop_) return false;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
    return true;
}

bool EngineThread::OnThread() const { return std::this_thread::get_id() == thread_id_.load(); }

void EngineThread::Loop(std::function<bool()> init, Task tick, Task fini, std::chrono::milliseconds period,
                        std::promise<bool>* started) {
    thread_id_ = std::this_thread::get_id();
    const bool ok = init();
    started->set_value(ok);
    if (!ok) {
        thread_id_ = std::thread::id();
        return;
    }
    auto next_tick = std::chrono::steady_clock::now();
    for (;;) {
        std::deque<Task> batch;
        {
            std::unique_lock<std::mutex> lock(mu_);
            wake_.wait_until(lock, next_tick, [this] { return stop_ || !tasks_.empty(); });
            if (stop_) break;
            batch.swap(tasks_);
        }
        for (Task& task : batch) task();
        if (std::chrono::steady_clock::now() >= next_tick) {
            tick();
            next_tick = std::chrono::steady_clock::now() + period;
        }
    }
    // Tasks posted before the stop still run, so no caller waits for nothing.
    std::deque<Task> rest;
    {
        std::lock_guard<std::mutex> lock(mu_);
        rest.swap(tasks_);
    }
    for (Task& task : rest) task();
    fini();
    thread_id_ = std::thread::id();
}

}  // namespace zent
