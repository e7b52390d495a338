// SPDX-License-Identifier: GPL-3.0-or-later
#include "softphone.h"

#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include <bctoolbox/logging.h>

#include "cp936.h"

namespace zent {
namespace {

constexpr auto kLevelPeriod = std::chrono::milliseconds(250);
constexpr auto kCloseLimit = std::chrono::seconds(3);
constexpr auto kSocketCheckPeriod = std::chrono::seconds(1);
// Adding one address and deleting another, or a link going down, arrives as
// a few events within milliseconds: the way out is looked at once after them.
constexpr auto kNetSettle = std::chrono::milliseconds(300);
// The registration the client asks for. A registrar that restarts and loses
// its registrations (or one that expired them while the machine slept) knows
// the client again at the next refresh, at about nine tenths of this.
constexpr int kRegisterSeconds = 600;
// Behind a home router an idle UDP mapping is forgotten after 30 s at worst:
// one keep-alive (four bytes) each period keeps it, and the server's INVITE
// reaches the client.
constexpr int kKeepAliveMs = 30000;
// How long a call's start waits for the sound server's answer about its
// defaults (a headset plugged in a moment before).
constexpr auto kDeviceWait = std::chrono::milliseconds(50);

std::string Text(const char* s) { return s ? s : ""; }

// The kernel's list of ALSA cards. liblinphone always offers ALSA's "default"
// device, even where no card stands behind it (containers, remote desktops);
// opening it there fails and the call has no audio at all.
bool HasAlsaCard() {
    std::ifstream cards("/proc/asound/cards");
    if (!cards) return std::filesystem::exists("/dev/snd") || !std::filesystem::exists("/proc");
    std::string line;
    while (std::getline(cards, line)) {
        if (line.find("no soundcards") != std::string::npos) return false;
        if (!line.empty() && line.find('[') != std::string::npos) return true;
    }
    return false;
}

// The devices of the sound system (PulseAudio, ALSA cards, ...) that liblinphone
// offers with the capability, in its order. Listed and used alike.
std::vector<const LinphoneAudioDevice*> SoundDevices(const bctbx_list_t* devices, bool playback) {
    const LinphoneAudioDeviceCapabilities want =
        playback ? LinphoneAudioDeviceCapabilityPlay : LinphoneAudioDeviceCapabilityRecord;
    const bool alsa_cards = HasAlsaCard();
    std::vector<const LinphoneAudioDevice*> found;
    for (const bctbx_list_t* it = devices; it; it = it->next) {
        auto* dev = static_cast<const LinphoneAudioDevice*>(it->data);
        const char* driver = linphone_audio_device_get_driver_name(dev);
        if (!alsa_cards && driver && strcasecmp(driver, "ALSA") == 0) continue;
        if (linphone_audio_device_has_capability(dev, want)) found.push_back(dev);
    }
    return found;
}

// The engine keeps its database and settings in a folder of its own under the
// temporary directory, removed again on close.
std::string MakeDataDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zent_softphone.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) return {};
    return buf.data();
}

// Local SIP port: ZENT_SOFTPHONE_SIP_PORT when set (tests and fixed firewall
// setups), otherwise a random free one so 5060 stays free for other phones.
int LocalSipPort() {
    const char* env = std::getenv("ZENT_SOFTPHONE_SIP_PORT");
    if (env && *env) {
        char* end = nullptr;
        long port = std::strtol(env, &end, 10);
        if (*end == '\0' && port > 0 && port < 65536) return static_cast<int>(port);
    }
    return LC_SIP_TRANSPORT_RANDOM;
}

// The stack's meter reads ten times the logarithm of the RMS amplitude, half
// the decibels of the signal's power: digital silence reads about -44 and a
// codec's idle noise about -34. Doubled, -60 dB and below is silence and 0 is
// full scale.
int ToPercent(float meter) {
    const float db = 2.0f * meter;
    if (!(db > -60.0f)) return 0;
    if (db >= 0.0f) return 100;
    return static_cast<int>(std::lround((db + 60.0f) * 100.0f / 60.0f));
}

int FailureCode(LinphoneProxyConfig* cfg) {
    const LinphoneErrorInfo* ei = linphone_proxy_config_get_error_info(cfg);
    int code = ei ? linphone_error_info_get_protocol_code(ei) : 0;
    const LinphoneReason reason = ei ? linphone_error_info_get_reason(ei) : LinphoneReasonNone;
    // A server that never answers ends as a local "io error" (coded 503) or no
    // response; the client knows that case as 408.
    const char* phrase = ei ? linphone_error_info_get_phrase(ei) : nullptr;
    if (reason == LinphoneReasonNoResponse || reason == LinphoneReasonNotAnswered ||
        (reason == LinphoneReasonIOError && (!phrase || strcasecmp(phrase, "io error") == 0)))
        return 408;
    if (code >= 300 && code < 700) return code;
    switch (reason) {
    case LinphoneReasonUnauthorized: return 401;
    case LinphoneReasonForbidden: return 403;
    case LinphoneReasonNotFound: return 404;
    default: return 408;  // no answer, transport error
    }
}

