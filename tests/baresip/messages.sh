#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Text messages between the client (13800138000, the real binary on a
# desktop) and baresip (13900139000), both ways, Chinese and ASCII: each side
# receives exactly what the other sent, the client in the window of the
# sender's number, baresip from the sender as the service presents it.
# Usage: messages.sh BUILD_DIR
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: messages.sh BUILD_DIR}" && pwd)
export BUILD_DIR DESKTOP_NAME=baresip_messages
source "$(dirname "$0")/../../scripts/lib/desktop.sh"
source "$(dirname "$0")/peer.sh"

# shellcheck disable=SC2119  # the session takes no argument here: AutoLogin off
baresip_session || { echo "FAIL the desktop did not start"; exit 1; }
check "the client logs in" poll 60 logged "登录成功"
check "baresip registers" baresip_start

caption="(13900139000)"
chat_shown() { viewable "$(window_named "$caption")"; }
# The conversation: a peer's text is the line after "13900139000 说：", set
# off by a blank; a line of the user's own is the line after "我说...".
history() { UI_WINDOW=$caption ui text text:readonly "*" 2>/dev/null; }
history_line() { history | grep -x -F -- "$1" >/dev/null; }
logged_text() { log_text | grep -F -- "$1" >/dev/null; }
input_is() { [ "$(UI_WINDOW=$caption ui text text:editable "*" 2>/dev/null)" = "$1" ]; }
# baresip prints a message as: sender: "text"
baresip_got() { _baresip_lines | grep -a -x -F -- "sip:8613800138000@127.0.0.1: \"$1\"" >/dev/null; }

# --- baresip to the client ------------------------------------------------------
to_client=("你好 interop 1" "plain ASCII: a+b=c; 100% <ok> & 'quoted'" "第二条：中文，标点。")
for text in "${to_client[@]}"; do
  baresip_message "$text"
  check "the client shows baresip's message whole: $text" poll 15 history_line " $text"
  # The client writes its log out every 5 s.
  check "... logged from 13900139000" poll 15 logged_text "ReceiveMsg SIP短信，来自:13900139000 消息: $text"
done
check "the messages open the window of baresip's number" chat_shown
check "and no window of a number cut short" test -z "$(window_named "(900139000)")"
picture messages-in

# --- the client to baresip ------------------------------------------------------
read -r x y w h < <(UI_WINDOW=$caption ui find text:editable "*")
to_baresip=("收到，谢谢 42" "ASCII reply #2 (x=1)")
for text in "${to_baresip[@]}"; do
  click_at $((x + w / 2)) $((y + h / 2))
  # Characters without a key of their own are typed through a key the typing
  # tool maps for the moment; should one arrive before the remapping, type again.
  typed=1
  for _ in 1 2 3 4 5; do
    xdotool type --delay 40 "$text"
    poll 4 input_is "$text" && typed=0 && break
    xdotool key ctrl+a BackSpace
  done
  check "the reply is typed into the window: $text" test $typed = 0
  click_button 发信息
  check "baresip receives the client's message whole, from sip:86 + number: $text" poll 10 baresip_got "$text"
  check "... and the window shows it as sent" poll 5 history_line "$text"
done
check "baresip got each message once" \
  test "$(_baresip_lines | grep -a -c -F 'sip:8613800138000@127.0.0.1: "')" -eq "${#to_baresip[@]}"
picture messages-out

desktop_finish
