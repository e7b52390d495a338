// SPDX-License-Identifier: GPL-3.0-or-later
// Calls from a sipp caller straight to the engine's own port.
#include <thread>

#include "zent_softphone.h"
#include "engine_fixture.h"

using namespace std::chrono_literals;

namespace {

class IncomingCallTest : public EngineTest {
protected:
    EngineEvent WaitForIncoming() {
        return WaitFor([](const EngineEvent& e) { return e.kind == "incoming"; });
    }
};

TEST_F(IncomingCallTest, AnsweredCallReportsCallerAndAnswerstr) {
    UseSlot(40);
    EXPECT_GE(SphSipGetPlayDeviceCount(), 0);  // starts the engine on its port
    SippPeer* caller = StartPeer("uac_call_answered.xml", SippPort(), EngineAddress(), 1);
    ASSERT_TRUE(caller);
    EngineEvent in = WaitForIncoming();
    ASSERT_EQ(in.kind, "incoming");
    EXPECT_GE(in.number, 0);
    EXPECT_EQ(in.text, "sip:8613912345678@127.0.0.1");
    SphSipAnswer(in.number);
    EXPECT_EQ(WaitForCall(in.number, "answerstr").kind, "call");
    EXPECT_EQ(WaitForCall(in.number, "callend").kind, "call") << caller->Messages();  // the caller hangs up
    EXPECT_EQ(caller->Wait(10s), 0) << caller->Messages();
    EXPECT_EQ(CallStates(in.number), (std::vector<std::string>{"answerstr", "callend"}));
}

TEST_F(IncomingCallTest, HangingUpARingingCallDeclinesIt) {
    UseSlot(41);
    EXPECT_GE(SphSipGetPlayDeviceCount(), 0);
    SippPeer* caller = StartPeer("uac_call_refused.xml", SippPort(), EngineAddress(), 1);
    ASSERT_TRUE(caller);
    EngineEvent in = WaitForIncoming();
    ASSERT_EQ(in.kind, "incoming");
    SphSipHanpCall(in.number);
    EXPECT_EQ(WaitForCall(in.number, "callend").kind, "call");
    EXPECT_EQ(caller->Wait(10s), 0) << caller->Messages();
    EXPECT_EQ(CallStates(in.number), (std::vector<std::string>{"callend"}));
}

TEST_F(IncomingCallTest, CallbacksSetAfterStartAreUsed) {
    UseSlot(42);
    SphSipSetIncomingCalllBack(nullptr);
    EXPECT_GE(SphSipGetPlayDeviceCount(), 0);
    UseSlot(42);  // sets the callbacks again while the engine runs
    SippPeer* caller = StartPeer("uac_call_refused.xml", SippPort(), EngineAddress(), 1);
    ASSERT_TRUE(caller);
    EngineEvent in = WaitForIncoming();
    ASSERT_EQ(in.kind, "incoming");
    SphSipHanpCall(in.number);
    EXPECT_EQ(WaitForCall(in.number, "callend").kind, "call");
}

}  // namespace