bool IsIncomingRinging(LinphoneCallState s) {
    return s == LinphoneCallStateIncomingReceived || s == LinphoneCallStateIncomingEarlyMedia;
}

bool IsOver(LinphoneCallState s) {
    return s == LinphoneCallStateEnd || s == LinphoneCallStateError || s == LinphoneCallStateReleased;
}

// Whether the peer agreed on RFC 2833 telephone events for this call. The
// stack shows only the first attribute of each name from the peer's SDP, so
// an event-range fmtp ("101 0-15") counts as well as a telephone-event rtpmap.
bool PeerHasTelephoneEvents(LinphoneCall* call) {
    const LinphoneCallParams* remote = linphone_call_get_remote_params(call);
    if (!remote) return false;
    const char* rtpmap = linphone_call_params_get_custom_sdp_media_attribute(remote, LinphoneStreamTypeAudio, "rtpmap");
    if (rtpmap && strcasestr(rtpmap, "telephone-event")) return true;
    const char* fmtp = linphone_call_params_get_custom_sdp_media_attribute(remote, LinphoneStreamTypeAudio, "fmtp");
    if (!fmtp) return false;
    const char* space = std::strchr(fmtp, ' ');
    return space && (std::strncmp(space + 1, "0-15", 4) == 0 || std::strncmp(space + 1, "0-16", 4) == 0);
}

// The local port of a UDP socket; 0 for anything else.
int BoundUdpPort(int fd) {
    int type = 0;
    socklen_t len = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_DGRAM) return 0;
    sockaddr_storage sa{};
    len = sizeof sa;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    if (sa.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&sa)->sin_port);
    if (sa.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&sa)->sin6_port);
    return 0;
}

// The stack does not hand out its sockets; the process's UDP sockets on the
// port it reports are they. Empty where the descriptors cannot be listed.
std::vector<int> UdpSocketsOnPort(int port) {
    std::vector<int> fds;
#ifdef __linux__
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        const std::string name = entry.path().filename().string();
        char* end = nullptr;
        const long fd = std::strtol(name.c_str(), &end, 10);
        if (name.empty() || *end != '\0' || fd < 0) continue;
        if (BoundUdpPort(static_cast<int>(fd)) == port) fds.push_back(static_cast<int>(fd));
    }
#else
    (void)port;
#endif
    return fds;
}

// The address in a From header's value as it came: between "<" and ">", or
// up to the first ";" (its parameters) when it has no angle brackets.
std::string AddressInFromHeader(const char* value) {
    std::string v = Text(value);
    const size_t open = v.find('<');
    if (open != std::string::npos) {
        const size_t close = v.find('>', open);
        return v.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    }
    v = v.substr(0, v.find(';'));
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.erase(0, 1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
    return v;
}

Softphone* FromCore(LinphoneCore* core) {
    LinphoneCoreCbs* cbs = linphone_core_get_current_callbacks(core);
    return cbs ? static_cast<Softphone*>(linphone_core_cbs_get_user_data(cbs)) : nullptr;
}

}  // namespace

ClientCallbacks& Callbacks() {
    static ClientCallbacks callbacks;
    return callbacks;
}

void ApplyLogLevel(int level) {
    unsigned int mask = 0;
    if (level >= 0) mask |= LinphoneLogLevelError | LinphoneLogLevelFatal;
    if (level >= 1) mask |= LinphoneLogLevelWarning;
    if (level >= 2) mask |= LinphoneLogLevelMessage;
    if (level >= 3) mask |= LinphoneLogLevelDebug | LinphoneLogLevelTrace;
    linphone_logging_service_set_log_level_mask(linphone_logging_service_get(), mask);
}

bool ParseServer(const std::string& text, std::string* host, int* port) {
    std::string s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    if (s.size() >= 4 && strncasecmp(s.c_str(), "sip:", 4) == 0) s.erase(0, 4);
    std::string h = s, p;
    if (!s.empty() && s.front() == '[') {
        size_t close = s.find(']');
        if (close == std::string::npos) return false;
        h = s.substr(0, close + 1);
        std::string rest = s.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            p = rest.substr(1);
        }
    } else {
        size_t colon = s.find(':');
        if (colon != std::string::npos && s.find(':', colon + 1) == std::string::npos) {
            h = s.substr(0, colon);
            p = s.substr(colon + 1);
        } else if (colon != std::string::npos) {
            return false;  // a bare IPv6 address needs brackets
        }
    }
    if (h.empty() || h.find_first_of(" \t;@/?<>\"") != std::string::npos) return false;
    int value = 5060;
    if (!p.empty()) {
        if (p.size() > 5 || p.find_first_not_of("0123456789") != std::string::npos) return false;
        value = std::stoi(p);
        if (value < 1 || value > 65535) return false;
    }
    *host = h;
    *port = value;
    return true;
}

