// SPDX-License-Identifier: GPL-3.0-or-later
// The call control with the real engine and two sipp peers: while a call is
// connected another caller rings and is declined; the connected call keeps
// its state and can still be hung up from the client.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "call/call_control.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "service_addresses.h"
#include "tests/e2e/pump_until.h"
#include "tests/engine/sipp_peer.h"
#include "tests/support/logged.h"
#include "tests/support/platform_fakes.h"

using namespace std::chrono_literals;
using text::ZH;

namespace {

// Apart from the engine tests' ports and the stand-in's.
constexpr int kCalledPort = 15990;
constexpr int kCallerPort = 15991;
constexpr int kEnginePort = 25990;

using testlog::Logged;

TEST(SecondLine, DecliningASecondCallLeavesTheConnectedOneToHangUp) {
    fakes::Desktop desk;  // the incoming call's question is answered No
    setenv("ZENT_SOFTPHONE_SIP_PORT", std::to_string(kEnginePort).c_str(), 1);
    SippPeer called("uas_answer_wait_bye.xml", kCalledPort);
    ASSERT_TRUE(called.Start());

    Account = "13800138000";
    Password = "123456";
    AutoLogin = "1";
    DebugSipSrv = "127.0.0.1:" + std::to_string(kCalledPort);
    SetDiscoveryHost("127.0.0.1:1");  // the token discovery after registration fails at once
    auto form = std::make_unique<TfrmCall>();
    ASSERT_TRUE(PumpUntil([] { return Call_Status == 0; }, 20000)) << "not registered: " << StatusTip;

    ASSERT_TRUE(form->MakeCall("13912345678"));
    ASSERT_TRUE(PumpUntil([] { return Call_Status == 3; }, 15000)) << called.Messages();
    const int live = OutCallId;

    SippPeer caller("uac_call_refused.xml", kCallerPort, "127.0.0.1:" + std::to_string(kEnginePort), 1);
    ASSERT_TRUE(caller.Start());
    ASSERT_TRUE(
        PumpUntil([&] { return InCallId >= 0 && Logged(ZH("线路:") + std::to_string(InCallId) + " callend"); }, 15000))
        << caller.Messages();
    EXPECT_EQ(caller.Wait(10s), 0) << "declined with 603\n" << caller.Messages();
    EXPECT_NE(InCallId, live);
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "question");

    EXPECT_EQ(Call_Status, 3) << "the connected call is still connected";
    form->HangUp();
    EXPECT_TRUE(called.WaitForMessage("BYE sip:", 5s)) << called.Messages();
    EXPECT_TRUE(PumpUntil([] { return Call_Status == 0; }, 10000));
    form.reset();  // shuts the engine down
    SetDiscoveryHost(service::kDiscoveryHost);
}

}  // namespace
