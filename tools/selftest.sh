#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Checks the local stand-in service without the client: starts it on its own
# loopback ports and run folder, checks the web answers with curl, then the
# SIP side with sipp (digest registration, wrong password, an answered call
# that the peer hangs up, a busy number, messages both ways), and stops it.
# Exit 0 when every check passed, 1 otherwise. Bounded well under a minute.
set -u

# One bound for the whole run; the watchdog signals the whole process group,
# so sipp runs and the stand-in's processes end with it.
if [ -z "${SELFTEST_BOUNDED:-}" ]; then
  if SELFTEST_BOUNDED=1 timeout -k 5 "${SELFTEST_LIMIT:-55}" bash "$0" "$@"; then exit 0; fi
  exit 1
fi
# The signal may land inside a command whose output goes to /dev/null, so
# the report uses a copy of the real stdout.
exec 3>&1
trap 'echo "FAIL selftest timed out" >&3; failures=$((failures + 1)); exit 1' TERM INT

TOOLS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export RUNDIR="${SELFTEST_RUNDIR:-$(mktemp -d /tmp/ravelo-selftest.XXXXXX)}"
# Ports of their own, away from the demo stand-in's and from the ranges the
# engine tests use (15060+, 17000+, 25060+).
export SIP_IP=127.0.0.1 SIP_DOMAIN=127.0.0.1
export WEB_PORT="${SELFTEST_WEB_PORT:-38080}"
export SIP_PORT="${SELFTEST_SIP_PORT:-35160}"
export PEER_PORT="${SELFTEST_PEER_PORT:-35170}"
export PEER_MEDIA_PORT="${SELFTEST_PEER_MEDIA_PORT:-36000}"
export ECHO_PORT="${SELFTEST_ECHO_PORT:-35172}"
export ECHO_MEDIA_PORT="${SELFTEST_ECHO_MEDIA_PORT:-36100}"
export HOLD_MS=2000
export ACCOUNTS="13800138000:123456 13900139000:654321"
INBOX_PORT="${SELFTEST_INBOX_PORT:-35190}"
ACCOUNT=13800138000
PASSWORD=123456
PEER=10086110001
BUSY=10086110486
WEB="http://$SIP_IP:$WEB_PORT"
SIP="$SIP_IP:$SIP_PORT"

