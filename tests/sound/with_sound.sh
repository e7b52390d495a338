#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a private sound server (virtual speaker and microphone)
# and stops the server afterwards.   with_sound.sh COMMAND [ARG...]
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_start || exit 1
"$@"
