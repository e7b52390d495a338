// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/early_login.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "call/call_control.h"
#include "call/engine_events.h"
#include "core/settings.h"
#include "platform/message_pump.h"
#include "platform/qt/startup_timing.h"
#include "zent_softphone.h"

namespace {

struct Early {
    std::mutex mu;
    std::condition_variable changed;
    bool started = false;
    bool discovered = false;  // query and reply are set
    bool done = false;        // nothing more is asked of the engine
    bool replyTaken = false;
    bool registrationTaken = false;
    text::Ansi query;
    DiscoveryReply reply;
    bool registered = false;
    text::Ansi server, account, password;
};

Early& State() {
    static Early early;
    return early;
}

// Joined at the latest when the program's statics end.
struct Worker {
    std::thread thread;
    ~Worker() {
        if (thread.joinable()) thread.join();
    }
};

Worker& TheWorker() {
    static Worker worker;
    return worker;
}

void Run(const StoredLogin& stored) {
    Early& e = State();
    platform::NoPumpOnThisThread noPump;  // the GUI does not exist yet, and is not ours to run
    // The engine opens while the request waits for its answer.
    std::thread engine(PrepareEngineForLogin);
    net::TNMHTTP http;
    const text::Ansi query = DiscoveryQuery(stored.account, stored.password, stored.lineType);
    DiscoveryReply reply = AskDiscovery(http, query);
    platform::MarkStartup("early discovery answered");
    const text::Ansi server = ServerFromReply(reply);
    {
        std::lock_guard<std::mutex> lock(e.mu);
        e.query = query;
        e.reply = std::move(reply);
        e.discovered = true;
    }
    e.changed.notify_all();

    engine.join();
    const bool fits = FitsEngine(server, stored.account, stored.password);
    if (fits) {
        platform::MarkStartup("early registration asked");
        SphSipReg(server.c_str(), stored.account.c_str(), stored.password.c_str(), stored.account.c_str());
    }
    {
        std::lock_guard<std::mutex> lock(e.mu);
        e.registered = fits;
        e.server = server;
        e.account = stored.account;
        e.password = stored.password;
        e.done = true;
    }
    e.changed.notify_all();
}

// Waits for `ready` (under the lock), running the GUI's events meanwhile as
// a request of the GUI's own would. Bounded by the request's own time-outs.
template <class Ready>
void WaitPumping(std::unique_lock<std::mutex>& lock, Ready ready) {
    while (!ready()) {
        State().changed.wait_for(lock, std::chrono::milliseconds(2));
        if (ready()) return;
        lock.unlock();
        platform::PumpMessages();
        lock.lock();
    }
}

}  // namespace

void StartEarlyLogin() {
    StoredLogin stored;
    if (!ReadStoredLogin(stored)) return;
    // Exactly the login that StartLogin posts and DoLogin then carries out.
    // A debugging server waits for the user's answer to LoadSettings' question.
    if (!LoginStartsAtOnce(stored.account, stored.password, stored.autoLogin) ||
        !LoginHasCredentials(stored.account, stored.password) || !stored.debugSipSrv.empty())
        return;
    State().started = true;
    HoldEngineEvents();
    TheWorker().thread = std::thread(Run, stored);
}

bool TakeEarlyDiscovery(const text::Ansi& query, DiscoveryReply& reply) {
    Early& e = State();
    std::unique_lock<std::mutex> lock(e.mu);
    if (!e.started || e.replyTaken) return false;
    WaitPumping(lock, [&e] { return e.discovered; });
    e.replyTaken = true;
    if (e.query != query) return false;
    reply = e.reply;
    return true;
}

bool TakeEarlyRegistration(const text::Ansi& server, const text::Ansi& account, const text::Ansi& password) {
    Early& e = State();
    std::unique_lock<std::mutex> lock(e.mu);
    if (!e.started || e.registrationTaken) return false;
    WaitPumping(lock, [&e] { return e.done; });
    e.registrationTaken = true;
    return e.registered && e.server == server && e.account == account && e.password == password;
}

void EndEarlyLogin() {
    Worker& w = TheWorker();
    if (w.thread.joinable() && w.thread.get_id() != std::this_thread::get_id()) w.thread.join();
}
