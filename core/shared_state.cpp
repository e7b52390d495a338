// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/shared_state.h"

#include "core/daily_log.h"
#include "core/msg_queue.h"
#include "service_addresses.h"

const Ansi ClientVersion = "1.3";
Ansi Account, Password, PwdCipher, UserDes, Md5Pwd, CallDirection, PID, AutoLogin, AutoRun, NewUser, DebugSipSrv,
    DebugWebSrv;
Ansi SipServer = service::kSecondarySipHost;
Ansi WebServer = service::kSiteRoot;
Ansi sADSL_Type = "gmcc";
Ansi Net_Status = "Null Remote Address";
Ansi WebPagePath;
Ansi StatusTip = text::ZH("未登录");
Ansi CallInFrom, MsgFrom, MsgText;

std::int32_t OutCallId = -1;
std::int32_t InCallId = -1;
std::int32_t Call_Status = line_state::kLoggedOut;
std::int32_t CallSeconds = 0;
std::int32_t LiveCallId = -1;
std::int32_t LiveCallStatus = 0;

void ResetSharedState() {
    for (Ansi* s : {&Account, &Password, &PwdCipher, &UserDes, &Md5Pwd, &CallDirection, &PID, &AutoLogin, &AutoRun,
                    &NewUser, &DebugSipSrv, &DebugWebSrv, &WebPagePath, &CallInFrom, &MsgFrom, &MsgText})
        s->clear();
    SipServer = service::kSecondarySipHost;
    WebServer = service::kSiteRoot;
    sADSL_Type = "gmcc";
    Net_Status = "Null Remote Address";
    StatusTip = text::ZH("未登录");
    OutCallId = -1;
    InCallId = -1;
    Call_Status = line_state::kLoggedOut;
    CallSeconds = 0;
    LiveCallId = -1;
    LiveCallStatus = 0;
    ClearLogBuffer();
    MsgQueue.Clear();
}
