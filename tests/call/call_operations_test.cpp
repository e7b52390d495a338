// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/call/call_fixture.h"

using text::ZH;

namespace {

class Operations : public CallFixture {
protected:
    void SetUp() override {
        CallFixture::SetUp();
        Create();
        Drain();
        ClearLogBuffer();
        fake_engine::Reset();
        desk.dialogs.shown.clear();
    }
    text::Ansi LastDialogText() const { return desk.dialogs.shown.empty() ? "" : desk.dialogs.shown.back().text; }
};

const char kBadNumber[] = "请输入数字电话号码！";

}  // namespace

TEST_F(Operations, MakeCallPlacesTheTrimmedNumber) {
    // Blanks around the number, as a pasted number brings them, are not part of it.
    const std::vector<std::pair<text::Ansi, text::Ansi>> rows = {
        {"1234567", "1234567"}, {" 13800138000", "13800138000"}, {"13800138000 \t", "13800138000"}};
    for (const auto& [typed, placed] : rows) {
        SCOPED_TRACE(typed);
        fake_engine::Reset();
        fake_engine::SetMakeCallResult(3);
        main.history.clear();
        EXPECT_TRUE(form->MakeCall(typed));
        ASSERT_EQ(fake_engine::CallsOf("SphSiMakeCall").size(), 1u);
        EXPECT_EQ(fake_engine::CallsOf("SphSiMakeCall")[0].args[0], placed);
        EXPECT_EQ(main.history, std::vector<text::Ansi>{placed});
    }
    EXPECT_EQ(OutCallId, 3);
    EXPECT_EQ(CallDirection, "Call_Out");
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST_F(Operations, MakeCallRefusals) {
    form->MakeCall("   ");
    EXPECT_EQ(LastDialogText(), ZH(kBadNumber));
    EXPECT_EQ(desk.dialogs.shown.back().caption, ZH("系统提示"));

    form->MakeCall("12345");
    EXPECT_EQ(LastDialogText(), ZH("您输入的号码12345不正确，手机号码前不加0，固话加区号。不能拨打10位以下的特服号。"));

    // A letter anywhere, the last position included.
    for (const char* n : {"a3800138000", "138001x8000", "1380013800z"}) {
        desk.dialogs.shown.clear();
        form->MakeCall(n);
        EXPECT_EQ(LastDialogText(), ZH(kBadNumber)) << n;
    }
    // The second piece of 17 digits exceeds 32 bits; 16 digits still fit.
    form->MakeCall("12345678901234567");
    EXPECT_EQ(LastDialogText(), ZH(kBadNumber));
    // Signs and inner blanks never reach the engine; a piece left empty by trimming is no number.
    for (const char* n : {"+8613800138000", "138001-1234", "138001+1234", "138001 8000", " +13800138000", " 123456 "}) {
        desk.dialogs.shown.clear();
        form->MakeCall(n);
        EXPECT_EQ(LastDialogText(), ZH(kBadNumber)) << n;
    }
    EXPECT_TRUE(fake_engine::CallsOf("SphSiMakeCall").empty());
    EXPECT_TRUE(main.history.empty());
    EXPECT_EQ(OutCallId, -1);
    EXPECT_EQ(CallDirection, "");

    form->MakeCall("1234562147483647");
    EXPECT_EQ(fake_engine::CallsOf("SphSiMakeCall").size(), 1u) << "16 digits, second piece at the limit";
}

TEST_F(Operations, MakeCallDuringACallPlacesAnother) {
    Call_Status = 3;
    fake_engine::SetMakeCallResult(5);
    form->MakeCall("13800138000");
    EXPECT_EQ(OutCallId, 5);
}

TEST_F(Operations, HangUpChoosesTheLineByState) {
    OutCallId = 11;
    InCallId = 22;
    struct Row {
        int status;
        const char* direction;
        const char* line;  // nullptr: no engine call
    };
    const Row rows[] = {{-1, "Call_Out", nullptr}, {0, "Call_Out", nullptr}, {1, "Call_IN", "11"},
                        {2, "Call_IN", "11"},      {3, "Call_Out", "11"},    {3, "Call_IN", "22"},
                        {4, "Call_Out", "22"},     {5, "Call_Out", "22"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.status);
        fake_engine::Reset();
        Call_Status = r.status;
        CallDirection = r.direction;
        form->HangUp();
        auto calls = fake_engine::CallsOf("SphSipHanpCall");
        if (!r.line) {
            EXPECT_TRUE(fake_engine::Calls().empty());
        } else {
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].args[0], r.line);
        }
        EXPECT_EQ(Call_Status, r.status) << "the engine's callend changes the state";
    }
}

TEST_F(Operations, HangUpErrorIsShownAsWarning) {
    Call_Status = 1;
    OutCallId = 1;
    fake_engine::ThrowOnce("SphSipHanpCall", "boom");
    form->HangUp();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "warning");
    EXPECT_EQ(desk.dialogs.shown[0].text, ZH("挂断异常，详细信息是:\nboom"));
}

TEST_F(Operations, DtmfGoesToTheLastOutgoingLine) {
    form->SendDtmf("5");
    EXPECT_TRUE(fake_engine::Calls().empty()) << "before the first outgoing call";
    OutCallId = 0;
    Call_Status = 0;  // after that call ended
    form->SendDtmf("#");
    ASSERT_EQ(fake_engine::CallsOf("SphSipSendDigit").size(), 1u);
    EXPECT_EQ(fake_engine::CallsOf("SphSipSendDigit")[0].args, (std::vector<std::string>{"0", "#"}));
}

TEST_F(Operations, SendSipMsgBoundsAndAddress) {
    form->SendSipMsg(" ", "hi");
    EXPECT_EQ(LastDialogText(), ZH(kBadNumber));
    form->SendSipMsg("1234567", "hi");
    EXPECT_EQ(LastDialogText(), ZH("请输入正确的号码，手机号码前不加0，固话加区号。"));
    std::string chinese251;
    for (int i = 0; i < 251; ++i) chinese251 += "中";
    form->SendSipMsg("12345678", ZH(chinese251));
    EXPECT_EQ(LastDialogText(), ZH("每次发送的内容只能在500字以内"));
    EXPECT_TRUE(fake_engine::Calls().empty());

    const text::Ansi body500 = ZH(chinese251.substr(3));  // 250 characters, 500 bytes
    ASSERT_EQ(body500.size(), 500u);
    form->SendSipMsg("12345678", "  " + body500 + " ");
    auto sent = fake_engine::CallsOf("SphSipSendMessage");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].args[0], std::string("sip:8612345678@") + service::kSipDomain);
    EXPECT_EQ(sent[0].args[1], body500);
    EXPECT_TRUE(Logged(ZH("发送信息到 12345678 内容是：   ") + body500 + " "));
}

TEST_F(Operations, DestroyEngineShutsTheEngineDownOnce) {
    form->DestroyEngine();
    form.reset();  // the form's end does not shut it down twice
    EXPECT_EQ(fake_engine::CallsOf("SphSipDestory").size(), 1u);
}
