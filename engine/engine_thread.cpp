// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine_thread.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zent {
namespace {

// A socket that stays readable although the tick ran (data the stack does not
// take) must not keep the thread spinning: after this many socket wakes in
// one period it is left to the periodic tick until the next period.
constexpr int kMaxSocketWakesPerPeriod = 16;

void ClosePipe(int (&fds)[2]) {
    for (int& fd : fds) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

}  // namespace

EngineThread::~EngineThread() {
    Stop();
    if (thread_.joinable()) return;  // still ending; it owns the pipe until then
    ClosePipe(wake_);
}

bool EngineThread::Start(std::function<bool()> init, Tick tick, Task fini, Periods periods) {
    std::promise<bool> started;
    std::future<bool> ok = started.get_future();
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (running_) return true;
        if (wake_[0] < 0 && pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
        stop_ = false;
        wake_pending_ = false;
        running_ = true;
    }
    thread_ =
        std::thread(&EngineThread::Loop, this, std::move(init), std::move(tick), std::move(fini), periods, &started);
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
        WakeLocked();
    }
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) return;
    thread_.join();
    std::lock_guard<std::mutex> lock(mu_);
    running_ = false;
    ClosePipe(wake_);
}

void EngineThread::Post(Task task) { TryPost(std::move(task)); }

bool EngineThread::TryPost(Task task) {
    std::lock_guard<std::mutex> lock(mu_);
    if (!running_ || stop_) return false;
    tasks_.push_back(std::move(task));
    WakeLocked();
    return true;
}

void EngineThread::WakeLocked() {
    if (wake_pending_ || wake_[1] < 0) return;  // one byte wakes it for all tasks queued meanwhile
    const char byte = 1;
    wake_pending_ = write(wake_[1], &byte, 1) == 1;
}

bool EngineThread::OnThread() const { return std::this_thread::get_id() == thread_id_.load(); }

void EngineThread::Watch(const std::vector<int>& fds) {
    polled_.assign(1, pollfd{wake_[0], POLLIN, 0});
    for (int fd : fds)
        if (fd >= 0) polled_.push_back(pollfd{fd, POLLIN, 0});
}

bool EngineThread::Sleep(std::chrono::steady_clock::time_point deadline, bool watch) {
    if (polled_.empty()) Watch({});
    const auto left = deadline - std::chrono::steady_clock::now();
    // Rounded up, so a deadline less than a millisecond away is slept for, not spun on.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    const int timeout = ms <= 0 ? 0 : static_cast<int>(ms);
    const nfds_t count = watch ? static_cast<nfds_t>(polled_.size()) : 1;
    for (pollfd& p : polled_) p.revents = 0;
    if (poll(polled_.data(), count, timeout) <= 0) return false;  // time is up (or a signal)
    if (polled_[0].revents & POLLIN) {
        char drain[64];
        while (read(wake_[0], drain, sizeof drain) > 0) {}
    }
    bool readable = false;
    for (nfds_t i = 1; i < count; ++i) readable = readable || (polled_[i].revents & (POLLIN | POLLERR));
    return readable;
}

void EngineThread::Loop(const std::function<bool()>& init, const Tick& tick, const Task& fini, Periods periods,
                        std::promise<bool>* started) {
    using Clock = std::chrono::steady_clock;
    thread_id_ = std::this_thread::get_id();
    const bool ok = init();
    started->set_value(ok);
    if (!ok) {
        thread_id_ = std::thread::id();
        return;
    }
    auto next_tick = Clock::now();
    auto busy_until = next_tick + periods.linger;
    bool in_flight = true;
    int socket_wakes = 0;
    for (;;) {
        const bool readable = Sleep(next_tick, socket_wakes < kMaxSocketWakesPerPeriod);
        {
            std::lock_guard<std::mutex> lock(mu_);
            wake_pending_ = false;
            if (stop_) break;
            batch_.swap(tasks_);
        }
        const bool ran = !batch_.empty();
        for (Task& task : batch_) task();
        batch_.clear();
        auto now = Clock::now();
        const bool due = now >= next_tick;
        if (ran || readable) busy_until = now + periods.linger;
        // Tasks usually leave the stack something to send: let it go now.
        if (due || readable || ran) in_flight = tick();
        if (readable) ++socket_wakes;
        now = Clock::now();
        const auto period = in_flight || now < busy_until ? periods.busy : periods.idle;
        // A shorter period starts at once; a due tick starts the next one.
        if (due || now + period < next_tick) {
            next_tick = now + period;
            socket_wakes = 0;
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