bool Softphone::Open() {
    data_dir_ = MakeDataDir();
    if (data_dir_.empty()) return false;
    LinphoneFactory* factory = linphone_factory_get();
    // The stack appends file names to these without a separator.
    const std::string dir = data_dir_ + "/";
    linphone_factory_set_data_dir(factory, dir.c_str());
    linphone_factory_set_config_dir(factory, dir.c_str());
    linphone_factory_set_download_dir(factory, dir.c_str());
    // No media plugins: the system's plugin folder holds a video plugin built
    // on another Qt major version, which aborts a Qt 6 host process when
    // loaded. The engine needs none of them (audio codecs are built in).
    linphone_factory_set_msplugins_dir(factory, dir.c_str());

    cbs_ = linphone_factory_create_core_cbs(factory);
    linphone_core_cbs_set_user_data(cbs_, this);
    linphone_core_cbs_set_registration_state_changed(cbs_, &Softphone::OnRegistration);
    linphone_core_cbs_set_call_state_changed(cbs_, &Softphone::OnCallState);
    linphone_core_cbs_set_message_received(cbs_, &Softphone::OnMessage);

    // Only UDP on our own port, set before the core exists: otherwise it binds
    // the default ports first.
    const std::string factory_rc = data_dir_ + "/factory.rc";
    {
        std::ofstream rc(factory_rc);
        rc << "[sip]\nsip_port=" << LocalSipPort()
           << "\nsip_tcp_port=0\nsip_tls_port=0\nkeepalive_period=" << kKeepAliveMs << "\nauto_net_state_mon=0\n";
    }
    core_ = linphone_factory_create_core_3(factory, nullptr, factory_rc.c_str(), nullptr);
    if (!core_) {
        linphone_core_cbs_unref(cbs_);
        cbs_ = nullptr;
        std::filesystem::remove_all(data_dir_);
        return false;
    }
    linphone_core_add_callbacks(core_, cbs_);

    // No database files: the store that chat rooms need lives in memory, and
    // call logs, ZRTP secrets and friends are not kept (the client keeps no
    // history from the engine). The files cost every start their creation
    // and syncs, and every call a look into the ZRTP cache.
    LinphoneConfig* cfg = linphone_core_get_config(core_);
    linphone_config_set_string(cfg, "storage", "uri", ":memory:");
    linphone_config_set_string(cfg, "storage", "call_logs_db_uri", "null");
    linphone_config_set_string(cfg, "storage", "zrtp_secrets_db_uri", "null");
    linphone_config_set_string(cfg, "misc", "friends_db_uri", "null");
    // The client plays its own tones. The stack's tones of an ending call
    // (busy, error) doubled its hang-up tone, and one started while the core
    // shut down with a call up crashed the program in the sound card's ring.
    linphone_config_set_int(cfg, "sound", "tone_indications", 0);
    // A line that loses and delays packets (Wi-Fi): the jitter buffer
    // follows the delays it measures, from 60 ms down to 40 on a steady
    // line and up to 250 (more delay than that makes a conversation
    // unusable), and the concealment of the stack's default audio features
    // fills what is lost or late. Either covers 0-60 ms of jitter alone;
    // loss needs the concealment. Named here so that a stack with other
    // defaults does not change what the tests measured.
    linphone_core_set_audio_jittcomp(core_, 60);
    linphone_core_enable_audio_adaptive_jittcomp(core_, TRUE);
    linphone_config_set_string(cfg, "rtp", "jitter_buffer_algorithm", "rls");
    linphone_config_set_int(cfg, "rtp", "jitter_buffer_min_size", 40);
    linphone_config_set_int(cfg, "rtp", "jitter_buffer_max_size", 250);

    linphone_core_enable_auto_iterate(core_, FALSE);
    linphone_core_set_user_agent(core_, "zent_softphone", "1.3");
    linphone_core_enable_ipv6(core_, FALSE);
    linphone_core_enable_video_capture(core_, FALSE);
    linphone_core_enable_video_display(core_, FALSE);
    linphone_core_set_media_encryption(core_, LinphoneMediaEncryptionNone);
    // Plain text messages only: no delivery or typing notifications, which
    // the client never shows and a naive peer may echo back as text.
    linphone_im_notif_policy_clear(linphone_core_get_im_notif_policy(core_));
    linphone_core_set_use_rfc2833_for_dtmf(core_, TRUE);
    linphone_core_set_use_info_for_dtmf(core_, FALSE);
    linphone_core_set_ring(core_, nullptr);  // the client rings itself
    linphone_core_set_audio_port(core_, -1);
    UseSoundDevices();
    LinphoneVideoActivationPolicy* video = linphone_factory_create_video_activation_policy(factory);
    linphone_video_activation_policy_set_automatically_initiate(video, FALSE);
    linphone_video_activation_policy_set_automatically_accept(video, FALSE);
    linphone_core_set_video_activation_policy(core_, video);
    linphone_video_activation_policy_unref(video);

    LinphoneTransports* tr = linphone_factory_create_transports(factory);
    linphone_transports_set_udp_port(tr, LocalSipPort());
    linphone_transports_set_tcp_port(tr, 0);
    linphone_transports_set_tls_port(tr, 0);
    linphone_transports_set_dtls_port(tr, 0);
    linphone_core_set_transports(core_, tr);
    linphone_transports_unref(tr);

    if (linphone_core_start(core_) != 0) {
        linphone_core_unref(core_);
        core_ = nullptr;
        linphone_core_cbs_unref(cbs_);
        cbs_ = nullptr;
        std::filesystem::remove_all(data_dir_);
        return false;
    }
    // The core sends nothing until it believes the network is up. Its own
    // watch is off (auto_net_state_mon): it looks every five seconds at the
    // way to an outside address, so it sees neither a lost way to a registrar
    // on a private network nor another route from the same address, and a
    // change only seconds later. The engine watches the kernel's addresses
    // and routes towards the registrar instead (CheckNetwork).
    linphone_core_set_network_reachable(core_, TRUE);
    linphone_core_enable_keep_alive(core_, TRUE);
    if (!net_.Open()) bctbx_warning("network: cannot watch addresses and routes; changes go unnoticed");
    CheckSipSockets();
    return true;
}

