#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A tampered service page on a desktop (openbox, tint2): its script asks for
# new windows by itself while the pointer rests on a call link, a bridge-call
# link and a plain link, and it adds links of a scheme of its own and to a
# file. Nothing may follow: no call at the peer, no bridge-call order at the
# web server, nothing at the desktop's opener (a recording xdg-open first on
# PATH). The user's own clicks still work. Usage: hostile_page.sh BUILD_DIR
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: hostile_page.sh BUILD_DIR}" && pwd)
export BUILD_DIR DESKTOP_NAME=hostile_page
source "$(dirname "$0")/../../scripts/lib/desktop.sh"

export HOLD_MS=30000 PAGE_SCRIPT=$ROOT/tests/desktop/hostile_page.js
opened=$DESK/opened.log
mkdir -p "$DESK/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$opened" >"$DESK/bin/xdg-open"
chmod +x "$DESK/bin/xdg-open"
export PATH=$DESK/bin:$PATH
desktop_session 1

box_is() { [ "$(UI_WINDOW="RaveloZent 1.3 [13800138000]" ui text text "*")" = "$1" ]; }
# The page script's rounds so far, as the web server saw them.
rounds() { grep -c "f=round&n=" "$RUNDIR/web.log"; }
_rounds_reach() { [ "$(rounds)" -ge "$1" ]; }
# Waits until the script has asked for its windows three more times.
three_rounds() { poll 20 _rounds_reach $(($(rounds) + 3)); }
# Nothing at the opener; what came is shown.
nothing_opened() { [ ! -s "$opened" ] || { sed 's/^/opened: /' "$opened" >&2 && false; }; }
no_call() { ! peer_received "^INVITE "; }
no_question() { ! dialog_shows "将要为您"; }
no_order() { ! grep -q "make_call.php" "$RUNDIR/web.log"; }
opened_has() { grep -F -- "$1" "$opened" >/dev/null 2>&1; }
logged_once() { poll 10 logged "$1" && [ "$(log_count "$1")" -eq 1 ]; }
dropped="网页自行打开新窗口，已忽略："

check "an automatic login registers" poll 60 logged "登录成功"
poll 15 main_hidden
tray_click 1
check "the tray's left click shows the main window" poll 10 main_shown
status_shows 10 空闲待机
check "the page's script runs" three_rounds

hover_ui link IP直拨
check "the pointer on a call link fills the number box" poll 5 box_is 10086110001
three_rounds
check "the script's window of an IP-call link places no call" no_call
check "it is logged once, with the address" \
  logged_once "${dropped}http://127.0.0.1:8080/user/ip_call.php?x=1&n=10086110001"

# Each case from an idle line, whatever the one before left.
idle_again() { status_is 空闲待机 || { click_button "挂 断" && status_shows 10 空闲待机; }; }
no_question_left() { ! dialog_shows "将要为您" || click_button "$NO"; }

idle_again
hover_ui link 桥接通话
three_rounds
check "the script's window of a bridge-call link asks nothing" no_question
check "and orders no bridge call" no_order
no_question_left

hover_ui link 推荐好友注册
three_rounds
check "the script's windows of a file, its own scheme and a web page reach no opener" nothing_opened
check "the scheme is logged once" logged_once "${dropped}ravelo-test-scheme:payload"

# The user's own clicks on links the page added: other schemes stay here.
click_ui link 自定义协议
click_ui link 自定义新窗口
click_ui link 本机文件
check "a clicked link of the page's own scheme in a new window is dropped" \
  poll 10 logged "网页要打开的地址不是网页，已忽略：ravelo-test-scheme:blank"
three_rounds
check "clicked links of another scheme or to a file reach no opener" nothing_opened
picture after-clicks

# The user's clicks on the service's links work as before.
click_ui link 推荐好友注册
check "a clicked plain link opens in the user's browser" poll 10 opened_has "/user_reg.php?op=regist&f=client"
hover_ui link IP直拨
poll 5 box_is 10086110001
click_ui link IP直拨
check "a clicked call link places the call" poll 15 peer_received "^INVITE sip:10086110001@"
check "the status shows the call" status_shows 15 "拨打通话中..."
click_button "挂 断"
check "it hangs up" status_shows 10 空闲待机
check "only the user's click reached the opener" test "$(wc -l <"$opened")" -eq 1
cat "$opened" >&2

desktop_finish
