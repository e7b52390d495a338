#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lints the scripts: every shell script through shellcheck, or every Python
# one through pyflakes (build folders left out).
#   scripts_lint.sh shell|python
set -euo pipefail
cd "$(dirname "$0")/../.."
files() {
  find . \( -path './build*' -o -path './.git' \) -prune -o -type f "$@" -print | sort
}
case "${1:-}" in
  shell)
    mapfile -t list < <(files \( -name '*.sh' -o -path ./.ci/run \))
    shellcheck -f gcc "${list[@]}"
    ;;
  python)
    mapfile -t list < <(files -name '*.py')
    pyflakes3 "${list[@]}"
    ;;
  *) echo "usage: $0 shell|python" >&2; exit 2 ;;
esac
echo "${1}: ${#list[@]} files clean"
