// SPDX-License-Identifier: GPL-3.0-or-later
// Asks the service which SIP server serves this subscriber and line type.
#include <exception>

#include "call/call_control.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "service_addresses.h"

using text::ZH;

namespace {

text::Ansi g_discoveryHost = service::kDiscoveryHost;

constexpr std::size_t kMinAnswer = 16;
constexpr std::size_t kMaxAnswer = 200;

// The logged form of the query. The service needs the password in the
// request, but the daily log is a plain file that others may read or be sent:
// the password's value is masked there.
text::Ansi QueryForLog(const text::Ansi& query) {
    const text::Ansi key = "&p=";
    const auto at = query.find(key);
    if (at == text::Ansi::npos) return query;
    const auto end = query.find("&network=", at + key.size());
    const auto stop = end == text::Ansi::npos ? query.size() : end;
    return query.substr(0, at + key.size()) + "******" + query.substr(stop);
}

}  // namespace

void SetDiscoveryHost(const text::Ansi& host) { g_discoveryHost = host; }

text::Ansi TfrmCall::GetSipServer() {
    if (NMHTTP_SIP.Connected()) NMHTTP_SIP.Disconnect();
    NMHTTP_SIP.TimeOut = 10000;
    NMHTTP_SIP.InputFileMode = false;
    NMHTTP_SIP.OutputFileMode = false;
    NMHTTP_SIP.ReportLevel = 2;

    const text::Ansi query = "/user/ajax_get_sip_server.php?v=" + ClientVersion + "&op=go&f=client&Phone=" + Account +
                             "&p=" + Password + "&network=" + sADSL_Type;
    WriteLog(ZH("Widget 获取软交换节点：") + "https://" + g_discoveryHost + QueryForLog(query));

    text::Ansi answer;
    try {
        NMHTTP_SIP.Get("http://" + g_discoveryHost + query);
        answer = NMHTTP_SIP.Body;
    } catch (const std::exception& e) {
        Net_Status = e.what();
        if (MainWindowPort* main = mainWindowPort()) main->SetTips(ZH("获取软交换节点出错"));
        WriteLog(ZH("第 ") + "0" + ZH(" 次获取软交换节点出错,详细信息是: ") + e.what());
        return service::kDefaultSipServer;
    }

    Net_Status = ZH("正常");
    // An answer is three fields: anything without both separators (an error
    // page of the right size, say) would become the server of every later
    // call and page, so it is illegal data like one of the wrong size.
    const auto first = answer.find('#');
    const auto second = first == text::Ansi::npos ? first : answer.find('#', first + 1);
    if (answer.size() < kMinAnswer || answer.size() > kMaxAnswer || second == text::Ansi::npos) {
        WriteLog(ZH("获取软交换节点出错,收到的是非法数据：") + answer);
        return service::kDefaultSipServer;
    }

    SipServer = answer.substr(0, first);
    UserDes = answer.substr(first + 1, second - first - 1);
    Md5Pwd = answer.substr(second + 1);
    WebServer = "http://" + SipServer.substr(0, SipServer.find(':')) + ":8080/";
    return SipServer;
}
