// SPDX-License-Identifier: GPL-3.0-or-later
// A message flood through the whole client: three peers send 1000 SIP
// MESSAGEs in all within ten seconds, Chinese and ASCII mixed, through the
// stand-in's SIP server. Every one must be answered, and shown once, in
// order, in its peer's window, while the status display keeps ticking.
#include <QElapsedTimer>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "core/msg_queue.h"
#include "core/shared_state.h"
#include "tests/stress/stress_fixture.h"

namespace {

struct FloodPeer {
    const char* number;
    int messages;
    int port;
};
constexpr FloodPeer kPeers[] = {{"10086110101", 334, 15181}, {"10086110102", 333, 15185}, {"10086110103", 333, 15189}};
constexpr int kRatePerPeer = 34;  // 100 a second in all

// The message numbers shown in a conversation, in the order shown.
std::vector<int> ShownNumbers(const std::string& history) {
    static const std::regex line("第([0-9]+)条 flood message #\\1 你好，Ravelo");
    std::vector<int> shown;
    for (std::sregex_iterator it(history.begin(), history.end(), line), end; it != end; ++it)
        shown.push_back(std::stoi((*it)[1]));
    return shown;
}

// What differs from 1..n shown once each in order, in a few words.
std::string Differences(const std::vector<int>& shown, int n) {
    std::vector<int> seen(n + 1, 0);
    std::string missing, doubled, other;
    for (int v : shown) {
        if (v >= 1 && v <= n)
            ++seen[v];
        else
            other += " " + std::to_string(v);
    }
    for (int v = 1; v <= n; ++v) {
        if (seen[v] == 0 && missing.size() < 60) missing += " " + std::to_string(v);
        if (seen[v] > 1 && doubled.size() < 60) doubled += " " + std::to_string(v);
    }
    std::size_t disorder = 0;
    while (disorder + 1 < shown.size() && shown[disorder] < shown[disorder + 1]) ++disorder;
    return "shown " + std::to_string(shown.size()) + ", missing:" + missing + "; doubled:" + doubled +
           "; out of range:" + other + "; in order up to position " + std::to_string(disorder + 1);
}

// The last line of sipp's statistics file: a column by its name.
long StatColumn(const std::string& file, const std::string& name) {
    std::ifstream in(file);
    std::string header, row, last;
    std::getline(in, header);
    while (std::getline(in, row))
        if (!row.empty()) last = row;
    std::vector<std::string> names, values;
    for (std::stringstream h(header); std::getline(h, row, ';');) names.push_back(row);
    for (std::stringstream v(last); std::getline(v, row, ';');) values.push_back(row);
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
        if (names[i] == name) return std::stol(values[i]);
    return -1;
}

class Flood : public StressTest {};

}  // namespace

TEST_F(Flood, ThreeSendersThousandMessagesInTenSecondsAllShownInOrder) {
    StartStandin();
    StartClient();
    ASSERT_TRUE(WaitIdleShown(30000)) << "never registered; StatusTip " << StatusTip;
    WatchStatusTicks();

    QElapsedTimer clock;
    clock.start();
    std::vector<SippPeer*> peers;
    for (const FloodPeer& p : kPeers) {
        SippPeer* peer = Sipp("stress/scenarios/flood_message.xml", p.port, "127.0.0.1:5060", p.messages,
                              {"-r",        std::to_string(kRatePerPeer),
                               "-rp",       "1000",
                               "-l",        "2000",
                               "-key",      "from",
                               p.number,    "-key",
                               "to",        kAccount,
                               "-key",      "domain",
                               "127.0.0.1", "-trace_stat",
                               "-stf",      "stat.csv",
                               "-fd",       "1"});
        ASSERT_TRUE(peer) << "sipp did not start for " << p.number;
        peers.push_back(peer);
    }
    ASSERT_TRUE(PumpUntilFinished(peers, 90000)) << "the senders did not finish";
    const qint64 sent_ms = clock.elapsed();

    int total = 0, answered = 0, retransmitted = 0;
    for (std::size_t i = 0; i < peers.size(); ++i) {
        const std::string stat = peers[i]->Dir() + "/stat.csv";
        total += kPeers[i].messages;
        answered += StatColumn(stat, "SuccessfulCall(C)");
        retransmitted += StatColumn(stat, "Retransmissions(C)");
        EXPECT_EQ(StatColumn(stat, "SuccessfulCall(C)"), kPeers[i].messages) << kPeers[i].number << " got no answer";
    }

    // Shown: every message once, in its peer's window, in the order sent.
    // Looked at twice a second, and cheaply, so the looking costs the client little.
    QElapsedTimer looked;
    looked.start();
    auto allShown = [&] {
        if (looked.elapsed() < 500) return false;
        looked.restart();
        for (const FloodPeer& p : kPeers) {
            const std::string h = HistoryOf(p.number);
            int n = 0;
            for (auto at = h.find("flood message #"); at != std::string::npos; at = h.find("flood message #", at + 1))
                ++n;
            if (n < p.messages) return false;
        }
        return true;
    };
    PumpUntil(allShown, 60000);
    const qint64 shown_ms = clock.elapsed();
    for (const FloodPeer& p : kPeers) {
        std::vector<int> expected(p.messages);
        for (int n = 0; n < p.messages; ++n) expected[n] = n + 1;
        const std::vector<int> shown = ShownNumbers(HistoryOf(p.number));
        EXPECT_EQ(shown, expected) << "the window of " << p.number << ": " << Differences(shown, p.messages);
    }
    EXPECT_TRUE(MsgQueue.Empty()) << MsgQueue.Size() << " messages still queued";
    EXPECT_GE(StatusTicks(), static_cast<int>(shown_ms / 400)) << "the status display stalled";
    EXPECT_LT(LongestTickGapMs(), 2000) << "the status display stood still";

    std::printf(
        "flood: %d of %d messages answered, %d retransmissions; sent in %lld ms, last shown after %lld ms; "
        "status display: %d ticks, longest gap %lld ms\n",
        answered, total, retransmitted, static_cast<long long>(sent_ms), static_cast<long long>(shown_ms),
        StatusTicks(), static_cast<long long>(LongestTickGapMs()));
    RecordProperty("last_shown_ms", static_cast<int>(shown_ms));
}
