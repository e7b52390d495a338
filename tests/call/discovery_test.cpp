// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/call/call_fixture.h"
#include "tests/net/loopback_server.h"

using text::ZH;

namespace {

nettest::Script Ok(const std::string& body) { return nettest::Answer("HTTP/1.0 200 OK\r\n\r\n" + body); }

class Discovery : public CallFixture {
protected:
    void SetUp() override {
        CallFixture::SetUp();
        Account = "13800138000";
        Password = "pw1234";
        sADSL_Type = "tel";
        Create();
        Drain();  // the start-up login question (cancelled) is out of the way
        ClearLogBuffer();
    }
    text::Ansi Discover(nettest::LoopbackServer& server) {
        SetDiscoveryHost("127.0.0.1:" + std::to_string(server.Port()));
        return form->GetSipServer();
    }
};

}  // namespace

TEST_F(Discovery, SendsTheQueryAndTakesTheThreeFields) {
    nettest::LoopbackServer server({Ok("10.1.2.3:5062#des-token#md5#with#hashes")});
    EXPECT_EQ(Discover(server), "10.1.2.3:5062");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].rfind(
                  "GET /user/ajax_get_sip_server.php?v=1.3&op=go&f=client&Phone=13800138000&p=pw1234&network=tel "
                  "HTTP/1.0\r\n",
                  0),
              0u)
        << server.Requests()[0];
    EXPECT_EQ(SipServer, "10.1.2.3:5062");
    EXPECT_EQ(UserDes, "des-token");
    EXPECT_EQ(Md5Pwd, "md5#with#hashes");
    EXPECT_EQ(WebServer, "http://10.1.2.3:8080/") << "the answer's port is not reused";
    EXPECT_EQ(Net_Status, ZH("正常"));
}

TEST_F(Discovery, LogsTheHttpsFormWithoutThePassword) {
    nettest::LoopbackServer server({Ok("10.1.2.3:5060#aaaaaa#bbbbbb")});
    Discover(server);
    const text::Ansi expected =
        ZH("Widget 获取软交换节点：") + "https://127.0.0.1:" + std::to_string(server.Port()) +
        "/user/ajax_get_sip_server.php?v=1.3&op=go&f=client&Phone=13800138000&p=******&network=tel";
    EXPECT_TRUE(Logged(expected));
    EXPECT_FALSE(Logged("pw1234"));
}

TEST_F(Discovery, AnswerLengthBoundsCountBytes) {
    // 16 and 200 bytes are taken; 15 and 201 are illegal data.
    const std::string a16 = "1.2.3.4:5#ab#cde";
    const std::string a200 = "1.2.3.4:5#ab#" + std::string(187, 'x');
    ASSERT_EQ(a16.size(), 16u);
    ASSERT_EQ(a200.size(), 200u);
    {
        nettest::LoopbackServer s({Ok(a16)});
        EXPECT_EQ(Discover(s), "1.2.3.4:5");
    }
    {
        nettest::LoopbackServer s({Ok(a200)});
        EXPECT_EQ(Discover(s), "1.2.3.4:5");
        EXPECT_EQ(Md5Pwd.size(), 187u);
    }
    ResetSharedState();
    for (const std::string& bad : {a16.substr(1), a200 + "y"}) {
        nettest::LoopbackServer s({Ok(bad)});
        EXPECT_EQ(Discover(s), service::kDefaultSipServer);
        EXPECT_EQ(SipServer, service::kSecondarySipHost) << "a rejected answer changes no server";
        EXPECT_EQ(WebServer, service::kSiteRoot);
        EXPECT_EQ(Net_Status, ZH("正常")) << "the request itself returned";
        EXPECT_TRUE(Logged(ZH("获取软交换节点出错,收到的是非法数据：") + bad));
    }
    // Eight Chinese characters are 16 bytes.
    nettest::LoopbackServer s({Ok(ZH("服务器#用户#密码一二"))});
    EXPECT_EQ(Discover(s), ZH("服务器"));
}

TEST_F(Discovery, FailureKeepsValuesSetsNetStatusAndTips) {
    UserDes = "keep";
    const std::uint16_t port = nettest::UnusedPort();
    SetDiscoveryHost("127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(form->GetSipServer(), service::kDefaultSipServer);
    EXPECT_FALSE(Net_Status.empty());
    EXPECT_NE(Net_Status, ZH("正常"));
    EXPECT_NE(Net_Status, "Null Remote Address") << "the connection error, not the initial value";
    EXPECT_EQ(UserDes, "keep");
    ASSERT_FALSE(main.tips.empty());
    EXPECT_EQ(main.tips.back(), ZH("获取软交换节点出错"));
    EXPECT_TRUE(Logged(ZH("第 0 次获取软交换节点出错,详细信息是: ") + Net_Status));
}

TEST_F(Discovery, AnswerWithoutBothSeparatorsIsIllegalData) {
    // Of the right length, but not the three fields: an error page, say.
    for (const std::string bad : {"no-separators-at-all", "10.1.2.3:5060#only-one", "<html>Not Found</html>"}) {
        SCOPED_TRACE(bad);
        ResetSharedState();
        nettest::LoopbackServer s({Ok(bad)});
        EXPECT_EQ(Discover(s), service::kDefaultSipServer);
        EXPECT_EQ(SipServer, service::kSecondarySipHost);
        EXPECT_EQ(WebServer, service::kSiteRoot);
        EXPECT_EQ(UserDes, "");
        EXPECT_EQ(Md5Pwd, "");
        EXPECT_EQ(Net_Status, ZH("正常"));
        EXPECT_TRUE(Logged(ZH("获取软交换节点出错,收到的是非法数据：") + bad));
    }
}
