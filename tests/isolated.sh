#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test command in a network namespace of its own (loopback only), so
# tests that start the stand-in service on its fixed ports can run side by side.
# Needs root (CI and the test script run as root); otherwise the command runs
# as it is and such tests must not overlap (their ctest RESOURCE_LOCK).
#   tests/isolated.sh COMMAND [ARG...]
set -euo pipefail
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && unshare -n true 2>/dev/null; then
    exec unshare -n bash -c 'ip link set lo up && exec "$@"' isolated "$@"
fi
exec "$@"
