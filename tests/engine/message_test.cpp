// SPDX-License-Identifier: GPL-3.0-or-later
// SIP MESSAGE both ways: code page 936 on the client's side, UTF-8 on the wire.
#include "zent_softphone.h"
#include "cp936.h"
#include "engine_fixture.h"

using namespace std::chrono_literals;

namespace {

class MessageTest : public EngineTest {};

TEST_F(MessageTest, SentTextArrivesAsUtf8PlainText) {
    UseSlot(50);
    SippPeer* peer = StartPeer("uas_message.xml", SippPort());
    ASSERT_TRUE(peer);
    RegisterOk();
    const std::string body = zent::Utf8ToCp936("你好，世界！Hello 123");
    ASSERT_NE(body, "你好，世界！Hello 123");  // really code page 936 bytes
    SphSipSendMessage("sip:8613912345678@ravelo.test", body.c_str());
    ASSERT_TRUE(peer->WaitForMessage("MESSAGE sip:8613912345678@ravelo.test", 10s)) << peer->Messages();
    std::string trace = peer->Messages();
    EXPECT_NE(trace.find("你好，世界！Hello 123"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Content-Type: text/plain"), std::string::npos);
}

TEST_F(MessageTest, ReceivedUtf8TextReachesTheClientAsCp936) {
    UseSlot(51);
    EXPECT_GE(SphSipGetPlayDeviceCount(), 0);
    SippPeer* sender = StartPeer("uac_message.xml", SippPort(), EngineAddress(), 1);
    ASSERT_TRUE(sender);
    EngineEvent msg = WaitFor([](const EngineEvent& e) { return e.kind == "message"; });
    ASSERT_EQ(msg.kind, "message");
    EXPECT_EQ(msg.text, "sip:8613912345678@127.0.0.1");
    const std::string expected = zent::Utf8ToCp936("你好，世界！明天见");
    ASSERT_GE(msg.body.size(), expected.size());
    EXPECT_EQ(msg.body.substr(0, expected.size()), expected);
    EXPECT_EQ(msg.body.find_first_not_of("\r\n", expected.size()), std::string::npos);
    EXPECT_EQ(sender->Wait(10s), 0) << sender->Messages();
}

TEST_F(MessageTest, BadAddressOrTextIsRefusedQuietly) {
    UseSlot(52);
    SphSipSendMessage(nullptr, "x");
    SphSipSendMessage("", "x");
    SphSipSendMessage("not an address <>", "x");
    SphSipSendMessage("sip:1@127.0.0.1:1", nullptr);
    SphSipSendMessage("sip:1@127.0.0.1:1", "\xff\xfe broken \x81");
    EXPECT_GE(SphSipGetPlayDeviceCount(), 0);  // the engine still answers
}

}  // namespace
