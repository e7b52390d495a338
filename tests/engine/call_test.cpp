// SPDX-License-Identifier: GPL-3.0-or-later
// Calls placed by the engine to a sipp called party behind a sipp registrar.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "zent_softphone.h"
#include "engine_fixture.h"

using namespace std::chrono_literals;

namespace {

class OutgoingCallTest : public EngineTest {};

TEST_F(OutgoingCallTest, AnsweredCallReportsEveryStateInOrderWithItsLine) {
    UseSlot(20);
    SippPeer* peer = StartPeer("uas_answer_bye.xml", SippPort());
    ASSERT_TRUE(peer);
    RegisterOk();
    const int line = SphSiMakeCall("13912345678");
    ASSERT_GE(line, 0);
    ASSERT_EQ(WaitForCall(line, "callend").kind, "call");
    EXPECT_EQ(CallStates(line), (std::vector<std::string>{"calling", "callring", "callanswer", "callend"}));
    EXPECT_NE(peer->Messages().find("INVITE sip:13912345678@127.0.0.1 SIP/2.0"), std::string::npos);
    // Levels were reported while connected, and a last 0, 0 after.
    std::vector<EngineEvent> levels;
    for (const EngineEvent& e : Events())
        if (e.kind == "audio") levels.push_back(e);
    ASSERT_FALSE(levels.empty());
    for (const EngineEvent& e : levels) {
        EXPECT_GE(e.number, 0);
        EXPECT_LE(e.number, 100);
        EXPECT_GE(e.second, 0);
        EXPECT_LE(e.second, 100);
    }
    bool ended = false, zeroed = false;
    auto end = std::chrono::steady_clock::now() + 3s;
    while (!zeroed && std::chrono::steady_clock::now() < end) {
        ended = false;
        for (const EngineEvent& e : Events()) {
            if (e.kind == "call" && e.text == "callend") ended = true;
            if (ended && e.kind == "audio" && e.number == 0 && e.second == 0) zeroed = true;
        }
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(zeroed) << "meters not reset after the call";
}

TEST_F(OutgoingCallTest, BusyPeerEndsTheLineOnce) {
    UseSlot(21);
    ASSERT_TRUE(StartPeer("uas_busy.xml", SippPort()));
    RegisterOk();
    const int line = SphSiMakeCall("13912345678");
    ASSERT_GE(line, 0);
    ASSERT_EQ(WaitForCall(line, "callend").kind, "call");
    std::this_thread::sleep_for(300ms);  // room for a wrong second "callend"
    EXPECT_EQ(CallStates(line), (std::vector<std::string>{"calling", "callend"}));
}

TEST_F(OutgoingCallTest, HangingUpWhileRingingCancels) {
    UseSlot(22);
    SippPeer* peer = StartPeer("uas_ring_cancel.xml", SippPort());
    ASSERT_TRUE(peer);
    RegisterOk();
    const int line = SphSiMakeCall("13912345678");
    ASSERT_GE(line, 0);
    ASSERT_EQ(WaitForCall(line, "callring").kind, "call");
    SphSipHanpCall(line);
    ASSERT_EQ(WaitForCall(line, "callend").kind, "call");
    EXPECT_TRUE(peer->WaitForMessage("CANCEL sip:", 5s));
    EXPECT_EQ(CallStates(line), (std::vector<std::string>{"calling", "callring", "callend"}));
}

TEST_F(OutgoingCallTest, NoLineWithoutRegistrationOrNumber) {
    UseSlot(23);
    EXPECT_LT(SphSiMakeCall("13912345678"), 0);
    ASSERT_TRUE(StartPeer("reg_200.xml", SippPort()));
    RegisterOk();
    EXPECT_LT(SphSiMakeCall(""), 0);
    EXPECT_LT(SphSiMakeCall("   "), 0);
    EXPECT_LT(SphSiMakeCall(nullptr), 0);
    EXPECT_LT(SphSiMakeCall("139 1234"), 0);
    for (const EngineEvent& e : Events()) EXPECT_NE(e.kind, "call");
}

TEST_F(OutgoingCallTest, LineIdsAreDistinctPerCall) {
    UseSlot(24);
    ASSERT_TRUE(StartPeer("uas_busy.xml", SippPort()));
    RegisterOk();
    const int first = SphSiMakeCall("13912345678");
    ASSERT_EQ(WaitForCall(first, "callend").kind, "call");
    const int second = SphSiMakeCall("13912345678");
    ASSERT_GE(second, 0);
    EXPECT_NE(first, second);
    ASSERT_EQ(WaitForCall(second, "callend").kind, "call");
}

TEST_F(OutgoingCallTest, DigitGoesAsSipInfoWhenPeerHasNoTelephoneEvents) {
    UseSlot(25);
    SippPeer* peer = StartPeer("uas_dtmf_info.xml", SippPort());
    ASSERT_TRUE(peer);
    RegisterOk();
    const int line = SphSiMakeCall("13912345678");
    ASSERT_EQ(WaitForCall(line, "callanswer").kind, "call");
    SphSipSendDigit(line, "5");
    EXPECT_TRUE(peer->WaitForMessage("INFO sip:", 5s));
    std::string trace = peer->Messages();
    EXPECT_NE(trace.find("Signal=5"), std::string::npos) << trace;
    SphSipHanpCall(line);
    EXPECT_EQ(WaitForCall(line, "callend").kind, "call");
    EXPECT_TRUE(peer->WaitForMessage("BYE sip:", 5s));
}

// RTP telephone events (RFC 4733/2833) carry the digit in the first payload byte.
TEST_F(OutgoingCallTest, DigitGoesAsTelephoneEventWhenPeerAgrees) {
    UseSlot(26);
    const int rtp_port = 17000 + slot_;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(rtp_port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    SippPeer* peer = StartPeer("uas_dtmf_rtp.xml", SippPort(), {}, 0, {"-key", "rtp_port", std::to_string(rtp_port)});
    ASSERT_TRUE(peer);
    RegisterOk();
    const int line = SphSiMakeCall("13912345678");
    ASSERT_EQ(WaitForCall(line, "callanswer").kind, "call");
    SphSipSendDigit(line, "#");
    bool event_seen = false;
    auto end = std::chrono::steady_clock::now() + 5s;
    while (!event_seen && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        unsigned char buf[1500];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        // an event packet: 12 header bytes and 4 payload bytes, event '#' is 11;
        // its payload type is the dynamic one the engine chose (not PCMA's 8)
        if (n == 16 && (buf[1] & 0x7f) >= 96 && buf[12] == 11) event_seen = true;
    }
    close(fd);
    EXPECT_TRUE(event_seen);
    EXPECT_EQ(peer->Messages().find("INFO sip:"), std::string::npos) << "digit sent twice";
    SphSipHanpCall(line);
    EXPECT_EQ(WaitForCall(line, "callend").kind, "call");
}

TEST_F(OutgoingCallTest, OperationsOnUnknownLinesAreIgnored) {
    UseSlot(27);
    SphSipAnswer(4711);
    SphSipHanpCall(-1);
    SphSipSendDigit(4711, "1");
    SphSipSendDigit(4711, nullptr);
    SphSipSendDigit(4711, "x");
    EXPECT_GE(SphSipGetRecvDeviceCount(), 0);  // the engine still answers
    for (const EngineEvent& e : Events()) EXPECT_NE(e.kind, "call");
}

}  // namespace

namespace {

class CodecOrderTest : public EngineTest {
protected:
    // The audio part of the engine's offer, as the called party saw it.
    std::string OfferedSdp(SippPeer* peer) {
        RegisterOk();
        const int line = SphSiMakeCall("13912345678");
        EXPECT_GE(line, 0);
        EXPECT_EQ(WaitForCall(line, "callend").kind, "call");
        std::string trace = peer->Messages();
        size_t m = trace.find("m=audio");
        return m == std::string::npos ? std::string() : trace.substr(m, trace.find("\r\n\r\n", m) - m);
    }
};

TEST_F(CodecOrderTest, NamedCodecsAreOfferedInTheirOrderAndNoOthers) {
    UseSlot(30);  // the client's order, with ILBC that the stack lacks
    SippPeer* peer = StartPeer("uas_busy.xml", SippPort());
    ASSERT_TRUE(peer);
    std::string sdp = OfferedSdp(peer);
    // speex/8000 (dynamic), G729 18, GSM 3, PCMA 8, G722 9, then telephone events
    ASSERT_EQ(sdp.find("RTP/AVP 96 18 3 8 9 97\r"), sdp.find("RTP/AVP")) << sdp;
    EXPECT_NE(sdp.find("a=rtpmap:96 speex/8000"), std::string::npos) << sdp;
    EXPECT_NE(sdp.find("a=rtpmap:97 telephone-event/8000"), std::string::npos) << sdp;
}

TEST_F(CodecOrderTest, OnlyUnknownNamesLeaveTheCodecsAsTheyWere) {
    UseSlot(31);
    SphSetAudioCode("ILBC/8000", "NOPE/8000", "", nullptr, "PCMA/44100", "X");
    SippPeer* peer = StartPeer("uas_busy.xml", SippPort());
    ASSERT_TRUE(peer);
    std::string sdp = OfferedSdp(peer);
    EXPECT_NE(sdp.find("RTP/AVP 96 18 3 8 9 97\r"), std::string::npos) << sdp;
}

}  // namespace
