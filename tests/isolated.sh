#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test command in a network namespace of its own (loopback only), so
# tests that start the stand-in service on its fixed ports can run side by side.
# As root it also gets a PID namespace (with its own /proc): when the command
# ends, or ctest kills it at its time-out, everything it started ends with it
# (servers that detach from their parent included), since the kernel ends a
# PID namespace's processes when its first process goes.
# Needs root (CI and the test script run as root); otherwise the command runs
# as it is and such tests must not overlap (their ctest RESOURCE_LOCK).
#   tests/isolated.sh COMMAND [ARG...]
set -euo pipefail
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null &&
    unshare -n --pid --fork --kill-child --mount-proc true 2>/dev/null; then
    # The namespace's first process stays a shell that reaps the orphans
    # (a detached server that ends must not linger as a zombie that still
    # answers `kill -0`), and hands on the command's exit status. /tmp is
    # the namespace's own: process ids repeat between namespaces, and files
    # named after them (/tmp/...-$$) would be shared by tests side by side.
    exec unshare -n --pid --fork --kill-child --mount-proc \
        bash -c 'ip link set lo up && mount -t tmpfs -o mode=1777 tmpfs /tmp && { "$@" & wait $!; }' isolated "$@"
fi
exec "$@"
