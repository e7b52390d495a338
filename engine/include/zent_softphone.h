// SPDX-License-Identifier: GPL-3.0-or-later
// The softphone engine's C interface (library zent_softphone).
//
// Every text crossing this boundary, in either direction, is a zero-terminated
// byte string in code page 936 (GBK). The engine converts to and from UTF-8
// for the SIP stack itself.
//
// Threads: every operation may be called from the GUI thread and returns at
// once (the work is handed to the engine's own thread). The five callbacks are
// called on the engine's thread; they must not block on the GUI thread, and the
// texts they receive are valid only during the call. A callback may be set or
// replaced at any time, also before or after SphSipReg; a null pointer turns it
// off.
//
// The engine listens for SIP on UDP only, on a random free local port, or on
// the port named by the environment variable ZENT_SOFTPHONE_SIP_PORT. It keeps
// its working files in a temporary folder of its own, removed by SphSipDestory;
// without a sound card it runs on silence.
#ifndef ZENT_SOFTPHONE_H
#define ZENT_SOFTPHONE_H

#if defined(_WIN32)
#define SPH_CALL __stdcall
#if defined(ZENT_SOFTPHONE_BUILD)
#define SPH_API __declspec(dllexport)
#else
#define SPH_API __declspec(dllimport)
#endif
#else
#define SPH_CALL
#define SPH_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Registration outcome, once per attempt, as a SIP status code: 200 registered,
// 201 registration cleared, otherwise the final failure code (401 credentials
// refused after the challenge, 403, 404, 408 when the server never answers,
// 400 when the server text or the user is unusable).
typedef void(SPH_CALL* SphRegStatsCallback)(int status);
// Line state: "calling", "callring", "callanswer" (outgoing connected),
// "answerstr" (incoming connected), "callend" (exactly once per line, also for
// failures, cancels and refusals).
#define SPH_STATE_CALLING "calling"
#define SPH_STATE_CALLRING "callring"
#define SPH_STATE_CALLANSWER "callanswer"
#define SPH_STATE_ANSWERSTR "answerstr"
#define SPH_STATE_CALLEND "callend"
typedef void(SPH_CALL* SphCallStatsCallback)(int line, const char* state);
// Output and input levels, 0 to 100, a few times a second during a call; one
// last 0, 0 when no call is running any more.
typedef void(SPH_CALL* SphAudioStatsCallback)(int outLevel, int inLevel);
// A new incoming call on a new line; from is "sip:" + user + "@" + host as the
// caller sent them.
typedef void(SPH_CALL* SphIncomingCallback)(int line, const char* from);
// A received SIP MESSAGE (text): from is the sender's URI, body the text.
typedef void(SPH_CALL* SphRecvMessageCallback)(const char* from, const char* body);

SPH_API void SPH_CALL SphSipSetRegStatsCalllBack(SphRegStatsCallback callback);
SPH_API void SPH_CALL SphSipSetCallStatsCalllBack(SphCallStatsCallback callback);
SPH_API void SPH_CALL SphSipSetAudioStatsCalllBack(SphAudioStatsCallback callback);
SPH_API void SPH_CALL SphSipSetIncomingCalllBack(SphIncomingCallback callback);
SPH_API void SPH_CALL SphSipRecvMessageCalllBack(SphRecvMessageCallback callback);

// Log level of the engine (written to standard error, never to a file):
// 0 errors only, 1 also warnings, 2 also progress messages, 3 everything;
// a negative level silences the engine.
SPH_API void SPH_CALL SphSipInfo(int level);

// Six codec texts "NAME/RATE" (for example "PCMA/8000"), highest priority
// first. The named codecs are enabled in that order and all others disabled;
// names the engine does not have, empty texts and null pointers are skipped.
// When none of the six is known, the codec set is left as it was.
SPH_API void SPH_CALL SphSetAudioCode(const char* codec1, const char* codec2, const char* codec3, const char* codec4,
                                      const char* codec5, const char* codec6);

// Registers user@host at server "host:port" (port 5060 when missing) with
// digest credentials for authuser (user when empty). A later call replaces the
// account. The outcome arrives through the registration callback.
SPH_API void SPH_CALL SphSipReg(const char* server, const char* user, const char* password, const char* authuser);

// Sound devices as the engine sees them; names are indexed 1 to count. The
// returned text stays valid until the next name query (play or record); an
// index out of range gives "".
SPH_API int SPH_CALL SphSipGetPlayDeviceCount(void);
SPH_API int SPH_CALL SphSipGetRecvDeviceCount(void);
SPH_API const char* SPH_CALL SphSipGetPlayDeviceName(int index);
SPH_API const char* SPH_CALL SphSipGetRecvDeviceName(int index);

// Calls sip:number@<registered domain> through the registered server. Returns
// the new line id (0 or more) at once, or -1 when no call could be started
// (not registered, empty or unusable number).
SPH_API int SPH_CALL SphSiMakeCall(const char* number);
// Answers an incoming line that is still ringing; anything else is ignored.
SPH_API void SPH_CALL SphSipAnswer(int line);
// Hangs up, cancels or declines the line, whichever fits its state; unknown
// or ended lines are ignored.
SPH_API void SPH_CALL SphSipHanpCall(int line);
// Sends the first character of digit ("0"-"9", "*", "#", "A"-"D") as an
// RFC 2833 event, or as SIP INFO when the peer did not agree on telephone
// events.
SPH_API void SPH_CALL SphSipSendDigit(int line, const char* digit);
// Sends body as a SIP MESSAGE (text/plain) to address ("sip:..."), through the
// registered server.
SPH_API void SPH_CALL SphSipSendMessage(const char* address, const char* body);

// Ends the engine: hangs up running calls, unregisters when registered
// (waiting at most a few seconds), stops the thread and removes the engine's
// temporary folder. Calling it again, or without a prior start, does nothing.
SPH_API void SPH_CALL SphSipDestory(void);

#ifdef __cplusplus
}
#endif

#endif  // ZENT_SOFTPHONE_H
