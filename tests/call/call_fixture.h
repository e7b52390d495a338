// SPDX-License-Identifier: GPL-3.0-or-later
// A call-control form with the recording engine, scripted desktop and
// recording stand-ins for the main and login windows.
#pragma once
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "call/call_control.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "service_addresses.h"
#include "tests/support/fake_engine.h"
#include "tests/support/logged.h"
#include "tests/support/platform_fakes.h"

using testlog::Logged;

class RecordingMain : public MainWindowPort {
public:
    std::vector<text::Ansi> tips, urls, history;
    std::vector<std::pair<int, text::Ansi>> panels;
    int billStarts = 0, billStops = 0;
    int outLevel = -1, inLevel = -1;
    void SetTips(const text::Ansi& t) override { tips.push_back(t); }
    void SetStatusPanel(int p, const text::Ansi& t) override { panels.emplace_back(p, t); }
    void OpenWebPage(const text::Ansi& u) override { urls.push_back(u); }
    void StartBillTimer() override { ++billStarts; }
    void StopBillTimer() override { ++billStops; }
    void SetSoundLevels(int o, int i) override {
        outLevel = o;
        inLevel = i;
    }
    void AddPhoneHistory(const text::Ansi& n) override { history.push_back(n); }
};

class RecordingLogin : public LoginWindowPort {
public:
    int closes = 0, runs = 0;
    bool accept = false;
    std::function<void()> onAccept;  // what the user typed, written to shared state
    text::Ansi shownAccount, shownPassword;
    bool shownAutoLogin = false, shownAutoRun = false;
    void CloseLogin() override { ++closes; }
    bool RunLogin(const text::Ansi& a, const text::Ansi& p, bool al, bool ar) override {
        ++runs;
        shownAccount = a;
        shownPassword = p;
        shownAutoLogin = al;
        shownAutoRun = ar;
        if (accept && onAccept) onAccept();
        return accept;
    }
};

class CallFixture : public ::testing::Test {
protected:
    fakes::Desktop desk;
    RecordingMain main;
    RecordingLogin login;
    std::unique_ptr<TfrmCall> form;

    void SetUp() override {
        fake_engine::Reset();
        SetMainWindowPort(&main);
        SetLoginWindowPort(&login);
    }
    void TearDown() override {
        Drain();
        form.reset();
        SetMainWindowPort(nullptr);
        SetLoginWindowPort(nullptr);
        SetDiscoveryHost(service::kDiscoveryHost);
    }
    // Builds the form; its creation runs StartLogin, whose notification waits
    // until Drain() delivers it.
    void Create() {
        form = std::make_unique<TfrmCall>();
        ASSERT_EQ(frmCall, form.get());
    }
    static void Drain() {
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    static std::vector<std::string> CalledFunctions() {
        std::vector<std::string> r;
        for (const auto& c : fake_engine::Calls()) r.push_back(c.fn);
        return r;
    }
};
