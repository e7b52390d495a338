// SPDX-License-Identifier: GPL-3.0-or-later
// The SIP side of the engine: one liblinphone core, the registered account and
// the lines. Every member function runs on the engine thread only.
#ifndef ZENT_ENGINE_SOFTPHONE_H
#define ZENT_ENGINE_SOFTPHONE_H

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <linphone/core.h>

#include "net_watch.h"
#include "sound_server.h"
#include "zent_softphone.h"

namespace zent {

// The client's callbacks; set from any thread, read on the engine thread.
struct ClientCallbacks {
    std::atomic<SphRegStatsCallback> reg{nullptr};
    std::atomic<SphCallStatsCallback> call{nullptr};
    std::atomic<SphAudioStatsCallback> audio{nullptr};
    std::atomic<SphIncomingCallback> incoming{nullptr};
    std::atomic<SphRecvMessageCallback> message{nullptr};
};
ClientCallbacks& Callbacks();

// Maps the engine's log level (SphSipInfo) onto liblinphone's logging.
void ApplyLogLevel(int level);

// "host:port" split for registration; false when unusable.
bool ParseServer(const std::string& text, std::string* host, int* port);

class Softphone {
public:
    Softphone() = default;
    Softphone(const Softphone&) = delete;
    Softphone& operator=(const Softphone&) = delete;

    bool Open();   // creates and starts the core
    void Close();  // ends calls, unregisters (bounded), frees the core
    bool Tick();   // drives the core, reports levels; true while work is in flight

    // The sockets the stack receives SIP on; SipSocketsChanged tells (once)
    // that they are other ones than last asked for.
    const std::vector<int>& SipSockets() const { return sip_fds_; }
    bool SipSocketsChanged();
    // What wakes the engine: the SIP sockets and the watch of the network.
    std::vector<int> WakeSockets() const;

    void SetCodecs(const std::vector<std::string>& codecs);
    void Register(const std::string& server, const std::string& user, const std::string& password,
                  const std::string& authuser);
    std::vector<std::string> Devices(bool playback);
    int MakeCall(const std::string& number);
    void Answer(int line);
    void HangUp(int line);
    void SendDigit(int line, char digit);
    void SendMessage(const std::string& address, const std::string& body);

private:
    struct Line {
        int id = -1;
        bool outgoing = false;
        bool calling_sent = false;
        bool ring_sent = false;
        bool connected_sent = false;
        bool ended = false;
    };

    static void OnRegistration(LinphoneCore* core, LinphoneProxyConfig* cfg, LinphoneRegistrationState state,
                               const char* message);
    static void OnCallState(LinphoneCore* core, LinphoneCall* call, LinphoneCallState state, const char* message);
    static void OnMessage(LinphoneCore* core, LinphoneChatRoom* room, LinphoneChatMessage* msg);

    void HandleRegistration(LinphoneProxyConfig* cfg, LinphoneRegistrationState state);
    void HandleCallState(LinphoneCall* call, LinphoneCallState state);
    void HandleMessage(LinphoneChatMessage* msg);
    void ReportRegistration(int status);
    void ReportCall(int line, const char* state);
    void ReportLevels();
    void UseSoundDevices(LinphoneCall* call = nullptr);
    void FollowSoundServer(std::chrono::milliseconds wait);
    LinphoneCall* FindLine(int line);
    void IterateFor(std::chrono::milliseconds limit, bool (Softphone::*done)());
    bool NoLines();
    bool NotRegistered();
    void CheckSipSockets();
    void CheckNetwork(bool registering);

    LinphoneCore* core_ = nullptr;
    LinphoneCoreCbs* cbs_ = nullptr;
    std::string data_dir_;
    LinphoneProxyConfig* account_ = nullptr;  // owned by the core
    bool account_refused_ = false;            // refused for good: stop registering it
    bool account_stopped_ = false;            // registering stopped; events ignored
    std::string reg_host_, reg_user_, reg_password_, reg_authuser_;
    int reg_port_ = 0;
    std::map<LinphoneCall*, Line> lines_;  // calls are ref'd while listed
    int next_line_ = 1;
    int pending_out_line_ = -1;
    bool levels_live_ = false;
    std::chrono::steady_clock::time_point next_levels_{};
    std::vector<int> sip_fds_;
    int sip_port_ = 0;
    bool sip_fds_changed_ = false;
    std::chrono::steady_clock::time_point next_socket_check_{};
    // The way to the registrar: the local address last seen towards it
    // ("" none, "?" a host name the kernel cannot be asked about), and a
    // look due once a burst of network events has settled.
    NetWatch net_;
    std::string net_local_;
    bool net_down_ = false;
    bool net_check_ = false;
    std::chrono::steady_clock::time_point net_check_at_{};
    SoundServer sound_server_;
    unsigned sound_devices_seen_ = 0;  // the server's device changes the stack's list knows
};

}  // namespace zent

#endif
