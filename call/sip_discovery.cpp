// SPDX-License-Identifier: GPL-3.0-or-later
// Asks the service which SIP server serves this subscriber and line type.
#include <exception>

#include "call/call_control.h"
#include "call/discovery_answer.h"
#include "call/early_login.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "service_addresses.h"

using text::ZH;

namespace {

text::Ansi g_discoveryHost = service::kDiscoveryHost;

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

text::Ansi DiscoveryQuery(const text::Ansi& account, const text::Ansi& password, const text::Ansi& lineType) {
    return "/user/ajax_get_sip_server.php?v=" + ClientVersion + "&op=go&f=client&Phone=" + account + "&p=" + password +
           "&network=" + lineType;
}

DiscoveryReply AskDiscovery(net::TNMHTTP& http, const text::Ansi& query) {
    if (http.Connected()) http.Disconnect();
    http.TimeOut = 10000;
    http.InputFileMode = false;
    http.OutputFileMode = false;
    http.ReportLevel = 2;
    DiscoveryReply reply;
    try {
        http.Get("http://" + g_discoveryHost + query);
        reply.answer = http.Body;
    } catch (const std::exception& e) {
        reply.failed = true;
        reply.error = e.what();
    }
    return reply;
}

text::Ansi ServerFromReply(const DiscoveryReply& reply) {
    const std::optional<DiscoveryAnswer> split = reply.failed ? std::nullopt : SplitDiscoveryAnswer(reply.answer);
    return split ? split->sipServer : text::Ansi(service::kDefaultSipServer);
}

text::Ansi TfrmCall::GetSipServer() {
    const text::Ansi query = DiscoveryQuery(Account, Password, sADSL_Type);
    WriteLog(ZH("Widget 获取软交换节点：") + "https://" + g_discoveryHost + QueryForLog(query));

    // The program's first login may find its answer asked for already.
    DiscoveryReply reply;
    if (!TakeEarlyDiscovery(query, reply)) reply = AskDiscovery(NMHTTP_SIP, query);
    if (reply.failed) {
        Net_Status = reply.error;
        if (MainWindowPort* main = mainWindowPort()) main->SetTips(ZH("获取软交换节点出错"));
        WriteLog(ZH("第 ") + "0" + ZH(" 次获取软交换节点出错,详细信息是: ") + reply.error);
        return service::kDefaultSipServer;
    }
    const text::Ansi& answer = reply.answer;

    Net_Status = ZH("正常");
    const std::optional<DiscoveryAnswer> split = SplitDiscoveryAnswer(answer);
    if (!split) {
        WriteLog(ZH("获取软交换节点出错,收到的是非法数据：") + answer);
        return service::kDefaultSipServer;
    }
    SipServer = split->sipServer;
    UserDes = split->userDes;
    Md5Pwd = split->md5Pwd;
    WebServer = split->webServer;
    return SipServer;
}