void Softphone::CheckSipSockets() {
    next_socket_check_ = std::chrono::steady_clock::now() + kSocketCheckPeriod;
    LinphoneTransports* used = linphone_core_get_transports_used(core_);
    const int port = used ? linphone_transports_get_udp_port(used) : 0;
    if (used) linphone_transports_unref(used);
    bool same = port == sip_port_ && !sip_fds_.empty();
    for (int fd : sip_fds_) same = same && BoundUdpPort(fd) == port;
    if (same) return;
    sip_port_ = port;
    std::vector<int> fds = port > 0 ? UdpSocketsOnPort(port) : std::vector<int>();
    if (fds == sip_fds_) return;
    sip_fds_ = std::move(fds);
    sip_fds_changed_ = true;
}

std::vector<int> Softphone::WakeSockets() const {
    std::vector<int> fds = sip_fds_;
    if (net_.Fd() >= 0) fds.push_back(net_.Fd());
    return fds;
}

// What the kernel says about the way to the registrar, after a change of
// addresses or routes, or when registering. No way there: the core stops
// sending and the client hears it is not registered. Back, or out through
// another local address: the core opens its transports anew and registers
// from there. The same address by another way (a new default route, another
// router): one REGISTER tells the server where the client is now.
void Softphone::CheckNetwork(bool registering) {
    if (reg_host_.empty()) return;
    const std::string local = NetWatch::LocalAddressTowards(reg_host_, reg_port_);
    const bool was_down = net_down_;
    const std::string before = std::exchange(net_local_, local);
    net_down_ = local.empty();
    if (net_down_) {
        if (was_down && !registering) return;
        bctbx_message("network: no route to %s; not registered until there is one", reg_host_.c_str());
        linphone_core_set_network_reachable(core_, FALSE);
        if (account_ && !account_stopped_) ReportRegistration(408);
        return;
    }
    if (was_down) {
        bctbx_message("network: back, %s towards %s; registering", local.c_str(), reg_host_.c_str());
        linphone_core_set_network_reachable(core_, TRUE);
        return;
    }
    if (registering) return;
    if (local != before) {
        bctbx_message("network: local address %s instead of %s; registering from it", local.c_str(), before.c_str());
        linphone_core_set_network_reachable(core_, FALSE);
        linphone_core_set_network_reachable(core_, TRUE);
        return;
    }
    if (account_ && !account_stopped_ && linphone_proxy_config_get_state(account_) != LinphoneRegistrationProgress) {
        bctbx_message("network: routes changed; registering again from %s", local.c_str());
        linphone_proxy_config_refresh_register(account_);
    }
}

bool Softphone::SipSocketsChanged() {
    const bool changed = sip_fds_changed_;
    sip_fds_changed_ = false;
    return changed;
}

bool Softphone::NoLines() { return lines_.empty(); }

bool Softphone::NotRegistered() {
    if (!account_) return true;
    LinphoneRegistrationState s = linphone_proxy_config_get_state(account_);
    return s != LinphoneRegistrationOk && s != LinphoneRegistrationProgress;
}

void Softphone::IterateFor(std::chrono::milliseconds limit, bool (Softphone::*done)()) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!(this->*done)() && std::chrono::steady_clock::now() < end) {
        linphone_core_iterate(core_);
        usleep(20000);
    }
}

