// SPDX-License-Identifier: GPL-3.0-or-later
// A call soak through the whole client: 200 calls in a row to an answering
// peer, placed with the IP-call button, ended alternately by the user and by
// the peer. Every call must connect and come back to idle, no line id may
// come back while its call lives, and nothing may be left ringing or timing.
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>

#include "app/main_window.h"
#include "core/shared_state.h"
#include "tests/stress/stress_fixture.h"

using text::ZH;

namespace {

constexpr int kCalls = 200;

class Soak : public StressTest {
protected:
    // The stand-in's peer rings a second and talks five: a quick one takes its
    // place on the same port, so the soak takes minutes, not tens of them.
    void QuickPeer() {
        std::ifstream pidFile(runDir_ + "/peer.pid");
        int pid = 0;
        ASSERT_TRUE(pidFile >> pid) << "no peer pid in " << runDir_;
        ::kill(pid, SIGTERM);
        SippPeer* peer = nullptr;
        for (int i = 0; i < 50 && !peer; ++i) {
            peer = Sipp("stress/scenarios/soak_uas.xml", 5070, {}, 0, {"-timeout", "900s"});
            if (!peer) PumpUntil([] { return false; }, 100);
        }
        ASSERT_TRUE(peer) << "the quick peer did not start on 5070";
    }
};

}  // namespace

TEST_F(Soak, TwoHundredCallsInARowAllConnectAndComeBackToIdle) {
    StartStandin();
    QuickPeer();
    StartClient();
    ASSERT_TRUE(WaitIdleShown(30000)) << "never registered; StatusTip " << StatusTip;

    QElapsedTimer clock;
    clock.start();
    std::set<int> lines;
    int completed = 0;
    for (int call = 1; call <= kCalls; ++call) {
        SCOPED_TRACE("call " + std::to_string(call));
        // As a person would: the button can be pressed once the window shows idle.
        ASSERT_TRUE(WaitIdleShown(5000) && frmMain->spbAnswer->isEnabled()) << "the window does not show idle";
        frmMain->PhoneNum->setCurrentText("10086110001");
        frmMain->spbAnswer->click();
        const int line = OutCallId;
        ASSERT_GE(line, 0) << "no line for the call";
        ASSERT_TRUE(lines.insert(line).second) << "line id " << line << " came back";
        ASSERT_TRUE(PumpUntil([] { return Call_Status == 3; }, 15000))
            << "not connected; Call_Status " << Call_Status << ", StatusTip " << StatusTip;
        if (call % 2 == 1) frmMain->spbHanpCall->click();  // else the peer hangs up
        ASSERT_TRUE(PumpUntil(
            [&] { return Call_Status == 0 && Logged(ZH("线路:") + std::to_string(line) + " callend"); }, 15000))
            << "not back to idle; Call_Status " << Call_Status;
        EXPECT_FALSE(frmMain->Timer_bill->isActive()) << "the call timer runs on";
        ++completed;
    }
    ASSERT_TRUE(WaitIdleShown(5000)) << "the window does not show idle";
    EXPECT_EQ(CountLogged(" callend"), kCalls) << "every call ended once";
    EXPECT_EQ(CountLogged(" callanswer"), kCalls);
    int hangups = 0, loops = 0;
    for (const auto& p : desk_.sound.played) {
        hangups += p.path == "sound\\hangup.wav";
        loops += p.loop;
    }
    EXPECT_EQ(hangups, kCalls) << "the hang-up sound once a call";
    EXPECT_EQ(loops, 0) << "nothing rings";
    std::printf("soak: %d of %d calls completed in %lld ms\n", completed, kCalls,
                static_cast<long long>(clock.elapsed()));
}
