#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the programs that bench/peers/peers_bench.py compares the client
# with, and what they need to run unattended (a session bus, a sound
# server, xdotool to minimise their windows). Benchmark only: the tests
# never need these.
set -eu
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  linphone-desktop twinkle baresip linphone-cli dbus pulseaudio libasound2-plugins xdotool \
  xvfb openbox tint2