void Softphone::Close() {
    if (!core_) return;
    if (!lines_.empty()) {
        linphone_core_terminate_all_calls(core_);
        IterateFor(kCloseLimit, &Softphone::NoLines);
    }
    if (account_ && !account_stopped_ && linphone_proxy_config_get_state(account_) == LinphoneRegistrationOk) {
        linphone_proxy_config_edit(account_);
        linphone_proxy_config_enable_register(account_, FALSE);
        linphone_proxy_config_done(account_);
        IterateFor(kCloseLimit, &Softphone::NotRegistered);
    }
    account_ = nullptr;
    // Whatever did not end in time goes now, without further events.
    for (auto& entry : lines_) linphone_call_unref(entry.first);
    lines_.clear();
    linphone_core_remove_callbacks(core_, cbs_);
    linphone_core_stop(core_);
    linphone_core_unref(core_);
    core_ = nullptr;
    linphone_core_cbs_unref(cbs_);
    cbs_ = nullptr;
    sip_fds_.clear();
    sip_port_ = 0;
    sip_fds_changed_ = true;
    net_.Close();
    net_local_.clear();
    net_down_ = false;
    net_check_ = false;
    std::error_code ec;
    std::filesystem::remove_all(data_dir_, ec);
}

bool Softphone::Tick() {
    if (!core_) return false;
    linphone_core_iterate(core_);
    if (account_refused_ && account_ && !account_stopped_) {
        account_stopped_ = true;  // its further state changes are not attempts
        linphone_proxy_config_edit(account_);
        linphone_proxy_config_enable_register(account_, FALSE);
        linphone_proxy_config_done(account_);
    }
    FollowSoundServer(std::chrono::milliseconds(0));
    auto now = std::chrono::steady_clock::now();
    if (now >= next_levels_) {
        next_levels_ = now + kLevelPeriod;
        ReportLevels();
    }
    if (now >= next_socket_check_) CheckSipSockets();
    if (net_.Drain()) {
        net_check_ = true;
        net_check_at_ = now + kNetSettle;
    }
    if (net_check_ && now >= net_check_at_) {
        net_check_ = false;
        CheckNetwork(false);
    }
    // A call, a registration on its way and a look at the network due keep
    // the stack's timers running at full pace (retransmissions, media, levels).
    return !lines_.empty() || net_check_ ||
           (account_ && !account_stopped_ && linphone_proxy_config_get_state(account_) == LinphoneRegistrationProgress);
}

void Softphone::ReportLevels() {
    LinphoneCall* call = linphone_core_get_current_call(core_);
    SphAudioStatsCallback cb = Callbacks().audio.load();
    if (call && linphone_call_get_state(call) == LinphoneCallStateStreamsRunning) {
        levels_live_ = true;
        // Outgoing first: what the microphone sends, then what the speaker plays.
        if (cb) cb(ToPercent(linphone_call_get_record_volume(call)), ToPercent(linphone_call_get_play_volume(call)));
    } else if (levels_live_) {
        levels_live_ = false;
        if (cb) cb(0, 0);
    }
}

void Softphone::SetCodecs(const std::vector<std::string>& codecs) {
    if (!core_) return;
    bctbx_list_t* types = linphone_core_get_audio_payload_types(core_);
    std::vector<LinphonePayloadType*> all, chosen;
    for (bctbx_list_t* it = types; it; it = it->next) all.push_back(static_cast<LinphonePayloadType*>(it->data));
    for (const std::string& wanted : codecs) {
        std::string name = wanted;
        int rate = 0;
        size_t slash = wanted.find('/');
        if (slash != std::string::npos) {
            name = wanted.substr(0, slash);
            rate = std::atoi(wanted.c_str() + slash + 1);
        }
        if (name.empty()) continue;
        for (LinphonePayloadType* pt : all) {
            if (strcasecmp(linphone_payload_type_get_mime_type(pt), name.c_str()) != 0) continue;
            if (rate > 0 && linphone_payload_type_get_clock_rate(pt) != rate) continue;
            bool dup = false;
            for (LinphonePayloadType* c : chosen) dup = dup || c == pt;
            if (!dup) chosen.push_back(pt);
            break;
        }
    }
    // Six unknown names would leave no codec at all: keep what there is then.
    if (!chosen.empty()) {
        bctbx_list_t* order = nullptr;
        for (LinphonePayloadType* pt : chosen) {
            linphone_payload_type_enable(pt, TRUE);
            order = bctbx_list_append(order, pt);
        }
        for (LinphonePayloadType* pt : all) {
            bool keep = false;
            for (LinphonePayloadType* c : chosen) keep = keep || c == pt;
            if (keep) continue;
            linphone_payload_type_enable(pt, FALSE);
            order = bctbx_list_append(order, pt);
        }
        linphone_core_set_audio_payload_types(core_, order);
        bctbx_list_free(order);
    }
    bctbx_list_free_with_data(types, reinterpret_cast<bctbx_list_free_func>(linphone_payload_type_unref));
}

