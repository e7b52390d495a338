// SPDX-License-Identifier: GPL-3.0-or-later
// One call through the real engine, for the sound tests and the mouth-to-ear
// benchmark: registers with SERVER, calls NUMBER offering only the given
// codecs (default: the client's list), holds the line SECONDS and hangs up.
// Prints each event with its wall time in seconds:
//   registered T | answered T | hangup T | ended T | level T OUT IN
// Exit 0 when the call was answered and ended, 1 otherwise. SIGUSR1 ends the
// hold early (a test done with the call before SECONDS).
#include <csignal>
#include <ctime>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zent_softphone.h"

namespace {

std::mutex g_mu;
std::condition_variable g_cv;
int g_reg = 0;
bool g_answered = false, g_ended = false;

double Now() { return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count(); }

void OnReg(int status) {
    std::lock_guard<std::mutex> lock(g_mu);
    g_reg = status;
    g_cv.notify_all();
}

void OnCall(int, const char* state) {
    std::lock_guard<std::mutex> lock(g_mu);
    if (std::strcmp(state, "callanswer") == 0) {
        g_answered = true;
        std::printf("answered %.3f\n", Now());
    } else if (std::strcmp(state, "callend") == 0) {
        g_ended = true;
        std::printf("ended %.3f\n", Now());
    }
    std::fflush(stdout);
    g_cv.notify_all();
}

void OnAudio(int out, int in) {
    std::lock_guard<std::mutex> lock(g_mu);
    std::printf("level %.3f %d %d\n", Now(), out, in);
}

template <typename Done>
bool WaitFor(Done done, int seconds) {
    std::unique_lock<std::mutex> lock(g_mu);
    return g_cv.wait_for(lock, std::chrono::seconds(seconds), done);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SERVER NUMBER SECONDS [CODEC...]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> codecs = {"ILBC/8000", "SPEEX/8000", "G729/8000", "GSM/8000", "PCMA/8000", "G722/8000"};
    if (argc > 4) codecs.assign(argv + 4, argv + argc);
    codecs.resize(6);

    // Blocked before the engine's threads start, so they inherit it.
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
    SphSipSetRegStatsCalllBack(OnReg);
    SphSipSetCallStatsCalllBack(OnCall);
    SphSipSetAudioStatsCalllBack(OnAudio);
    // ECHO_CALL_LOG=2 (or 3) shows the stack's messages on stderr.
    const char* log = std::getenv("ECHO_CALL_LOG");
    SphSipInfo(log ? std::atoi(log) : 0);
    SphSetAudioCode(codecs[0].c_str(), codecs[1].c_str(), codecs[2].c_str(), codecs[3].c_str(), codecs[4].c_str(),
                    codecs[5].c_str());
    SphSipReg(argv[1], "8613800138000", "sound", "8613800138000");
    int rc = 1;
    if (!WaitFor([] { return g_reg != 0; }, 15) || g_reg != 200) {
        std::fprintf(stderr, "echo_call: registration gave %d\n", g_reg);
    } else {
        // ECHO_CALL_IDLE=S: registered, the engine idles S seconds before the call.
        std::printf("registered %.3f\n", Now());
        std::fflush(stdout);
        if (const char* idle = std::getenv("ECHO_CALL_IDLE"))
            std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(idle)));
        const int line = SphSiMakeCall(argv[2]);
        if (line >= 0 && WaitFor([] { return g_answered || g_ended; }, 15) && g_answered) {
            const std::chrono::duration<double> hold(std::atof(argv[3]));
            const auto whole = std::chrono::floor<std::chrono::seconds>(hold);
            const timespec until{static_cast<time_t>(whole.count()),
                                 static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(hold - whole).count())};
            sigtimedwait(&usr1, nullptr, &until);
            std::printf("hangup %.3f\n", Now());
            SphSipHanpCall(line);
            if (WaitFor([] { return g_ended; }, 10)) rc = 0;
        } else {
            std::fprintf(stderr, "echo_call: the call was not answered\n");
        }
    }
    std::fflush(stdout);
    SphSipDestory();
    return rc;
}
