// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark (not a test): registration time (SphSipReg to the 200 callback)
// and call set-up time (SphSiMakeCall to "callanswer") of zent_softphone
// against an auto-answering sipp peer on loopback, side by side with linphonec
// doing the same against the same peer. Both are timed at their stack's
// callback: ours directly, linphonec's through a preloaded probe that notes
// when its registration is done and its call connected. Prints medians of N
// runs, the ratios and the machine's load.
//
//   engine_bench [runs] [sipp_port]      (defaults: 20, 15400)
//   engine_bench soak [calls] [sipp_port] (defaults: 200, 15400)
// soak: memory over use, the engine alone: calls in a row (call, answered,
// 1 s of talk, hang up) through one registration; resident memory after the
// first call and after every 20th.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zent_softphone.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

std::mutex g_mu;
std::condition_variable g_cv;
int g_reg = 0;
int g_line = -1;
std::string g_state;
Clock::time_point g_at;  // when the last callback came

void OnReg(int status) {
    std::lock_guard<std::mutex> lock(g_mu);
    g_reg = status;
    g_at = Clock::now();
    g_cv.notify_all();
}

void OnCall(int line, const char* state) {
    std::lock_guard<std::mutex> lock(g_mu);
    g_line = line;
    g_state = state;
    g_at = Clock::now();
    g_cv.notify_all();
}

template <class Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(g_mu);
    return g_cv.wait_for(lock, limit, pred);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double EpochMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string LoadAverage() {
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    f >> a >> b >> c;
    return a + " " + b + " " + c;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

pid_t Spawn(std::vector<std::string> args) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void Kill(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

struct Times {
    std::vector<double> reg, call;
};

Times RunEngine(int runs, const std::string& server) {
    Times t;
    SphSipSetRegStatsCalllBack(OnReg);
    SphSipSetCallStatsCalllBack(OnCall);
    SphSipInfo(-1);
    for (int i = 0; i < runs; ++i) {
        {
            std::lock_guard<std::mutex> lock(g_mu);
            g_reg = 0;
            g_state.clear();
            g_line = -1;
        }
        // Starting the engine is not part of the measure.
        SphSetAudioCode("ILBC/8000", "SPEEX/8000", "G729/8000", "GSM/8000", "PCMA/8000", "G722/8000");
        auto t0 = Clock::now();
        SphSipReg(server.c_str(), "8613800138000", "s3cret!", "8613800138000");
        if (!WaitUntil([] { return g_reg != 0; }, 40s) || g_reg != 200) {
            std::fprintf(stderr, "engine: registration gave %d\n", g_reg);
            SphSipDestory();
            continue;
        }
        t.reg.push_back(Ms(g_at - t0));
        t0 = Clock::now();
        int line = SphSiMakeCall("123");
        if (line >= 0 && WaitUntil([&] { return g_line == line && g_state == "callanswer"; }, 10s))
            t.call.push_back(Ms(g_at - t0));
        else
            std::fprintf(stderr, "engine: call not answered (%s)\n", g_state.c_str());
        SphSipHanpCall(line);
        WaitUntil([] { return g_state == "callend"; }, 5s);
        SphSipDestory();
    }
    return t;
}

// linphonec reads commands from a terminal; it runs here on a pseudo-terminal.
class Linphonec {
public:
    bool Start(const std::string& dir, const std::string& preload) {
        pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            setenv("HOME", dir.c_str(), 1);
            setenv("LD_PRELOAD", preload.c_str(), 1);
            setenv("LINPHONEC_TIMING_FILE", (dir + "/timing").c_str(), 1);
            std::string rc = dir + "/rc";
            execlp("linphonec", "linphonec", "-S", "-c", rc.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return WaitFor("linphonec>", 10s);
    }
    void Send(const std::string& line) {
        std::string l = line + "\n";
        if (write(fd_, l.data(), l.size()) < 0) return;
    }
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit) {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (out_.find(text, seen_) != std::string::npos) {
                seen_ = out_.find(text, seen_) + text.size();
                return true;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 5) > 0) {
                char buf[4096];
                ssize_t n = read(fd_, buf, sizeof buf);
                if (n <= 0) return false;
                out_.append(buf, static_cast<size_t>(n));
            }
        }
        return false;
    }
    ~Linphonec() {
        if (pid_ > 0) {
            Send("quit");
            for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) std::this_thread::sleep_for(20ms);
            Kill(pid_);
        }
        if (fd_ >= 0) close(fd_);
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string out_;
    size_t seen_ = 0;
};

// The time (ms since the epoch) the probe noted for `what`, once it is there.
double WaitForNote(const std::string& file, const std::string& what, std::chrono::milliseconds limit) {
    for (auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(2ms)) {
        std::ifstream f(file);
        std::string word;
        double at = 0;
        while (f >> word >> at)
            if (word == what) return at;
    }
    return 0;
}