void Softphone::Register(const std::string& server, const std::string& user, const std::string& password,
                         const std::string& authuser) {
    if (!core_) return;
    std::string host;
    int port = 0;
    const std::string auth = authuser.empty() ? user : authuser;
    if (account_ && !account_refused_ && linphone_proxy_config_get_state(account_) != LinphoneRegistrationProgress &&
        ParseServer(server, &host, &port) && host == reg_host_ && port == reg_port_ && user == reg_user_ &&
        password == reg_password_ && auth == reg_authuser_) {
        linphone_proxy_config_refresh_register(account_);
        return;
    }
    account_refused_ = false;
    account_stopped_ = false;
    if (account_) {
        LinphoneProxyConfig* old = account_;
        account_ = nullptr;  // its further events belong to no attempt of ours
        linphone_core_remove_proxy_config(core_, old);
    }
    linphone_core_clear_all_auth_info(core_);
    reg_host_.clear();
    if (!ParseServer(server, &host, &port) || user.empty()) {
        ReportRegistration(400);
        return;
    }
    LinphoneFactory* factory = linphone_factory_get();
    LinphoneAddress* identity = linphone_factory_create_address(factory, ("sip:" + host).c_str());
    if (!identity) {
        ReportRegistration(400);
        return;
    }
    linphone_address_set_username(identity, user.c_str());
    const std::string proxy = "sip:" + host + ":" + std::to_string(port) + ";transport=udp";

    LinphoneAuthInfo* info = linphone_factory_create_auth_info(factory, user.c_str(), auth.c_str(), password.c_str(),
                                                               nullptr, nullptr, nullptr);
    linphone_core_add_auth_info(core_, info);
    linphone_auth_info_unref(info);

    LinphoneProxyConfig* cfg = linphone_core_create_proxy_config(core_);
    linphone_proxy_config_set_identity_address(cfg, identity);
    linphone_address_unref(identity);
    if (linphone_proxy_config_set_server_addr(cfg, proxy.c_str()) != 0) {
        linphone_proxy_config_unref(cfg);
        ReportRegistration(400);
        return;
    }
    // Calls and messages go through the registered server whatever their domain.
    bctbx_list_t* routes = bctbx_list_append(nullptr, const_cast<char*>(proxy.c_str()));
    linphone_proxy_config_set_routes(cfg, routes);
    bctbx_list_free(routes);
    linphone_proxy_config_enable_register(cfg, TRUE);
    linphone_proxy_config_set_expires(cfg, kRegisterSeconds);
    reg_host_ = host;
    reg_port_ = port;
    reg_user_ = user;
    reg_password_ = password;
    reg_authuser_ = auth;
    account_ = cfg;
    linphone_core_add_proxy_config(core_, cfg);
    linphone_core_set_default_proxy_config(core_, cfg);
    linphone_proxy_config_unref(cfg);
    CheckNetwork(true);
}

std::vector<std::string> Softphone::Devices(bool playback) {
    std::vector<std::string> names;
    if (!core_) return names;
    bctbx_list_t* devices = linphone_core_get_extended_audio_devices(core_);
    for (const LinphoneAudioDevice* dev : SoundDevices(devices, playback))
        names.push_back(Text(linphone_audio_device_get_id(dev)));
    bctbx_list_free_with_data(devices, reinterpret_cast<bctbx_list_free_func>(linphone_audio_device_unref));
    return names;
}

namespace {

// The device of the list named `name`, or the list's first.
const LinphoneAudioDevice* Pick(const std::vector<const LinphoneAudioDevice*>& list, const std::string& name) {
    for (const LinphoneAudioDevice* dev : list) {
        const char* driver = linphone_audio_device_get_driver_name(dev);
        if (!name.empty() && driver && strcasecmp(driver, "PulseAudio") == 0 &&
            name == Text(linphone_audio_device_get_device_name(dev)))
            return dev;
    }
    return list.empty() ? nullptr : list.front();
}

}  // namespace

// Calls play and record through the sound server's default devices (the
// desktop's sound settings), else the first of the lists the client shows;
// a call under way is moved by the sound server itself (SoundServer).
// Without both, the core plays and records through files (silence), so
// calls still come about on a machine without sound. `call`, not yet
// answered, is put on them too: the stack gave it the core's devices of the
// moment its INVITE came, and a tick may not have seen a change just before.
void Softphone::UseSoundDevices(LinphoneCall* call) {
    const SoundServer::Defaults& defaults = sound_server_.Current();
    bctbx_list_t* devices = linphone_core_get_extended_audio_devices(core_);
    const LinphoneAudioDevice* play = Pick(SoundDevices(devices, true), defaults.playback);
    const LinphoneAudioDevice* record = Pick(SoundDevices(devices, false), defaults.capture);
    if (play && record) {
        linphone_core_set_use_files(core_, FALSE);
        linphone_core_set_playback_device(core_, linphone_audio_device_get_id(play));
        linphone_core_set_capture_device(core_, linphone_audio_device_get_id(record));
        if (call) {  // its streams do not run yet: nothing restarts
            linphone_call_set_output_audio_device(call, const_cast<LinphoneAudioDevice*>(play));
            linphone_call_set_input_audio_device(call, const_cast<LinphoneAudioDevice*>(record));
        }
    } else {
        linphone_core_set_use_files(core_, TRUE);
        linphone_core_set_play_file(core_, nullptr);  // silence
    }
    bctbx_list_free_with_data(devices, reinterpret_cast<bctbx_list_free_func>(linphone_audio_device_unref));
}

