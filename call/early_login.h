// SPDX-License-Identifier: GPL-3.0-or-later
// The login that the stored settings decide alone (AutoLogin on, credentials
// long enough) needs nothing of the windows. So that the registration does
// not wait for the toolkit and the browser engine to load, its discovery
// request and its registration are started on a thread of their own as the
// program starts. What the user sees keeps its order: the login's log
// lines, texts and dialogs all come from DoLogin, which takes the answer and
// the registration made here, and the engine's events wait until it has.
#pragma once
#include <string>

#include "core/text.h"
#include "net/http_client.h"

// What a discovery request came back with.
struct DiscoveryReply {
    bool failed = false;  // no answer: error holds the HTTP client's message
    text::Ansi answer;    // the body, whatever the HTTP status
    std::string error;
};

// The discovery request's path and query for these values (nothing escaped).
text::Ansi DiscoveryQuery(const text::Ansi& account, const text::Ansi& password, const text::Ansi& lineType);
// One discovery request through `http`; the caller's thread waits for it.
DiscoveryReply AskDiscovery(net::TNMHTTP& http, const text::Ansi& query);
// The SIP server that the login takes from a reply: the answer's, or the
// default server when there was none or it was not valid.
text::Ansi ServerFromReply(const DiscoveryReply& reply);

// The login's own checks and first engine steps (call/login.cpp), which the
// early login takes exactly as they are.
// StartLogin logs in at once (else it shows the login window).
bool LoginStartsAtOnce(const text::Ansi& account, const text::Ansi& password, const text::Ansi& autoLogin);
// DoLogin goes on (else it asks for the number and password).
bool LoginHasCredentials(const text::Ansi& account, const text::Ansi& password);
// The texts fit the engine's 52-byte buffers.
bool FitsEngine(const text::Ansi& server, const text::Ansi& account, const text::Ansi& password);
// The five callbacks, the engine's log level and the codec order.
void PrepareEngineForLogin();

// From main, before the application object: reads the settings and, when
// the first login will start at once, starts its request and registration.
void StartEarlyLogin();

// The early request's reply, if it was made for exactly `query` and not
// taken yet; waits for it with the GUI's events running.
bool TakeEarlyDiscovery(const text::Ansi& query, DiscoveryReply& reply);
// True, once, when the early login registered exactly these; waits for it
// to be done (with the GUI's events running) whatever it asked.
bool TakeEarlyRegistration(const text::Ansi& server, const text::Ansi& account, const text::Ansi& password);
// Waits until the early login's thread is over (nothing asked of the engine
// after this); the engine may then be shut down.
void EndEarlyLogin();
