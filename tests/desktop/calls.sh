#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Calls on a desktop (openbox, tint2): the number box and 'IP直拨', the dial
# pad during a call, hanging up and the call timer, the call links of the
# service's page, and incoming calls answered, refused and given up by the
# caller. Observed on the screen, in the sound, at the stand-in's peer and
# web server. Usage: calls.sh BUILD_DIR
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: calls.sh BUILD_DIR}" && pwd)
export BUILD_DIR DESKTOP_NAME=calls
source "$(dirname "$0")/../../scripts/lib/desktop.sh"

export HOLD_MS=30000  # the peer keeps answered calls; the tests hang up
export QT_LOGGING_RULES="ravelo.startup.info=true"  # the client's start-up steps, on its stderr
desktop_session 1

placeholder=输入要拨的号码
# The number box: the main window's only text box.
box_is() { [ "$(UI_WINDOW="RaveloZent 1.3 [13800138000]" ui text text "*")" = "$1" ]; }
click_box() { click_ui "combo box" "*"; }
no_question() { ! dialog_shows "来电号码"; }
silent() { ! sound_heard "$1"; }
hang_up() { click_button "挂 断" && status_shows 10 空闲待机; }

check "an automatic login registers" poll 60 logged "登录成功"
# The automatic login registers as the program starts, before the windows
# exist; what it logs still comes where the login that the user sees
# reaches it, and the engine's answer after that.
startup_lines=("^$" "^正在启动Ravelo\.\.\.$" "^屏幕分辨率：" "^Ravelo像素：" "^用户上网类型：gmcc$" "^网络状态:"
  "^Widget 获取软交换节点：" "^获取软交换地址：" "^正在登录,用户\[13800138000\]$" "^语音编码优先级："
  "^登录到主控页面" "^登录成功!$")
startup_in_order() { log_text | tr -d "\r" | cut -f2- | in_order "${startup_lines[@]}"; }
check "the start-up and the login log their lines in their order" poll 10 startup_in_order
check "the automatic login registered as the program started" \
  in_order "main entered" "early discovery answered" "early registration asked" "registered" <"$DESK/client.out"
check "the login the user sees registered no second time" bash -c '! grep -q "startup: registration asked at" "$1"' _ "$DESK/client.out"
check "an automatic login hides the main window" poll 15 main_hidden
tray_click 1
check "the tray's left click shows the main window" poll 10 main_shown
status_shows 10 空闲待机

# --- the number box and 'IP直拨' ---------------------------------------------
check "the number box shows its placeholder" box_is "$placeholder"
click_box
check "a click into the box removes the placeholder" poll 15 box_is ""
xdotool type --delay 40 10086110002
check "typed digits stand alone in the box" box_is 10086110002
click_button IP直拨
check "'IP直拨' calls: the peer gets the call" poll 15 peer_received "^INVITE sip:10086110002@"
check "the status shows the call" status_shows 15 "拨打通话中..."
check "the icon shows the busy picture during a call" poll 15 tray_shows busy

# --- the dial pad during the call ---------------------------------------------
keys() { local k; for k in 1 2 "#"; do click_button "$k"; sleep 0.3; done; }
check "dial-pad keys play their tones" heard_while 3 keys
check "the peer receives the digits (SIP INFO)" \
  poll 10 bash -c 'for d in 1 2 "#"; do grep -a -q "^Signal=$d" "$1" || exit 1; done' _ "$RUNDIR/peer_messages.log"
check "the call timer counts in panel 0" poll 10 ui_has label "~^本次通话0分[1-9][0-9]*秒$"
picture in-call

# --- hanging up ---------------------------------------------------------------
click_button "挂 断"
check "'挂 断' hangs up: the peer gets the BYE" poll 10 peer_received "^BYE "
check "the status returns to idle" status_shows 10 空闲待机
check "panel 0 keeps the call's duration" ui_has label "~^本次通话0分[0-9]+秒$"
check "the icon shows the free picture again" poll 15 tray_shows free

# --- leaving the number box ---------------------------------------------------
click_box
xdotool key ctrl+a BackSpace
click_ui heading 我的帐户  # somewhere else: the page
check "an empty box left by a click elsewhere shows the placeholder" poll 15 box_is "$placeholder"
click_box
xdotool type "   "
click_ui heading 我的帐户
check "blanks only stay" poll 15 box_is "   "
# Backwards to the line-type buttons and forwards again (forwards from the
# box the page takes the focus, and a focused link fills the box).
click_box
xdotool key ctrl+a BackSpace shift+Tab
check "an empty box left with Tab shows the placeholder" poll 15 box_is "$placeholder"
xdotool key Tab
check "tabbing into the box removes the placeholder" poll 15 box_is ""

# --- the service page's call links --------------------------------------------
hover_ui link IP直拨
check "hovering a call link fills the number box" poll 15 box_is 10086110001
click_ui link IP直拨
check "clicking it places the call" poll 15 peer_received "^INVITE sip:10086110001@"
check "the status shows the linked call" status_shows 15 "拨打通话中..."
hang_up
hover_ui link 桥接通话
poll 15 box_is 10086110001
click_ui link 桥接通话
check "a bridge-call link asks first" poll 10 dialog_shows "将要为您 13800138000 和 10086110001 创建通话。"
click_button "$YES"
check "the bridge call is ordered at the web server" \
  poll 10 grep -q "make_call.php?.*Called=10086110001&Call_Key=bridgecall" "$RUNDIR/web.log"
check "the service's answer is shown" poll 10 dialog_shows "呼叫已建立"
click_button "$OK"

# --- incoming calls -----------------------------------------------------------
question="^系统提示\|来电号码：sip:8610086110001@127.0.0.1\\\\n\\\\n接听吗？\|"
speaker_record
# The caller talks 12 s: long enough for a loaded machine's status to be read
# before its hang-up.
bash "$ROOT/tools/call_client.sh" 13800138000 12 >"$DESK/answered.out" 2>&1 &
caller=$!
check "an incoming call asks" poll 15 dialog_shows "$question"
picture incoming-question
# The ring is 1 s of tone and 2 s of pause: heard a second time, it loops.
check "the ring loops while the question waits" poll 15 ring_looped
speaker_record_stop
click_button "$YES"
check "Yes answers: the status shows the call" status_shows 12 "接听通话中..."
wait "$caller"
answered=$?
check "Yes answers: the caller sees 200" test "$answered" -eq 0
check "the caller's hang-up returns to idle" status_shows 10 空闲待机

bash "$ROOT/tools/call_client.sh" 13800138000 >"$DESK/refused.out" 2>&1 &
caller=$!
poll 15 dialog_shows "$question"
click_button "$NO"
wait "$caller"
check "No refuses: the caller sees a final refusal" grep -q -E "not answered: SIP/2.0 (603|486)" "$DESK/refused.out"
check "No leaves no question" poll 15 no_question

# It rings 5 s before the caller gives up: the question is seen first.
CANCEL_AFTER_MS=5000 bash "$ROOT/tools/call_client.sh" 13800138000 >"$DESK/cancelled.out" 2>&1 &
caller=$!
check "a call given up first asks" poll 15 dialog_shows "$question"
wait "$caller"
check "the caller gave up (487)" grep -q "SIP/2.0 487" "$DESK/cancelled.out"
check "no question is left behind when the caller gives up" poll 15 no_question
# The ring is 1 s of tone and 2 s of pause, so 3 s of silence prove it gone
# (once the hang-up sound that ended it has played).
check "no ring is left behind" poll 12 silent 3.5
check "the status returns to idle after the caller gives up" status_shows 15 空闲待机

desktop_finish