// A change of the server's defaults or devices reaches the stack: its device
// list is made anew when devices came or went (a headset plugged in).
void Softphone::FollowSoundServer(std::chrono::milliseconds wait) {
    if (!sound_server_.Poll(wait)) return;
    if (sound_server_.Current().devices != sound_devices_seen_) {
        sound_devices_seen_ = sound_server_.Current().devices;
        linphone_core_reload_sound_devices(core_);
    }
    UseSoundDevices();
}

int Softphone::MakeCall(const std::string& number) {
    if (!core_ || !account_ || linphone_proxy_config_get_state(account_) != LinphoneRegistrationOk) return -1;
    std::string n = number;
    while (!n.empty() && (n.front() == ' ' || n.front() == '\t')) n.erase(0, 1);
    while (!n.empty() && (n.back() == ' ' || n.back() == '\t')) n.pop_back();
    if (n.empty() || n.find_first_of(" \t@:;<>\"") != std::string::npos) return -1;
    LinphoneAddress* to = linphone_factory_create_address(linphone_factory_get(), ("sip:" + reg_host_).c_str());
    if (!to) return -1;
    linphone_address_set_username(to, n.c_str());
    FollowSoundServer(kDeviceWait);
    const int id = next_line_++;
    pending_out_line_ = id;
    LinphoneCall* call = linphone_core_invite_address(core_, to);
    pending_out_line_ = -1;
    linphone_address_unref(to);
    if (!call) {
        for (const auto& entry : lines_)
            if (entry.second.id == id) return id;  // already known; its end is reported
        return -1;
    }
    if (lines_.find(call) == lines_.end()) {
        Line line;
        line.id = id;
        line.outgoing = true;
        line.calling_sent = true;
        lines_[linphone_call_ref(call)] = line;
        ReportCall(id, SPH_STATE_CALLING);
    }
    return id;
}

LinphoneCall* Softphone::FindLine(int line) {
    for (auto& entry : lines_)
        if (entry.second.id == line && !entry.second.ended) return entry.first;
    return nullptr;
}

void Softphone::Answer(int line) {
    LinphoneCall* call = FindLine(line);
    if (!call || !IsIncomingRinging(linphone_call_get_state(call))) return;
    FollowSoundServer(kDeviceWait);
    UseSoundDevices(call);
    linphone_call_accept(call);
}

void Softphone::HangUp(int line) {
    LinphoneCall* call = FindLine(line);
    if (!call) return;
    LinphoneCallState s = linphone_call_get_state(call);
    if (IsIncomingRinging(s))
        linphone_call_decline(call, LinphoneReasonDeclined);
    else if (!IsOver(s))
        linphone_call_terminate(call);
}

void Softphone::SendDigit(int line, char digit) {
    LinphoneCall* call = FindLine(line);
    if (!call) return;
    const bool rfc2833 = PeerHasTelephoneEvents(call);
    linphone_core_set_use_rfc2833_for_dtmf(core_, rfc2833);
    linphone_core_set_use_info_for_dtmf(core_, !rfc2833);
    linphone_call_send_dtmf(call, digit);
}

void Softphone::SendMessage(const std::string& address, const std::string& body) {
    if (!core_) return;
    LinphoneAddress* to = linphone_core_interpret_url(core_, address.c_str());
    if (!to) return;
    LinphoneChatRoomParams* params = linphone_core_create_default_chat_room_params(core_);
    linphone_chat_room_params_set_backend(params, LinphoneChatRoomBackendBasic);
    linphone_chat_room_params_enable_group(params, FALSE);
    linphone_chat_room_params_enable_encryption(params, FALSE);
    const LinphoneAddress* local = account_ ? linphone_proxy_config_get_identity_address(account_) : nullptr;
    bctbx_list_t* peers = bctbx_list_append(nullptr, to);
    LinphoneChatRoom* room = linphone_core_search_chat_room(core_, params, local, nullptr, peers);
    if (!room) room = linphone_core_create_chat_room_6(core_, params, local, peers);
    bctbx_list_free(peers);
    linphone_chat_room_params_unref(params);
    linphone_address_unref(to);
    if (!room) return;
    LinphoneChatMessage* msg = linphone_chat_room_create_message_from_utf8(room, body.c_str());
    if (!msg) return;
    linphone_chat_message_send(msg);
    linphone_chat_message_unref(msg);
}

