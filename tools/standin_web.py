#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Local stand-in for the Ravelo service's web server (demo and test fixture).

Answers the requests the client makes: SIP server discovery, the start page,
the web client page with call links, the bridge-call order and the
registration page. Python standard library only, loopback by default.
"""

import argparse
import hashlib
import html
import signal
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, urlsplit

# The client reads every answer as code page 936 bytes; pages shown in the
# browser say UTF-8 in their meta tag and are fine either way.
GBK = "gbk"

DEMO_PEER = "10086110001"   # the SIP peer answers, plays audio, hangs up
BUSY_NUMBER = "10086110486"  # the SIP server answers 486 Busy Here
BRIDGE_DEMO = "13912345678"  # any number: bridge calls are only acknowledged


def md5_hex(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


class Accounts:
    """Known subscribers and the two per-user tokens the service hands out."""

    def __init__(self, pairs):
        self.passwords = dict(pairs)

    def known(self, account):
        return account in self.passwords

    def check(self, account, password):
        return self.passwords.get(account) == password

    def user_token(self, account):
        # Opaque to the client; stable per account so pages can check it.
        return md5_hex("ravelo-user:" + account)[:16].upper()

    def password_token(self, account):
        return md5_hex(self.passwords.get(account, ""))


def parse_query(raw):
    """Plain, unescaped query as the client sends it; last value wins.

    http.server hands the request line over as latin-1 text, so raw CP936
    bytes in it are turned back into bytes and read as CP936.
    """
    raw = raw.encode("latin-1", "replace").decode(GBK, "replace")
    return dict(parse_qsl(raw, keep_blank_values=True, encoding=GBK,
                          errors="replace"))


PAGE_STYLE = """
body{margin:0;font-family:"Noto Sans CJK SC","Microsoft YaHei",sans-serif;
background:#f4f6f9;color:#23303d;font-size:14px}
header{background:#1d5fa8;color:#fff;padding:12px 20px}
header b{font-size:20px;letter-spacing:1px}
header span{margin-left:12px;opacity:.85}
main{padding:16px 20px}
.card{background:#fff;border:1px solid #dde3ea;border-radius:6px;
padding:12px 16px;margin-bottom:14px}
.card h2{font-size:15px;margin:0 0 10px;color:#1d5fa8}
table{border-collapse:collapse;width:100%}
td{padding:6px 4px;border-bottom:1px solid #eef1f5}
a{color:#1d5fa8;text-decoration:none}
a.btn{display:inline-block;padding:3px 10px;border:1px solid #1d5fa8;
border-radius:4px;margin-right:6px}
a.btn:hover{background:#1d5fa8;color:#fff}
.muted{color:#7a8794;font-size:12px}
.warn{color:#b3261e}
"""


def page(title, body):
    return ("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head>"
            "<meta charset=\"utf-8\"><title>%s</title><style>%s</style>"
            "</head><body><header><b>Ravelo</b><span>%s</span></header>"
            "<main>%s</main></body></html>\n"
            % (html.escape(title), PAGE_STYLE, html.escape(title), body))


class Handler(BaseHTTPRequestHandler):
    server_version = "RaveloStandin/1.0"
    sys_version = ""

    # --- plumbing -------------------------------------------------------
    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), fmt % args))
        sys.stderr.flush()

    def reply(self, body, content_type, status=200):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def reply_text(self, text, status=200):
        self.reply(text.encode(GBK), "text/plain; charset=GBK", status)

    def reply_html(self, markup, status=200):
        self.reply(markup.encode("utf-8"), "text/html; charset=utf-8", status)

    def base_url(self):
        # Links must begin with exactly the address the client uses as its
        # web server, so they follow the Host the request came to.
        host = self.headers.get("Host") or "%s:%d" % self.server.server_address[:2]
        return "http://%s/" % host

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        parts = urlsplit(self.path)
        query = parse_query(parts.query)
        route = ROUTES.get(parts.path)
        if route is None:
            self.reply_html(page("页面不存在", "<p>您访问的页面不存在。</p>"), 404)
            return
        route(self, query)

    # --- service pages --------------------------------------------------
    def discovery(self, q):
        cfg = self.server.cfg
        account, password = q.get("Phone", ""), q.get("p", "")
        if not cfg.accounts.check(account, password):
            # Short on purpose: the client takes it as an illegal answer.
            self.reply_text("-1")
            return
        self.reply_text("%s#%s#%s" % (cfg.sip_server,
                                      cfg.accounts.user_token(account),
                                      cfg.accounts.password_token(account)))

    def start_page(self, q):
        version = html.escape(q.get("v", ""))
        account = html.escape(q.get("u", ""))
        who = ("帐号 %s，" % account) if account else ""
        body = ("<div class=\"card\"><h2>欢迎使用 Ravelo 网络电话</h2>"
                "<p>%s正在连接服务器，请稍候……</p>"
                "<p class=\"muted\">客户端版本 %s</p></div>" % (who, version))
        self.reply_html(page("Ravelo 网络电话", body))

    def client_page(self, q):
        accounts = self.server.cfg.accounts
        account = q.get("u", "")
        if (not accounts.known(account)
                or q.get("md5_pwd", "") != accounts.password_token(account)
                or q.get("u_des", "") != accounts.user_token(account)):
            body = ("<div class=\"card\"><h2>登录信息无效</h2>"
                    "<p class=\"warn\">您的登录信息已失效，请在客户端中重新登录。</p></div>")
            self.reply_html(page("Ravelo 用户中心", body))
            return
        base = self.base_url()

        def link(path, n, number, label):
            href = "%suser/%s?x=%d&n=%s" % (base, path, n, number)
            return ("<a class=\"btn\" href=\"%s\" target=\"_blank\">%s</a>"
                    % (html.escape(href), label))

        def row(name, number, note):
            return ("<tr><td>%s</td><td>%s</td><td>%s%s</td>"
                    "<td class=\"muted\">%s</td></tr>"
                    % (name, number, link("ip_call.php", 1, number, "IP直拨"),
                       link("bridge_call.php", 2, number, "桥接通话"), note))

        body = (
            "<div class=\"card\"><h2>我的帐户</h2>"
            "<p>帐号：%s　线路：%s　余额：<b>88.00</b> 元</p></div>"
            "<div class=\"card\"><h2>常用号码</h2><table>%s%s%s</table></div>"
            "<div class=\"card\"><h2>服务</h2>"
            "<p><a href=\"%suser_reg.php?op=regist&amp;f=client\" target=\"_blank\">"
            "推荐好友注册</a>　<a href=\"%suser/client_start.php?f=webclient\">"
            "返回首页</a></p></div>"
            % (html.escape(account), html.escape(q.get("net", "")),
               row("Ravelo 语音测试", DEMO_PEER, "接通后播放约5秒录音并挂断"),
               row("忙线测试", BUSY_NUMBER, "服务器回应忙"),
               row("桥接演示", BRIDGE_DEMO, "桥接：服务器先呼叫您的电话"),
               base, base))
        if self.server.cfg.page_script:
            # A page tampered with on its way (tests): the script rides along.
            body += "<script>%s</script>" % self.server.cfg.page_script
        self.reply_html(page("Ravelo 用户中心", body))

    def make_call(self, q):
        accounts = self.server.cfg.accounts
        caller, called = q.get("Caller", ""), q.get("Called", "").strip()
        if q.get("op") != "call" or q.get("Call_Key") != "bridgecall":
            self.reply_text("请求参数错误。")
        elif (not accounts.known(caller)
              or q.get("Pwd", "") != accounts.password_token(caller)):
            self.reply_text("帐号或密码错误，呼叫失败。")
        elif not called.isdigit() or not 7 <= len(called) <= 20:
            self.reply_text("被叫号码不正确，呼叫失败。")
        else:
            self.reply_text("呼叫已建立，请等待来电。主叫 %s，被叫 %s。"
                            % (caller, called))

    def call_link(self, q):
        # Reached only when a browser opens a call link itself.
        body = ("<div class=\"card\"><h2>请在 Ravelo 客户端中拨打</h2>"
                "<p>号码：%s</p></div>" % html.escape(q.get("n", "")))
        self.reply_html(page("Ravelo 呼叫", body))

    def register_page(self, q):
        if q.get("op") == "save":
            body = ("<div class=\"card\"><h2>注册申请已提交</h2>"
                    "<p>手机号 %s 的注册申请已收到（演示服务不会开通新帐号）。</p></div>"
                    % html.escape(q.get("user_mobile", "")))
            self.reply_html(page("Ravelo 帐号注册", body))
            return
        body = (
            "<div class=\"card\"><h2>注册 Ravelo 帐号</h2>"
            "<form method=\"get\" action=\"user_reg.php\">"
            "<input type=\"hidden\" name=\"op\" value=\"save\">"
            "<p>手机号码：<input name=\"user_mobile\" value=\"%s\"></p>"
            "<p>登录密码：<input type=\"password\" name=\"pwd\"></p>"
            "<p><button type=\"submit\">立即注册</button></p></form>"
            "<p class=\"muted\">推广编号 %s</p></div>"
            % (html.escape(q.get("user_mobile", "")),
               html.escape(q.get("pid", ""))))
        self.reply_html(page("Ravelo 帐号注册", body))


ROUTES = {
    "/user/ajax_get_sip_server.php": Handler.discovery,
    "/user/client_start.php": Handler.start_page,
    "/action_client.php": Handler.client_page,
    "/user/make_call.php": Handler.make_call,
    "/user/ip_call.php": Handler.call_link,
    "/user/bridge_call.php": Handler.call_link,
    "/user_reg.php": Handler.register_page,
}


class Config:
    def __init__(self, args):
        self.sip_server = args.sip_server
        self.page_script = ""
        if args.page_script:
            with open(args.page_script, encoding="utf-8") as f:
                self.page_script = f.read()
        pairs = []
        for item in args.account:
            account, sep, password = item.partition(":")
            if not sep or not account or not password:
                raise SystemExit("standin_web: bad --account %r (want NUMBER:PASSWORD)"
                                 % item)
            pairs.append((account, password))
        self.accounts = Accounts(pairs)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--bind", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=8080)
    ap.add_argument("--sip-server", default="127.0.0.1:5060",
                    help="host:port handed out by discovery")
    ap.add_argument("--page-script", default="",
                    help="file of script the client page carries (a tampered page)")
    ap.add_argument("--account", action="append", default=None,
                    help="NUMBER:PASSWORD, repeatable (default 13800138000:123456)")
    args = ap.parse_args(argv)
    if not args.account:
        args.account = ["13800138000:123456"]

    server = ThreadingHTTPServer((args.bind, args.port), Handler)
    server.daemon_threads = True
    server.cfg = Config(args)

    def stop(signum, frame):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, stop)
    sys.stderr.write("standin_web: listening on http://%s:%d/, SIP server %s\n"
                     % (args.bind, args.port, args.sip_server))
    sys.stderr.flush()
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
        sys.stderr.write("standin_web: stopped\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
