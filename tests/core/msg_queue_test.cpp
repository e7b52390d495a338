// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "core/msg_queue.h"
#include "tests/support/platform_fakes.h"

using text::ZH;

namespace {
class Queue : public ::testing::Test {
protected:
    fakes::Desktop desk;
};
}  // namespace

TEST_F(Queue, EmptyQueueGivesEmptyText) { EXPECT_EQ(TakeMessageFor("13800138000"), ""); }

TEST_F(Queue, OwnPeerTakesFrontRecordWithKeyBlankText) {
    QueueReceivedMessage("sip:8613800138000@sip.example", ZH("你好").c_str());
    EXPECT_EQ(TakeMessageFor("13800138000"), "13800138000@ " + ZH("你好"));
    EXPECT_TRUE(MsgQueue.Empty());
}

TEST_F(Queue, HeadOfLineWaitsForItsOwnPeer) {
    QueueReceivedMessage("sip:86111@d", "first");
    QueueReceivedMessage("sip:86222@d", "second");
    EXPECT_EQ(TakeMessageFor("222"), "") << "a later record of 222 waits behind 111";
    EXPECT_EQ(MsgQueue.Size(), 2u);
    EXPECT_EQ(TakeMessageFor("11"), "") << "keys compare whole, with the @";
    EXPECT_EQ(TakeMessageFor("111"), "111@ first");
    EXPECT_EQ(TakeMessageFor("222"), "222@ second");
}

TEST_F(Queue, KeyIsTheUserPartWithoutTheCountryCode) {
    struct Row {
        const char* sender;
        const char* key;
    };
    const Row rows[] = {
        {"sip:8613800138000@x.y", "13800138000@"},      // as the service presents it
        {"sip:13900139000@127.0.0.1", "13900139000@"},  // another client's own address
        {"sip:8686123@x", "86123@"},                    // only one 86 is the country code
        {"sip:868@x", "8@"},
        {"sip:8@x", "8@"},
        {"sip:86@x", "@"},
        {"sip:@x", "@"},
        {"sips:alice@x", "alice@"},
        {"86123@x", "123@"},  // no colon: the user part starts at once
        {"123@x", "123@"},
        {"sip:user-without-at", ""},
        {"a@b:86c", ""},  // the first "@" before the first ":"
    };
    for (const Row& r : rows) EXPECT_EQ(MessageKey(r.sender), r.key) << r.sender;
}

TEST_F(Queue, SenderWithoutCountryCodeReachesItsNumber) {
    QueueReceivedMessage("sip:13900139000@127.0.0.1", "hi");
    EXPECT_EQ(TakeMessageFor("900139000"), "");
    EXPECT_EQ(TakeMessageFor("13900139000"), "13900139000@ hi");
}

TEST_F(Queue, RecordIs1112BytesAndLongFieldsAreCutAtCharacterBoundaries) {
    EXPECT_EQ(sizeof(MsgRecord), 1112u);
    const text::Ansi longSender = "sip:86" + std::string(60, '9') + "@d";
    const text::Ansi longText = std::string(1024, 'a') + ZH("中文");  // 1028 bytes
    QueueReceivedMessage(longSender.c_str(), longText.c_str());
    auto r = MsgQueue.PopFrontIf([](const MsgRecord&) { return true; });
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(std::strlen(r->sender), 51u);
    EXPECT_EQ(r->flag, 0);
    // 1024 + 2 would exceed 1025: the whole Chinese character is dropped.
    EXPECT_EQ(std::strlen(r->text), 1024u);
    EXPECT_STREQ(r->time, "2026-12-08 09:30:00");
}

TEST_F(Queue, PushesFromAnotherThreadAreAllKept) {
    std::thread producer([] {
        for (int i = 0; i < 500; ++i) QueueReceivedMessage("sip:86555@d", std::to_string(i).c_str());
    });
    int taken = 0;
    while (taken < 500) {
        text::Ansi m = TakeMessageFor("555");
        if (m.empty()) {
            std::this_thread::yield();
            continue;
        }
        EXPECT_EQ(m, "555@ " + std::to_string(taken));
        ++taken;
    }
    producer.join();
    EXPECT_TRUE(MsgQueue.Empty());
}