void Softphone::OnRegistration(LinphoneCore* core, LinphoneProxyConfig* cfg, LinphoneRegistrationState state,
                               const char*) {
    if (Softphone* self = FromCore(core)) self->HandleRegistration(cfg, state);
}

void Softphone::OnCallState(LinphoneCore* core, LinphoneCall* call, LinphoneCallState state, const char*) {
    if (Softphone* self = FromCore(core)) self->HandleCallState(call, state);
}

void Softphone::OnMessage(LinphoneCore* core, LinphoneChatRoom*, LinphoneChatMessage* msg) {
    if (Softphone* self = FromCore(core)) self->HandleMessage(msg);
}

void Softphone::HandleRegistration(LinphoneProxyConfig* cfg, LinphoneRegistrationState state) {
    if (!account_ || cfg != account_ || account_stopped_) return;
    switch (state) {
    case LinphoneRegistrationOk: ReportRegistration(200); break;
    case LinphoneRegistrationCleared: ReportRegistration(201); break;
    case LinphoneRegistrationFailed: {
        const int code = FailureCode(cfg);
        // A refused account stays refused: the stack would retry it every
        // minute and each retry would reach the user as a new refusal. Only a
        // server that does not answer is tried again.
        if (code != 408) account_refused_ = true;
        ReportRegistration(code);
        break;
    }
    default: break;
    }
}

void Softphone::HandleCallState(LinphoneCall* call, LinphoneCallState state) {
    auto it = lines_.find(call);
    if (it == lines_.end()) {
        if (IsOver(state)) return;
        Line line;
        if (state == LinphoneCallStateIncomingReceived) {
            line.id = next_line_++;
            lines_[linphone_call_ref(call)] = line;
            const LinphoneAddress* from = linphone_call_get_remote_address(call);
            std::string text = "sip:" + Text(from ? linphone_address_get_username(from) : nullptr) + "@" +
                               Text(from ? linphone_address_get_domain(from) : nullptr);
            if (SphIncomingCallback cb = Callbacks().incoming.load()) cb(line.id, Utf8ToCp936(text).c_str());
            return;
        }
        if (linphone_call_get_dir(call) != LinphoneCallOutgoing) return;
        line.id = pending_out_line_ >= 0 ? pending_out_line_ : next_line_++;
        line.outgoing = true;
        it = lines_.emplace(linphone_call_ref(call), line).first;
    }
    Line& line = it->second;
    switch (state) {
    case LinphoneCallStateOutgoingInit:
    case LinphoneCallStateOutgoingProgress:
        if (!line.calling_sent) {
            line.calling_sent = true;
            ReportCall(line.id, SPH_STATE_CALLING);
        }
        break;
    case LinphoneCallStateOutgoingRinging:
    case LinphoneCallStateOutgoingEarlyMedia:
        if (!line.ring_sent) {
            line.ring_sent = true;
            ReportCall(line.id, SPH_STATE_CALLRING);
        }
        break;
    case LinphoneCallStateConnected:
    case LinphoneCallStateStreamsRunning:
        if (!line.connected_sent && !line.ended) {
            line.connected_sent = true;
            ReportCall(line.id, line.outgoing ? SPH_STATE_CALLANSWER : SPH_STATE_ANSWERSTR);
        }
        break;
    case LinphoneCallStateEnd:
    case LinphoneCallStateError:
    case LinphoneCallStateReleased: {
        const int id = line.id;
        const bool report = !line.ended;
        line.ended = true;
        if (state == LinphoneCallStateReleased) {
            lines_.erase(it);
            linphone_call_unref(call);
        }
        if (report) ReportCall(id, SPH_STATE_CALLEND);
        break;
    }
    default: break;
    }
}

void Softphone::HandleMessage(LinphoneChatMessage* msg) {
    const char* type = linphone_chat_message_get_content_type(msg);
    if (type && strncasecmp(type, "text/", 5) != 0) return;
    const char* text = linphone_chat_message_get_utf8_text(msg);
    if (!text) return;
    const LinphoneAddress* from = linphone_chat_message_get_from_address(msg);
    char* uri = from ? linphone_address_as_string_uri_only(from) : nullptr;
    std::string sender = Text(uri);
    if (uri) bctbx_free(uri);
    // A sender that is no SIP address (a tel: URI) comes out of the stack as
    // a bare "sip:": the client gets the address as the sender wrote it.
    if (!from || !linphone_address_get_domain(from))
        sender = AddressInFromHeader(linphone_chat_message_get_custom_header(msg, "From"));
    sender = Utf8ToCp936(sender);
    if (SphRecvMessageCallback cb = Callbacks().message.load()) cb(sender.c_str(), Utf8ToCp936(text).c_str());
}

void Softphone::ReportRegistration(int status) {
    if (SphRegStatsCallback cb = Callbacks().reg.load()) cb(status);
}

void Softphone::ReportCall(int line, const char* state) {
    if (SphCallStatsCallback cb = Callbacks().call.load()) cb(line, state);
}

}  // namespace zent
