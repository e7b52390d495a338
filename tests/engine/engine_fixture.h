// SPDX-License-Identifier: GPL-3.0-or-later
// Records what the real engine reports through its five callbacks, and gives
// each test fresh engine ports and a clean engine.
#ifndef RAVELO_TESTS_ENGINE_ENGINE_FIXTURE_H
#define RAVELO_TESTS_ENGINE_ENGINE_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sipp_peer.h"

struct EngineEvent {
    std::string kind;  // "reg", "call", "audio", "incoming", "message"
    int number = 0;    // status, line or output level
    int second = 0;    // input level
    std::string text;  // state, caller, sender
    std::string body;  // message body
};

class EngineTest : public ::testing::Test {
protected:
    // n picks the ports of this test: sipp at 15060+n, the engine at 25060+n.
    void UseSlot(int n);
    void TearDown() override;

    int SippPort() const { return 15060 + slot_; }
    int EnginePort() const { return 25060 + slot_; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(SippPort()); }
    std::string EngineAddress() const { return "127.0.0.1:" + std::to_string(EnginePort()); }

    // Waits (bounded) until an event matches; returns it, or a kind "" event.
    EngineEvent WaitFor(const std::function<bool(const EngineEvent&)>& match,
                        std::chrono::milliseconds limit = std::chrono::seconds(15));
    EngineEvent WaitForReg(std::chrono::milliseconds limit = std::chrono::seconds(15));
    EngineEvent WaitForCall(int line, const std::string& state,
                            std::chrono::milliseconds limit = std::chrono::seconds(15));
    std::vector<EngineEvent> Events();
    std::vector<std::string> CallStates(int line);
    // Registers with the standard test account and waits for 200.
    void RegisterOk();
    // Starts a sipp peer that lives until after the engine is destroyed, so the
    // engine's last requests still get answers. Null when it did not start.
    SippPeer* StartPeer(const std::string& scenario, int port, const std::string& remote = {}, int calls = 0,
                        std::vector<std::string> extra = {});

    int slot_ = 0;
    std::vector<std::unique_ptr<SippPeer>> peers_;
};

// The test account the registrar scenarios know.
inline constexpr const char* kUser = "8613800138000";
inline constexpr const char* kPassword = "s3cret!";

#endif
