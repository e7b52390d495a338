// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide variables shared by every window and the call control.
// Texts are CP936 byte strings. They are touched on the GUI thread only;
// the engine's callbacks hand their work to it first.
#pragma once
#include <cstdint>

#include "core/text.h"

using text::Ansi;

extern const Ansi ClientVersion;  // "1.3", sent as v=
extern Ansi Account;              // plain phone number
extern Ansi Password;             // plain password
extern Ansi PwdCipher;            // the stored Pwd value as read
extern Ansi UserDes;              // discovery token, sent as &u_des=
extern Ansi Md5Pwd;               // discovery token, sent as &md5_pwd=
extern Ansi CallDirection;        // "Call_IN" or "Call_Out"
extern Ansi PID;                  // partner id from Info.ini
extern Ansi AutoLogin;            // "1": log in without the login window
extern Ansi AutoRun;              // "1" or "0"
extern Ansi NewUser;              // "1" while start-with-desktop registration is due
extern Ansi DebugSipSrv;          // forced SIP server host:port
extern Ansi DebugWebSrv;          // forced web server, no scheme
extern Ansi SipServer;            // SIP server in use
extern Ansi WebServer;            // base URL of every request, ends in "/"
extern Ansi sADSL_Type;           // "tel", "uni" or "gmcc"
extern Ansi Net_Status;           // last discovery outcome
extern Ansi WebPagePath;          // path of the link last hovered in the web page
extern Ansi StatusTip;            // status text of the tip line
extern Ansi CallInFrom;           // caller address of the last incoming call
extern Ansi MsgFrom;              // sender of the last received message
extern Ansi MsgText;              // text of the last received message

// The values of Call_Status.
namespace line_state {
constexpr std::int32_t kLoggedOut = -1;
constexpr std::int32_t kIdle = 0;
constexpr std::int32_t kCalling = 1;       // an outgoing call looks for the called party
constexpr std::int32_t kRinging = 2;       // the called party's phone rings
constexpr std::int32_t kOutConnected = 3;  // an outgoing call is connected
constexpr std::int32_t kInConnected = 4;   // an incoming call is connected
constexpr std::int32_t kIncoming = 5;      // an incoming call waits for its answer
}  // namespace line_state

extern std::int32_t OutCallId;    // engine id of the last outgoing call, -1 before the first
extern std::int32_t InCallId;     // engine id of the last incoming call, -1 before the first
extern std::int32_t Call_Status;  // a line_state value
extern std::int32_t CallSeconds;  // seconds of the current call
// The connected call: its engine id (-1 when none) and the code it connected
// with (3 out, 4 in), so that the end of another line leaves it its state.
extern std::int32_t LiveCallId;
extern std::int32_t LiveCallStatus;

// Puts every variable back to its initial value and empties LogBuffer and
// MsgQueue; for tests, which need a fresh process state per case.
void ResetSharedState();
