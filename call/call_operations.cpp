// SPDX-License-Identifier: GPL-3.0-or-later
// The user's actions on a call: checked here, carried out by the engine.
#include <exception>

#include "call/call_control.h"
#include "zent_softphone.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "service_addresses.h"

using text::ZH;

bool TfrmCall::MakeCall(const text::Ansi& number) {
    const text::Ansi trimmed = text::Trim(number);
    if (trimmed.empty()) {
        platform::dialogs().ShowInfoBox(ZH("请输入数字电话号码！"), ZH("系统提示"));
        return false;
    }
    if (number.size() < 7) {
        platform::dialogs().ShowInfoBox(
            ZH("您输入的号码") + number + ZH("不正确，手机号码前不加0，固话加区号。不能拨打10位以下的特服号。"),
            ZH("系统提示"));
        return false;
    }
    // Blanks around the number are not part of it: the pieces are cut from
    // the trimmed number. Both must be digits only, so signs, inner blanks and
    // other characters never reach the engine.
    if (!text::IsDecimalInt32(trimmed.substr(0, 6)) ||
        !text::IsDecimalInt32(trimmed.size() > 6 ? trimmed.substr(6) : text::Ansi())) {
        platform::dialogs().ShowInfoBox(ZH("请输入数字电话号码！"), ZH("系统提示"));
        return false;
    }
    if (MainWindowPort* main = mainWindowPort()) main->AddPhoneHistory(trimmed);
    CallDirection = "Call_Out";
    OutCallId = SphSiMakeCall(trimmed.c_str());
    return true;
}

void TfrmCall::HangUp() {
    int line;
    switch (Call_Status) {
    case line_state::kCalling:
    case line_state::kRinging: line = OutCallId; break;
    case line_state::kOutConnected: line = CallDirection == "Call_Out" ? OutCallId : InCallId; break;
    case line_state::kInConnected:
    case line_state::kIncoming: line = InCallId; break;
    default: return;  // not in a call
    }
    try {
        SphSipHanpCall(line);
    } catch (const std::exception& e) {
        platform::dialogs().ShowWarningBox(ZH("挂断异常，详细信息是:") + "\n" + e.what(), ZH("系统提示"));
    }
}

void TfrmCall::SendDtmf(const text::Ansi& digit) {
    if (OutCallId >= 0) SphSipSendDigit(OutCallId, digit.c_str());
}

bool TfrmCall::SendSipMsg(const text::Ansi& number, const text::Ansi& body) {
    const text::Ansi trimmedNumber = text::Trim(number);
    const text::Ansi trimmedBody = text::Trim(body);
    if (trimmedNumber.empty()) {
        platform::dialogs().ShowMessage(ZH("请输入数字电话号码！"));
        return false;
    }
    if (number.size() < 8) {
        platform::dialogs().ShowMessage(ZH("请输入正确的号码，手机号码前不加0，固话加区号。"));
        return false;
    }
    if (trimmedBody.size() > 500) {
        platform::dialogs().ShowMessage(ZH("每次发送的内容只能在500字以内"));
        return false;
    }
    WriteLog(ZH("发送信息到 ") + number + ZH(" 内容是： ") + body);
    const text::Ansi address = "sip:86" + trimmedNumber + "@" + service::kSipDomain;
    SphSipSendMessage(address.c_str(), trimmedBody.c_str());
    return true;
}
