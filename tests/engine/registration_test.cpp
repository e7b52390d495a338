// SPDX-License-Identifier: GPL-3.0-or-later
// Registration outcomes against sipp registrars on loopback.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "zent_softphone.h"
#include "engine_fixture.h"
#include "sipp_peer.h"

using namespace std::chrono_literals;

namespace {

class RegistrationTest : public EngineTest {};

TEST_F(RegistrationTest, RegistrarAnswering200GivesStatus200) {
    UseSlot(1);
    SippPeer* registrar = StartPeer("reg_200.xml", SippPort());
    ASSERT_TRUE(registrar);
    RegisterOk();
    std::string trace = registrar->Messages();
    EXPECT_NE(trace.find("REGISTER sip:127.0.0.1"), std::string::npos);
    EXPECT_NE(trace.find("<sip:8613800138000@127.0.0.1>"), std::string::npos) << trace;
}

TEST_F(RegistrationTest, DigestAnswerToChallengeIsAccepted) {
    UseSlot(2);
    SippPeer* registrar = StartPeer("reg_digest.xml", SippPort());
    ASSERT_TRUE(registrar);
    SphSipReg(Server().c_str(), kUser, kPassword, kUser);
    EngineEvent reg = WaitForReg();
    EXPECT_EQ(reg.number, 200);
    EXPECT_NE(registrar->Messages().find("response=\""), std::string::npos);
}

TEST_F(RegistrationTest, WrongPasswordGives401AfterTheChallenge) {
    UseSlot(3);
    SippPeer* registrar = StartPeer("reg_401_forever.xml", SippPort());
    ASSERT_TRUE(registrar);
    SphSipReg(Server().c_str(), kUser, "wrong", kUser);
    EngineEvent reg = WaitForReg();
    EXPECT_EQ(reg.number, 401);
    EXPECT_NE(registrar->Messages().find("response=\""), std::string::npos)
        << "the engine gave up without answering the challenge";
}

TEST_F(RegistrationTest, AfterARefusalTheNextRegistrationIsANewAttempt) {
    UseSlot(11);
    ASSERT_TRUE(StartPeer("reg_digest.xml", SippPort()));
    SphSipReg(Server().c_str(), kUser, "wrong", kUser);
    EXPECT_EQ(WaitForReg().number, 403);
    UseSlot(11);
    SphSipReg(Server().c_str(), kUser, kPassword, kUser);
    EXPECT_EQ(WaitForReg().number, 200);
    UseSlot(11);
    SphSipReg(Server().c_str(), kUser, kPassword, kUser);  // same account again: refreshed
    EXPECT_EQ(WaitForReg().number, 200);
}

TEST_F(RegistrationTest, RefusalsGiveTheirStatusCodes) {
    const struct {
        const char* scenario;
        int code;
        int slot;
    } cases[] = {{"reg_403.xml", 403, 4}, {"reg_404.xml", 404, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        UseSlot(c.slot);
        SippPeer* registrar = StartPeer(c.scenario, SippPort());
        ASSERT_TRUE(registrar);
        SphSipReg(Server().c_str(), kUser, kPassword, kUser);
        EXPECT_EQ(WaitForReg().number, c.code);
        SphSipDestory();
    }
}

TEST_F(RegistrationTest, SilentServerGives408) {
    UseSlot(6);
    // A socket that takes every datagram and answers none.
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(SippPort()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    SphSipReg(Server().c_str(), kUser, kPassword, kUser);
    EngineEvent reg = WaitForReg(60s);
    close(fd);
    EXPECT_EQ(reg.number, 408);
}

TEST_F(RegistrationTest, UnusableServerTextGives400WithoutSending) {
    UseSlot(7);
    for (const char* server : {"", ":5060", "127.0.0.1:99999", "127.0.0.1:50x0", "a b:5060"}) {
        SCOPED_TRACE(server);
        SphSipReg(server, kUser, kPassword, kUser);
        EngineEvent reg = WaitForReg(5s);
        EXPECT_EQ(reg.number, 400);
        UseSlot(7);  // clears the events for the next text
    }
    SphSipReg(Server().c_str(), "", kPassword, "");
    EXPECT_EQ(WaitForReg(5s).number, 400);
}

TEST_F(RegistrationTest, NewRegistrationReplacesTheAccount) {
    UseSlot(8);
    ASSERT_TRUE(StartPeer("reg_200.xml", SippPort()));
    ASSERT_TRUE(StartPeer("reg_403.xml", SippPort() + 100));
    RegisterOk();
    UseSlot(8);
    const std::string other = "127.0.0.1:" + std::to_string(SippPort() + 100);
    SphSipReg(other.c_str(), kUser, kPassword, kUser);
    EngineEvent reg = WaitForReg();
    EXPECT_EQ(reg.number, 403) << "the old account's end must not be reported as this attempt";
}

TEST_F(RegistrationTest, DestroyUnregistersAndReportsCleared) {
    UseSlot(9);
    SippPeer* registrar = StartPeer("reg_200.xml", SippPort());
    ASSERT_TRUE(registrar);
    RegisterOk();
    SphSipDestory();
    bool cleared = false;
    for (const EngineEvent& e : Events()) cleared = cleared || (e.kind == "reg" && e.number == 201);
    EXPECT_TRUE(cleared);
    std::string trace = registrar->Messages();
    EXPECT_TRUE(trace.find("Expires: 0") != std::string::npos || trace.find("expires=0") != std::string::npos) << trace;
}

TEST_F(RegistrationTest, DestroyWithoutStartAndTwiceIsHarmless) {
    SphSipDestory();
    SphSipDestory();
    UseSlot(10);
    EXPECT_GE(SphSipGetPlayDeviceCount(), 0);
    SphSipDestory();
    SphSipDestory();
}

}  // namespace
