#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The client on a desktop (openbox, tint2): its tray icon, tip and menu, the
# main window's title bar and task bar, the login window cancelled in every
# way and accepted, and the exit command. Usage: tray_login_exit.sh BUILD_DIR
set -uo pipefail
MENU='' MENU_CURSOR=''
BUILD_DIR=$(cd "${1:?usage: tray_login_exit.sh BUILD_DIR}" && pwd)
export BUILD_DIR DESKTOP_NAME=tray_login_exit
source "$(dirname "$0")/../../scripts/lib/desktop.sh"

desktop_session 0

login_shown() { ui_has dialog 用户登录; }
login_gone() { ! login_shown; }
logins() { log_count "获取软交换节点"; }
taskbar_has_a_button() { ! taskbar_is_empty; }
no_exit_question() { ! dialog_shows "您确定退出"; }
logins_are() { [ "$(logins)" = "$1" ]; }
tip_reads() { [ "$(ui text "tool tip" "*" 2>/dev/null)" = "$1" ]; }
# Opens the login window from the main window's login button.
open_login() { click_button 用户登录 && poll 10 login_shown; }

# --- start: the tray holds the icon, the login window waits ---------------
check "the main window comes up" poll 60 main_shown
check "the login window comes up" poll 30 login_shown
tray_held() { [ -n "$(tray_icon)" ]; }
check "the tray host holds the icon" poll 10 tray_held
check "the icon shows the busy picture before login" poll 10 tray_shows busy
picture start

# Space accepts the stored account.
xdotool key space
check "Space logs in" poll 30 logged "登录成功"
check "the icon shows the free picture when idle" poll 10 tray_shows free
check "the status reads idle" poll 10 ui_has label " 空闲待机"

# The tip: hover the icon.
read -r tx ty < <(tray_spot)
xdotool mousemove $((tx - 60)) $((ty - 60)) sleep 0.3 mousemove "$tx" "$ty" sleep 0.3 mousemove $((tx + 1)) "$ty"
check "the tip names the product, the account and the right click" \
  poll 10 tip_reads "$(printf 'RaveloZent\n13800138000\n↙ 按右键显示界面')"
picture tray-tip

# --- the main window under the window manager ------------------------------
main=$(main_window)
actions=$(allowed_actions "$main")
check "the title bar offers close" grep -q _NET_WM_ACTION_CLOSE <<<"$actions"
check "the title bar offers no minimise and no maximise" \
  bash -c '! grep -q -E "_NET_WM_ACTION_(MINIMIZE|MAXIMIZE)" <<<"$1"' _ "$actions"
check "the task bar lists no button for the main window" taskbar_is_empty
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop 420x60+$((X + WIDTH - 400))+$((Y - 40)) "$PICTURES/title-bar.png" 2>/dev/null

# --- the tray menu ------------------------------------------------------------
tray_menu
items=$(printf '%s\n' "$MENU" | tail -n +2 | cut -f2 | paste -sd'|')
check "the menu holds its items in order" \
  test "$items" = "Ravelo帐号注册|显示面板|隐藏面板|刷新状态|查看日志||用户登录||退出Ravelo"
read -r mx my mw mh <<<"$(printf '%s\n' "$MENU" | head -1)"
read -r cx cy <<<"$MENU_CURSOR"
# Opened at the cursor: one of its corners within reach of the pointer (the
# menu moves inside the screen near its edges).
near_corner() {
  local x y
  for x in "$mx" $((mx + mw)); do
    for y in "$my" $((my + mh)); do
      [ $(((x - cx) * (x - cx) + (y - cy) * (y - cy))) -le 1024 ] && return 0
    done
  done
  return 1
}
check "the menu opens at the cursor" near_corner
picture tray-menu
menu_pick 隐藏面板
check "'隐藏面板' hides the main window" poll 10 main_hidden

# --- the login window: every way of cancelling starts no login -------------
tray_command 用户登录
check "the menu's '用户登录' opens the login window" poll 10 login_shown
xdotool key alt+F4
check "the window manager's close key closes it" poll 10 login_gone

tray_command 用户登录 && poll 10 login_shown
tray_click 1
check "the tray's left click closes the login window" poll 10 login_gone
check "the tray's left click shows the main window" poll 10 main_shown

open_login
wmctrl -i -c "$(window_named 用户登录)"
check "the window manager's close closes it" poll 10 login_gone

open_login
xdotool key Escape
check "Escape closes it" poll 10 login_gone

open_login
click_button 关闭
check "its close button closes it" poll 10 login_gone
check "no way of cancelling started a login" logins_are 1

# Dragging the background moves the window; '登录' logs in.
open_login
login=$(window_named 用户登录)
eval "$(xdotool getwindowgeometry --shell "$login")"
x0=$X y0=$Y
# Press on the background, move in steps (the window manager takes over the
# move once it has seen the press), release: 80 px right, 40 px down.
xdotool mousemove $((X + 60)) $((Y + 150)) mousedown 1 sleep 0.3
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove $((X + 60 + 10 * step)) $((Y + 150 + 5 * step)) sleep 0.1
done
xdotool sleep 0.3 mouseup 1
moved() {
  eval "$(xdotool getwindowgeometry --shell "$login")"
  [ $((X - x0)) -ge 40 ] && [ $((X - x0)) -le 100 ] && [ $((Y - y0)) -ge 20 ] && [ $((Y - y0)) -le 60 ]
}
check "the login window can be dragged" poll 15 moved
click_button 登录
check "'登录' logs in" poll 30 logins_are 2
check "the login window closes on acceptance" poll 10 login_gone

# --- exit: No keeps the client, Yes ends it through the exit steps ----------
tray_command 退出Ravelo
check "'退出Ravelo' asks first" poll 10 dialog_shows "^系统提示\|您确定退出Ravelo吗？\|"
check "the task bar lists the question (a button is seen)" taskbar_has_a_button
picture exit-question
click_button "$NO"
check "No closes the question" poll 10 no_exit_question
check "No hides the main window" poll 10 main_hidden
check "No keeps the client running" _alive "$CLIENT_PID"

# A log line still in memory when the user exits must reach the file: a
# message logs one; the exit follows before the 5-second flush (tried again
# should the flush come first).
for try in 1 2 3; do
  bash "$ROOT/tools/send_message.sh" 13800138000 "退出前的消息$try" >>"$DESK/standin.out" 2>&1
  poll 10 ui_has filler "(10086110001)"
  logged "退出前的消息$try" || break
done
tray_command 退出Ravelo && poll 10 dialog_shows "您确定退出Ravelo吗？" && click_button "$YES"
check "Yes ends the client" poll 20 client_ended
check "the log holds the last lines" logged "退出前的消息$try"
check "the engine unregistered (the registrar answers 480)" registrar_forgot

desktop_finish
