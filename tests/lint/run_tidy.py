#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""clang-tidy (checks in .clang-tidy) over the product's translation units.

  run_tidy.py BUILD_DIR [FILE...]

A unit found clean is remembered under BUILD_DIR/tidy-cache by the hash of
its preprocessed text, its command and .clang-tidy, so a run checks again
only what a change can have changed (a header included too). Exit 1 on any
finding.
"""
import concurrent.futures
import hashlib
import json
import os
import pathlib
import shlex
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
PRODUCT = ("app", "windows", "call", "net", "core", "platform", "engine")


def units(build, only):
    for entry in json.loads((build / "compile_commands.json").read_text()):
        path = pathlib.Path(entry["file"]).resolve()
        try:
            rel = path.relative_to(ROOT).as_posix()
        except ValueError:
            continue
        if rel.split("/")[0] in PRODUCT and (not only or rel in only):
            yield rel, entry


def key(entry, config):
    args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    out = []
    skip = False
    for a in args:
        if skip:
            skip = False
        elif a == "-o":
            skip = True
        else:
            out.append(a)
    pre = subprocess.run(out + ["-E", "-o", "-"], cwd=entry["directory"], capture_output=True)
    if pre.returncode != 0:
        return None
    h = hashlib.sha256(config)
    h.update(entry.get("command", "").encode())
    h.update(pre.stdout)
    return h.hexdigest()


def check(tidy, build, cache, config, rel, entry):
    k = key(entry, config)
    if k and (cache / k).exists():
        return rel, True, ""
    run = subprocess.run([tidy, "-p", str(build), "--quiet", str(ROOT / rel)], capture_output=True, text=True)
    # The findings themselves, without the notes and fix-its under them.
    said = "\n".join(line for line in run.stdout.splitlines() if ": warning:" in line or ": error:" in line)
    clean = run.returncode == 0 and not said
    if not clean and not said:
        said = (run.stdout + run.stderr).strip()[-2000:]
    if clean and k:
        (cache / k).touch()
    return rel, clean, said if not clean else ""


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = pathlib.Path(sys.argv[1]).resolve()
    only = {pathlib.Path(f).as_posix() for f in sys.argv[2:]}
    # It runs for minutes beside the suite's timed sessions: they go first,
    # and two units at a time take what they leave.
    os.nice(10)
    tidy = shutil.which("clang-tidy-14") or shutil.which("clang-tidy")
    if not tidy:
        sys.exit("clang-tidy not found (Debian: clang-tidy)")
    cache = build / "tidy-cache"
    cache.mkdir(exist_ok=True)
    config = (ROOT / ".clang-tidy").read_bytes()
    todo = sorted(units(build, only), key=lambda u: u[0])
    start = time.monotonic()
    jobs = int(os.environ.get("TIDY_JOBS", "2"))
    faults = 0
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for rel, clean, said in pool.map(lambda u: check(tidy, build, cache, config, *u), todo):
            if not clean:
                faults += 1
                print(f"FAIL clang-tidy {rel}\n{said}", flush=True)
    print(f"clang-tidy: {len(todo)} units, {faults} with findings, {time.monotonic() - start:.0f} s")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
