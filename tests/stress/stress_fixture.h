// SPDX-License-Identifier: GPL-3.0-or-later
// The whole client in this process with the real engine, against the local
// stand-in service and sipp peers on loopback. Only what would wait for a
// person (dialogs) or a sound card is a fake. Each test brings the client up
// and takes it down again; every server it starts is stopped at the end.
#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "tests/engine/sipp_peer.h"
#include "tests/support/platform_fakes.h"

class TfrmMessage;

class StressTest : public ::testing::Test {
protected:
    // The SIP port the client's engine listens on (sipp peers send there).
    static constexpr int kEnginePort = 25190;
    static constexpr const char* kAccount = "13800138000";

    void TearDown() override;

    // The stand-in service on its default ports, in a run folder of its own.
    // env: extra settings for it ("NAME=value ..."). Fails the test when it
    // does not come up.
    void StartStandin(const std::string& env = "");
    // The account's Info.ini with automatic login, then the four windows.
    // With a debugging SIP server the question about it is answered Yes.
    void StartClient(const text::Ansi& debugSipSrv = "");
    // Shuts the client down as the exit command does and deletes its windows.
    void StopClient();
    // Pumps the GUI until Call_Status is 0 and the window shows "空闲待机".
    bool WaitIdleShown(int ms);

    // Runs the event loop until `done` holds or `ms` pass.
    static bool PumpUntil(const std::function<bool()>& done, int ms);
    // Whether the daily log (its file and what is still buffered) holds `part`.
    static bool Logged(const text::Ansi& part);
    static int CountLogged(const text::Ansi& part);

    // A sipp peer playing `scenario` (a path under tests/), killed when the
    // test ends; null when it did not start.
    SippPeer* Sipp(const std::string& scenario, int port, const std::string& remote = {}, int calls = 0,
                   std::vector<std::string> extra = {});
    // Pumps the GUI until every peer has ended, at most `ms`.
    bool PumpUntilFinished(const std::vector<SippPeer*>& peers, int ms);

    // Sends one SIP request over UDP from 127.0.0.1:kRawPort to the client's
    // engine and pumps the GUI until a final answer comes; its status line,
    // or "" after `ms`. "[port]" in the request is replaced by kRawPort.
    static constexpr int kRawPort = 15300;
    static std::string SendRaw(std::string request, int ms = 10000);

    // Counts the ticks of a 200 ms timer on the GUI loop from now on (the
    // status display's own tick stops while nothing changes) and keeps the
    // longest gap between two of them (or since the start).
    void WatchStatusTicks();
    int StatusTicks() const { return ticks_; }
    qint64 LongestTickGapMs() const;

    static TfrmMessage* WindowOf(const text::Ansi& number);
    // The conversation shown in a peer's window, as UTF-8; empty when none.
    static std::string HistoryOf(const text::Ansi& number);

    fakes::Desktop desk_;
    std::string runDir_;

private:
    bool clientUp_ = false;
    bool standinUp_ = false;
    std::vector<std::unique_ptr<SippPeer>> peers_;
    int ticks_ = 0;
    qint64 longestGap_ = 0;
    QElapsedTimer sinceTick_;
    std::unique_ptr<QTimer> probe_;
};