Times RunLinphonec(int runs, int sipp_port, const std::string& preload) {
    Times t;
    for (int i = 0; i < runs; ++i) {
        char tmpl[] = "/tmp/linphonec_bench.XXXXXX";
        if (!mkdtemp(tmpl)) break;
        std::string dir = tmpl;
        const std::string notes = dir + "/timing";
        std::filesystem::create_directories(dir + "/.local/share/linphone");
        {
            std::ofstream rc(dir + "/rc");
            rc << "[sip]\nuse_ipv6=0\nauto_net_state_mon=0\nregister_only_when_network_is_up=0\n"
               << "sip_port=" << sipp_port + 1000 << "\nsip_tcp_port=0\nsip_tls_port=0\n"
               << "[rtp]\naudio_rtp_port=" << sipp_port + 3000 << "\n"
               << "[video]\nautomatically_initiate=0\n";
        }
        {
            Linphonec lc;
            if (!lc.Start(dir, preload)) {
                std::fprintf(stderr, "linphonec: no prompt\n");
            } else {
                lc.Send("soundcard use files");
                lc.WaitFor("linphonec>", 5s);
                const std::string host = "127.0.0.1:" + std::to_string(sipp_port);
                double t0 = EpochMs();
                lc.Send("register sip:8613800138000@127.0.0.1 sip:" + host + " s3cret!");
                const double registered = WaitForNote(notes, "registered", 40s);
                if (registered > 0) {
                    t.reg.push_back(registered - t0);
                    lc.WaitFor("linphonec>", 1s);
                    t0 = EpochMs();
                    lc.Send("call sip:123@" + host);
                    const double connected = WaitForNote(notes, "connected", 10s);
                    if (connected > 0)
                        t.call.push_back(connected - t0);
                    else
                        std::fprintf(stderr, "linphonec: call not answered\n");
                    lc.Send("terminate");
                    lc.WaitFor("ended", 3s);
                } else {
                    std::fprintf(stderr, "linphonec: registration not confirmed\n");
                }
            }
        }
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return t;
}

double RssMb() {
    std::ifstream f("/proc/self/status");
    std::string key;
    long kb = 0;
    while (f >> key) {
        if (key == "VmRSS:") {
            f >> kb;
            break;
        }
        std::getline(f, key);
    }
    return kb / 1024.0;
}

int Soak(int calls, const std::string& server) {
    SphSipSetRegStatsCalllBack(OnReg);
    SphSipSetCallStatsCalllBack(OnCall);
    SphSipInfo(-1);
    SphSetAudioCode("ILBC/8000", "SPEEX/8000", "G729/8000", "GSM/8000", "PCMA/8000", "G722/8000");
    SphSipReg(server.c_str(), "8613800138000", "s3cret!", "8613800138000");
    if (!WaitUntil([] { return g_reg != 0; }, 40s) || g_reg != 200) {
        std::fprintf(stderr, "soak: registration gave %d\n", g_reg);
        return 1;
    }
    std::vector<std::pair<int, double>> curve;
    int failed = 0;
    for (int i = 1; i <= calls; ++i) {
        {
            std::lock_guard<std::mutex> lock(g_mu);
            g_state.clear();
            g_line = -1;
        }
        const int line = SphSiMakeCall("123");
        if (line < 0 || !WaitUntil([&] { return g_line == line && g_state == "callanswer"; }, 10s)) {
            ++failed;
        } else {
            std::this_thread::sleep_for(1s);
        }
        SphSipHanpCall(line);
        WaitUntil([] { return g_state == "callend"; }, 5s);
        if (i == 1 || i % 20 == 0 || i == calls) curve.emplace_back(i, RssMb());
    }
    SphSipDestory();
    std::printf("%d calls (call, answered, 1 s, hang up) against sipp on %s, %d not answered; load average %s\n", calls,
                server.c_str(), failed, LoadAverage().c_str());
    std::printf("resident memory after call n (MB):");
    for (const auto& [n, mb] : curve) std::printf(" %d:%.1f", n, mb);
    const double growth = curve.back().second - curve.front().second;
    std::printf("\nafter the last minus after the first: %.1f MB (goal: at most 10 MB)\n", growth);
    return failed == 0 && growth <= 10.0 ? 0 : 1;
}

void Row(const char* what, const std::vector<double>& engine, const std::vector<double>& lc) {
    double e = Median(engine), l = Median(lc);
    std::printf("%-28s %10.1f ms (%zu) %10.1f ms (%zu)", what, e, engine.size(), l, lc.size());
    if (e > 0 && l > 0)
        std::printf("   engine/linphonec = %.2f\n", e / l);
    else
        std::printf("   (no ratio)\n");
}

}  // namespace

int main(int argc, char** argv) {
    const bool soak = argc > 1 && std::string(argv[1]) == "soak";
    if (soak) --argc, ++argv;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : soak ? 200 : 20;
    const int port = argc > 2 ? std::atoi(argv[2]) : 15400;
    if (port < 1024 || port > 60000) {
        std::fprintf(stderr, "usage: engine_bench [soak] [runs] [sipp_port 1024-60000]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const std::string server = "127.0.0.1:" + std::to_string(port);
    setenv("ZENT_SOFTPHONE_SIP_PORT", std::to_string(port + 2000).c_str(), 1);
    pid_t sipp = Spawn({"sipp", "-sf", BENCH_SCENARIO, "-i", "127.0.0.1", "-p", std::to_string(port), "-mp",
                        std::to_string(port + 4000), "-nostdin"});
    std::this_thread::sleep_for(500ms);
    if (soak) {
        const int rc = Soak(runs, server);
        Kill(sipp);
        return rc;
    }

    const std::string load_before = LoadAverage();
    Times engine = RunEngine(runs, server);
    Times lc = RunLinphonec(runs, port, std::string(LINPHONEC_SHIM) + " " + LINPHONEC_TIMING);
    Kill(sipp);

    std::printf("%d runs against sipp on %s, medians (successful runs); load average %s before, %s after\n", runs,
                server.c_str(), load_before.c_str(), LoadAverage().c_str());
    std::printf("%-28s %16s %16s\n", "", "zent_softphone", "linphonec");
    Row("register -> 200", engine.reg, lc.reg);
    Row("call -> answered", engine.call, lc.call);
    return engine.reg.empty() || engine.call.empty() ? 1 : 0;
}
