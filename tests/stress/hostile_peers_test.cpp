// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile peers through the stand-in's SIP server: a flood of calls with new
// Call-IDs while nobody answers, and text messages from a thousand different
// senders. The client stays responsive, holds no more than it must, gives
// its memory back and still takes the next real call.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/msg_queue.h"
#include "core/shared_state.h"
#include "tests/stress/stress_fixture.h"
#include "windows/message_windows.h"

using text::ZH;

namespace {

// Calls the SIP stack holds at once (its default); a call beyond them it
// refuses with 486 itself.
constexpr int kLinesHeld = 10;

// Resident memory of this process in KiB, after the allocator has handed
// back what it holds free.
long RssKb() {
    malloc_trim(0);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A user who lets each question stand for a second and then says No (or
// Yes), unless the caller takes it back first. Questions of calls that come
// meanwhile open on top of it, as modal boxes do.
class Hesitant : public fakes::Dialogs {
public:
    std::function<void(const std::function<bool()>&, int)> pump;
    bool answer = false;
    int open = 0, most = 0;
    bool AskYesNo(const std::string& t, const std::string& c) override {
        shown.push_back({"question", t, c});
        most = std::max(most, ++open);
        closed_.push_back(false);
        const std::size_t mine = closed_.size() - 1;
        pump([this, mine] { return closed_[mine]; }, 1000);
        closed_.pop_back();
        --open;
        return answer;
    }
    void CloseQuestion() override {
        if (!closed_.empty()) closed_.back() = true;
    }

private:
    std::vector<bool> closed_;
};

class HostilePeers : public StressTest {
protected:
    void StartRegistered() {
        ASSERT_NO_FATAL_FAILURE(StartStandin());
        StartClient();
        ASSERT_TRUE(WaitIdleShown(30000)) << "never registered; StatusTip " << StatusTip;
        hesitant_.pump = [](const std::function<bool()>& done, int ms) { PumpUntil(done, ms); };
        platform::SetDialogs(&hesitant_);
        PumpUntil([] { return false; }, 1000);  // start-up settles
    }
    void TearDown() override {
        StressTest::TearDown();
        platform::SetDialogs(&desk_.dialogs);
    }
    Hesitant hesitant_;
};

}  // namespace

TEST_F(HostilePeers, TwoHundredCallsInTenSecondsAreHeldOrRefused) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    const long before = RssKb();
    WatchStatusTicks();
    SippPeer* flood = Sipp("stress/scenarios/uac_invite_flood.xml", 15340, "127.0.0.1:5060", 200,
                           {"-s", kAccount, "-r", "20", "-rp", "1000", "-timeout", "60s"});
    ASSERT_TRUE(flood);
    EXPECT_TRUE(PumpUntilFinished({flood}, 60000)) << "the calls did not end";
    EXPECT_TRUE(PumpUntil([this] { return hesitant_.open == 0; }, 15000)) << "questions left open";
    EXPECT_TRUE(WaitIdleShown(15000)) << "not idle after the flood; StatusTip " << StatusTip;
    const std::string trace = flood->Messages();
    const int refused = Count(trace, "SIP/2.0 486");
    const int asked = static_cast<int>(hesitant_.shown.size());
    EXPECT_LE(hesitant_.most, kLinesHeld) << "questions piled up beyond the calls the engine holds";
    EXPECT_GT(refused, 0) << "what the engine cannot hold is refused";
    EXPECT_LT(LongestTickGapMs(), 2000) << "the status display stood still";
    PumpUntil([] { return false; }, 2000);
    const long after = RssKb();
    EXPECT_LT(after - before, 10 * 1024) << "memory kept after the flood";

    // The next real call is asked and answered.
    hesitant_.answer = true;
    const std::string out = runDir_ + "/next_call";
    std::system(("(bash " RAVELO_SOURCE_DIR "/tools/call_client.sh " + std::string(kAccount) + " 1 >" + out +
                 ".log 2>&1; echo $? >" + out + ".rc) &")
                    .c_str());
    EXPECT_TRUE(PumpUntil([&] { return std::ifstream(out + ".rc").good(); }, 40000));
    std::ifstream rc(out + ".rc");
    int code = -1;
    rc >> code;
    EXPECT_EQ(code, 0) << "the next call was not answered";
    std::printf(
        "call flood: 200 calls, %d questions asked, at most %d open at once, %d refused with 486; status "
        "display longest gap %lld ms; memory %ld KiB before, %ld KiB after\n",
        asked, hesitant_.most, refused, static_cast<long long>(LongestTickGapMs()), before, after);
}

TEST_F(HostilePeers, ThousandSendersInAMinuteAreAnsweredAndShown) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    const long before = RssKb();
    const std::size_t windowsBefore = MessageWindows().size();
    WatchStatusTicks();
    SippPeer* senders = Sipp("stress/scenarios/flood_senders.xml", 15345, "127.0.0.1:5060", 1000,
                             {"-r", "17", "-rp", "1000", "-l", "2000", "-key", "to", kAccount, "-key", "domain",
                              "127.0.0.1", "-trace_stat", "-stf", "stat.csv", "-fd", "1"});
    ASSERT_TRUE(senders);
    ASSERT_TRUE(PumpUntilFinished({senders}, 120000)) << "the senders did not finish";
    const std::string trace = senders->Messages();
    EXPECT_EQ(Count(trace, "SIP/2.0 200"), 1000) << "every message is answered";
    EXPECT_TRUE(PumpUntil([] { return MsgQueue.Empty(); }, 60000)) << MsgQueue.Size() << " messages still queued";
    EXPECT_LT(LongestTickGapMs(), 2000) << "the status display stood still";
    PumpUntil([] { return false; }, 2000);
    const long after = RssKb();
    const std::size_t opened = MessageWindows().size() - windowsBefore;
    ASSERT_GT(opened, 0u);
    EXPECT_EQ(opened, kMostMessageWindows) << "windows stop at the bound";
    const double perWindow = static_cast<double>(after - before) / 1024.0 / static_cast<double>(opened);
    EXPECT_LE(perWindow, 3.0) << "MB per message window";
    EXPECT_LE(after - before, static_cast<long>(kMostMessageWindows) * 3 * 1024) << "memory beyond the bound";
    // Each message is in the log: as received, and once more as dropped
    // when it came from a peer beyond the windows.
    EXPECT_EQ(CountLogged(ZH("ReceiveMsg SIP短信，来自:")), 1000);
    const int dropped = CountLogged(ZH("个，不再新建，丢弃短信，来自:"));
    EXPECT_EQ(dropped, 1000 - static_cast<int>(opened)) << "a message neither shown nor logged";
    std::printf(
        "1000 senders: %zu message windows opened, %d messages dropped to the log, memory %ld KiB before, %ld "
        "KiB after: %.2f MB a window; status display longest gap %lld ms, %d ticks\n",
        opened, dropped, before, after, perWindow, static_cast<long long>(LongestTickGapMs()), StatusTicks());
}