failures=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() { # description command...
  local what="$1"
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

cleanup() {
  [ -n "${current_pgid:-}" ] && kill -TERM -- "-$current_pgid" 2>/dev/null
  [ -n "${inbox_pid:-}" ] && kill -TERM -- "-$inbox_pid" 2>/dev/null
  "$TOOLS/standin.sh" stop >/dev/null 2>&1
  if [ "$failures" -eq 0 ] && [ -z "${SELFTEST_RUNDIR:-}" ]; then
    rm -rf "$RUNDIR"
  fi
}
trap cleanup EXIT

# Runs a command in a process group of its own and waits for it in a way the
# watchdog's signal interrupts; cleanup then ends the whole group.
current_pgid=
run_bounded() {
  local rc
  setsid "$@" </dev/null &
  current_pgid=$!
  wait "$current_pgid"
  rc=$?
  current_pgid=
  return "$rc"
}

get() { curl -s --max-time 5 "$WEB$1"; }
get_gbk() { get "$1" | iconv -f GBK -t UTF-8; }

# sipp against the stand-in SIP server; its trace goes to $RUNDIR/test_<name>.log.
sipp_run() { # name scenario args...
  local name="$1" scenario="$2"
  shift 2
  run_bounded timeout 15 sipp "$SIP" -sf "$TOOLS/sip/$scenario" -i "$SIP_IP" -m 1 -nostdin \
    -timeout 12s -timeout_error -trace_msg -message_file "$RUNDIR/test_$name.log" \
    "$@" >/dev/null 2>>"$RUNDIR/test_$name.err"
}

if ! "$TOOLS/standin.sh" start; then
  echo "FAIL stand-in did not start (logs in $RUNDIR)"
  failures=1
  exit 1
fi

# --- web server ---------------------------------------------------------
discovery="/user/ajax_get_sip_server.php?v=1.3&op=go&f=client&Phone=$ACCOUNT&p=$PASSWORD&network=tel"
answer="$(get "$discovery")"
check "discovery answers host:port#user-token#password-token" \
  bash -c '[[ "$1" =~ ^$2#[0-9A-F]{16}#[0-9a-f]{32}$ ]] && [ ${#1} -ge 16 ] && [ ${#1} -le 200 ]' \
  _ "$answer" "${SIP//./\\.}"
user_token="$(echo "$answer" | cut -d'#' -f2)"
pwd_token="$(echo "$answer" | cut -d'#' -f3)"
wrong="$(get "/user/ajax_get_sip_server.php?v=1.3&op=go&f=client&Phone=$ACCOUNT&p=wrong&network=tel")"
check "discovery refuses a wrong password with a short answer" test "${#wrong}" -lt 16
unknown="$(get "/user/ajax_get_sip_server.php?v=1.3&op=go&f=client&Phone=19999999999&p=$PASSWORD&network=uni")"
check "discovery refuses an unknown account with a short answer" test "${#unknown}" -lt 16

check "start page" bash -c 'grep -q "欢迎使用 Ravelo" <<<"$1"' _ \
  "$(get "/user/client_start.php?f=webclient&v=1.3&u=$ACCOUNT&p=0")"
client_page="$(get "/action_client.php?net=tel&u_des=$user_token&op=go&logintype=1&f=webclient&v=1.3&u=$ACCOUNT&pid=0&md5_pwd=$pwd_token")"
check "client page has an IP-call link in a new window" grep -qF \
  "href=\"$WEB/user/ip_call.php?x=1&amp;n=$PEER\" target=\"_blank\"" <<<"$client_page"
check "client page has a bridge-call link in a new window" grep -qF \
  "href=\"$WEB/user/bridge_call.php?x=2&amp;n=$PEER\" target=\"_blank\"" <<<"$client_page"
check "client page refuses wrong tokens" bash -c 'grep -q "登录信息无效" <<<"$1"' _ \
  "$(get "/action_client.php?net=tel&u_des=x&op=go&logintype=1&f=webclient&v=1.3&u=$ACCOUNT&pid=0&md5_pwd=x")"
bridge="/user/make_call.php?v=1.3&f=client&op=call&Caller=$ACCOUNT"
check "bridge call order accepted (GBK answer)" bash -c 'grep -q "呼叫已建立" <<<"$1"' _ \
  "$(get_gbk "$bridge&Pwd=$pwd_token&Called=13912345678&Call_Key=bridgecall")"
check "bridge call order refused for a wrong Pwd" bash -c 'grep -q "密码错误" <<<"$1"' _ \
  "$(get_gbk "$bridge&Pwd=&Called=13912345678&Call_Key=bridgecall")"
check "registration page" bash -c 'grep -q "注册 Ravelo 帐号" <<<"$1"' _ \
  "$(get "/user_reg.php?v=1.3&op=regist&f=client&user_mobile=$ACCOUNT&pid=0")"

# --- SIP server and peer ------------------------------------------------
check "registration with a wrong password is challenged again" \
  sipp_run wrong_password test_wrong_password.xml -s "$ACCOUNT" -au "$ACCOUNT" -ap wrong \
  -key contact "$SIP_IP:$INBOX_PORT" -key expires 60

# The account's contact: a sipp inbox taking the peer's echo, a message from
# the other account, one message and one call from the service side.
setsid timeout 30 sipp -sf "$TOOLS/sip/test_inbox.xml" -i "$SIP_IP" -p "$INBOX_PORT" \
  -mi "$SIP_IP" -mp 37020 -m 4 -nostdin \
  -timeout 25s -timeout_error -trace_msg -message_file "$RUNDIR/test_inbox.log" \
  </dev/null >/dev/null 2>>"$RUNDIR/test_inbox.err" &
inbox_pid=$!

check "digest registration accepted" \
  sipp_run register test_register.xml -s "$ACCOUNT" -au "$ACCOUNT" -ap "$PASSWORD" \
  -key contact "$SIP_IP:$INBOX_PORT" -key expires 120
check "call to $PEER answered, peer hangs up" \
  sipp_run call test_call.xml -s "$ACCOUNT" -au "$ACCOUNT" -ap "$PASSWORD" \
  -mi "$SIP_IP" -mp 37000 -key callee "$PEER"
check "call to $BUSY is busy (486)" \
  sipp_run busy test_busy.xml -s "$ACCOUNT" -au "$ACCOUNT" -ap "$PASSWORD" \
  -mi "$SIP_IP" -mp 37010 -key callee "$BUSY"
check "message to the peer accepted after proxy authentication" \
  sipp_run message test_message.xml -s "$ACCOUNT" -au "$ACCOUNT" -ap "$PASSWORD" \
  -key peer "$PEER" -key text "你好"
check "a message from the second account reaches the first" \
  sipp_run subscriber test_message.xml -s 13900139000 -au 13900139000 -ap 654321 \
  -key peer "$ACCOUNT" -key text "从另一个帐号"
check "send_message.sh delivers to the registered account" \
  run_bounded "$TOOLS/send_message.sh" "$ACCOUNT" "测试短信 Ravelo"
check "call_client.sh rings the registered account, answered" \
  run_bounded "$TOOLS/call_client.sh" "$ACCOUNT" 1

wait "$inbox_pid"
inbox_rc=$?
inbox_pid=
check "inbox got both messages and the call" test "$inbox_rc" -eq 0
check "the peer's echo came from sip:86$PEER" grep -aq "^From: <sip:86$PEER@" "$RUNDIR/test_inbox.log"
check "the echo carries the text back" grep -aq "已收到：你好" "$RUNDIR/test_inbox.log"
check "the sent text arrived unchanged" grep -aq "^测试短信 Ravelo" "$RUNDIR/test_inbox.log"
check "a subscriber's message comes from sip:86 + its number" \
  grep -aq "^From: <sip:8613900139000@$SIP_DOMAIN>" "$RUNDIR/test_inbox.log"

check "unregistration accepted" \
  sipp_run unregister test_register.xml -s "$ACCOUNT" -au "$ACCOUNT" -ap "$PASSWORD" \
  -key contact "$SIP_IP:$INBOX_PORT" -key expires 0
check "send_message.sh fails once the account is gone" \
  run_bounded bash -c '! "$1" "$2" "again" 2>/dev/null' _ "$TOOLS/send_message.sh" "$ACCOUNT"
check "call_client.sh reports an unregistered account as not answered" \
  run_bounded bash -c '"$1" "$2" 1 2>&1 | grep -q "480"' _ "$TOOLS/call_client.sh" "$ACCOUNT"

"$TOOLS/standin.sh" stop >/dev/null 2>&1
check "everything stopped" bash -c '! "$1" status >/dev/null' _ "$TOOLS/standin.sh"

if [ $failures -eq 0 ]; then
  echo "selftest: all checks passed"
  exit 0
fi
echo "selftest: $failures check(s) failed; logs in $RUNDIR"
exit 1
