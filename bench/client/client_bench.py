#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Client benchmarks (a program, not a test): the real client binary on a
virtual display (Xvfb, openbox, tint2's tray) against the local stand-in
service, AutoLogin on, side by side with its anchors in the same run.

  client_bench.py startup [rounds=10]
      start -> main window shown and start -> service page loaded, against a
      minimal Qt WebEngine window showing the same page (webview_min);
      start -> registered, against linphonec registering with the same
      Kamailio; resident memory with the page loaded (main process, and the
      browser processes together) against webview_min. Medians.
  client_bench.py idle [seconds=60]
      CPU of the client and its browser processes while logged in, hidden
      to the tray, with two message windows open; webview_min idle beside it.
  client_bench.py messages [count=1000]
      resident memory of the client as three peers' chat windows open and it
      receives `count` messages from them, then `count` more, against the
      text they hold.
  client_bench.py flood [count=1000]
      three peers' chat windows open, then the peers send `count` messages
      together at 100 a second: the time from the first sent until the last
      is shown in its window, against the time the senders took.

The client prints its milestones under the logging category
"ravelo.startup" (QT_LOGGING_RULES="ravelo.startup.info=true"); webview_min
and linphonec (through a preloaded probe) print theirs; all are taken from
the moment each program is started. The stand-in opens fixed ports, so run
this in a network namespace of its own, e.g.
  tests/isolated.sh python3 bench/client/client_bench.py startup
BUILD_DIR names the build (default: build/ beside bench/); it must have been
configured with -DRAVELO_BENCH=ON. Info.ini beside the client is replaced
for the run and put back afterwards.
"""
import datetime
import os
import platform
import pty
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(os.environ.get("BUILD_DIR", os.path.join(ROOT, "build")))
APP_DIR = os.path.join(BUILD, "app")
CLIENT = os.path.join(APP_DIR, "RaveloZent")
WEBVIEW_MIN = os.path.join(BUILD, "bench", "client", "webview_min")
TIMING_PROBE = os.path.join(BUILD, "bench", "engine", "linphonec_timing.so")
ACCOUNT, PASSWORD = "13800138000", "123456"
# linphonec registers the stand-in's second account, so that the client's
# account keeps only the client's own contact.
LC_ACCOUNT, LC_PASSWORD = "13900139000", "654321"
TICK = os.sysconf("SC_CLK_TCK")
SHOWN = re.compile(r"ravelo\.messages: message shown at ([0-9.]+) ms since the epoch")


def now_ms():
    return time.time() * 1000.0


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        mem_kb = int(f.readline().split()[1])
    return "%d x %s, %.0f GB, Linux %s" % (os.cpu_count(), model, mem_kb / 1048576, platform.release())


# --- processes -----------------------------------------------------------

def children_of():
    kids = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        kids.setdefault(ppid, []).append(int(name))
    return kids


def descendants(pid):
    kids, out, todo = children_of(), [], [pid]
    while todo:
        for k in kids.get(todo.pop(), []):
            out.append(k)
            todo.append(k)
    return out


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def cpu_ticks(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])  # utime + stime
    except (OSError, IndexError, ValueError):
        return 0


def tree_ticks(pid):
    return {p: cpu_ticks(p) for p in [pid] + descendants(pid)}


def stop_tree(proc, grace=10):
    """SIGTERM the program (the client ends its engine then), then anything left."""
    if proc.poll() is None:
        family = descendants(proc.pid)
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        for p in family:
            try:
                os.kill(p, signal.SIGKILL)
            except OSError:
                pass


class Milestones:
    """Reads a program's output and keeps the first time of each milestone."""

    def __init__(self, stream, pattern, echo=None):
        self.pattern = re.compile(pattern)
        self.seen = {}
        self.shown = []  # when each received message was shown (ravelo.messages)
        self.cond = threading.Condition()
        self.echo = echo
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for raw in iter(stream.readline, b""):
            line = raw.decode("utf-8", "replace")
            if self.echo:
                self.echo.write(line)
            m = SHOWN.search(line)
            if m:
                with self.cond:
                    self.shown.append(float(m.group(1)))
                    self.cond.notify_all()
                continue
            m = self.pattern.search(line)
            if m:
                with self.cond:
                    self.seen.setdefault(m.group(1), float(m.group(2)))
                    self.cond.notify_all()

    def wait(self, names, limit):
        end = time.time() + limit
        with self.cond:
            while not all(n in self.seen for n in names):
                left = end - time.time()
                if left <= 0:
                    return False
                self.cond.wait(left)
        return True


# --- the session: stand-in, display, Info.ini ------------------------------

class Session:
    def __init__(self):
        self.rundir = tempfile.mkdtemp(prefix="ravelo-client-bench.")
        self.procs = []
        self.ini = os.path.join(APP_DIR, "Info.ini")
        self.ini_backup = None
        self.env = dict(os.environ, RUNDIR=self.rundir)
        self.env.pop("QT_QPA_PLATFORM", None)
        if os.geteuid() == 0:
            self.env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
        self.out = open(os.path.join(self.rundir, "programs.log"), "w")

    def __enter__(self):
        for path in (CLIENT, WEBVIEW_MIN, TIMING_PROBE):
            if not os.path.exists(path):
                sys.exit("client_bench: %s is missing (build with -DRAVELO_BENCH=ON)" % path)
        subprocess.run(["bash", os.path.join(ROOT, "tools", "standin.sh"), "start"], env=self.env, check=True,
                       stdout=self.out, stderr=self.out)
        n = 90
        while os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            n += 1
        self.env["DISPLAY"] = ":%d" % n
        self.spawn(["Xvfb", ":%d" % n, "-screen", "0", "1366x768x24", "-nolisten", "tcp", "-noreset"])
        for _ in range(50):
            if os.path.exists("/tmp/.X11-unix/X%d" % n):
                break
            time.sleep(0.1)
        self.spawn(["openbox"])
        # The tests' panel: a task bar and a tray, no clock to redraw every second.
        self.spawn(["tint2", "-c", os.path.join(ROOT, "tests", "desktop", "tint2rc")])
        time.sleep(1.5)  # the tray is up before the client asks for it
        if os.path.exists(self.ini):
            self.ini_backup = self.ini + ".client-bench"
            shutil.copy2(self.ini, self.ini_backup)
        subprocess.run([os.path.join(BUILD, "tools", "ravelo_make_ini"), APP_DIR, ACCOUNT, PASSWORD, "1", "gmcc"],
                        check=True, stdout=self.out)
        return self

    def spawn(self, argv):
        p = subprocess.Popen(argv, env=self.env, stdout=self.out, stderr=self.out)
        self.procs.append(p)
        return p

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            stop_tree(p, grace=3)
        subprocess.run(["bash", os.path.join(ROOT, "tools", "standin.sh"), "stop"], env=self.env,
                       stdout=self.out, stderr=self.out)
        if self.ini_backup:
            shutil.move(self.ini_backup, self.ini)
        else:
            os.remove(self.ini)
        self.out.close()
        if exc[0] is None:
            shutil.rmtree(self.rundir, ignore_errors=True)
        else:
            print("client_bench: the programs' output is in %s" % self.rundir, file=sys.stderr)

    # -- the three programs --

    def client(self):
        env = dict(self.env, QT_LOGGING_RULES="ravelo.startup.info=true\nravelo.messages.info=true")
        t0 = now_ms()
        p = subprocess.Popen([CLIENT], cwd=APP_DIR, env=env, stdout=self.out, stderr=subprocess.PIPE)
        marks = Milestones(p.stderr, r"ravelo\.startup: (.+?) at ([0-9.]+) ms since the epoch", self.out)
        return p, t0, marks

    def webview(self, url):
        t0 = now_ms()
        p = subprocess.Popen([WEBVIEW_MIN, url], env=self.env, stdout=self.out, stderr=subprocess.PIPE)
        marks = Milestones(p.stderr, r"webview_min: (.+?) at ([0-9.]+) ms since the epoch", self.out)
        return p, t0, marks

    def linphonec_registered(self):
        """ms from start to registered, or None."""
        home = tempfile.mkdtemp(prefix="lc.", dir=self.rundir)
        os.makedirs(os.path.join(home, ".local", "share", "linphone"))
        with open(os.path.join(ROOT, "tools", "sip", "linphonec.rc.in")) as f:
            rc = f.read()
        for key, value in (("ACCOUNT", LC_ACCOUNT), ("PASSWORD", LC_PASSWORD), ("SIP_PORT", "5064"),
                           ("RTP_PORT", "7078")):
            rc = rc.replace("@%s@" % key, value)
        with open(os.path.join(home, "rc"), "w") as f:
            f.write(rc)
        notes = os.path.join(home, "timing")
        env = dict(self.env, HOME=home, LD_PRELOAD=TIMING_PROBE, LINPHONEC_TIMING_FILE=notes)
        master, slave = pty.openpty()
        t0 = now_ms()
        p = subprocess.Popen(["linphonec", "-c", os.path.join(home, "rc")], env=env, stdin=slave, stdout=slave,
                             stderr=slave, start_new_session=True)
        os.close(slave)
        drain = threading.Thread(target=lambda: _drain(master), daemon=True)
        drain.start()
        at = None
        for _ in range(1500):
            if os.path.exists(notes):
                with open(notes) as f:
                    for line in f:
                        if line.startswith("registered "):
                            at = float(line.split()[1])
                if at:
                    break
            time.sleep(0.01)
        try:
            os.write(master, b"quit\n")
        except OSError:
            pass
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
        os.close(master)
        return at - t0 if at else None


def _drain(fd):
    try:
        while os.read(fd, 4096):
            pass
    except OSError:
        pass


def service_page_url():
    """The client page address exactly as the client opened it (its daily log)."""
    log = os.path.join(APP_DIR, "log", "%s_%s.txt" % (ACCOUNT, datetime.date.today().strftime("%Y%m%d")))
    url = None
    with open(log, "rb") as f:
        for line in f:
            m = re.search(rb"(http://\S*action_client\.php\S*)", line)
            if m:
                url = m.group(1).decode("ascii", "replace")
    return url


def memory(pid):
    family = descendants(pid)
    return rss_kb(pid) / 1024.0, sum(rss_kb(p) for p in family) / 1024.0, len(family)


def header(what):
    print("client benchmark: %s; %s; %s" % (what, datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), machine()))
    print("load average before: %s" % load_average())


def row(label, ours, anchor, anchor_name, unit):
    fmt = ("%8.0f " if unit == "ms" else "%8.2f " if unit == "%%" else "%8.1f ") + unit
    o = fmt % ours if ours is not None else "%11s" % "-"
    a = fmt % anchor if anchor is not None else "%11s" % "-"
    ratio = "%.2f" % (ours / anchor) if ours and anchor else "-"
    print("%-40s %s   %s  %-12s  ratio %s" % (label, o, a, "(" + anchor_name + ")", ratio))


def med(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


# --- the benchmarks ----------------------------------------------------------

def startup(rounds, settle=5.0):
    header("start-up and memory with the page loaded, %d rounds, medians" % rounds)
    r = {k: [] for k in ("shown", "loaded", "registered", "main", "browser", "w_shown", "w_loaded", "w_main",
                         "w_browser", "lc")}
    steps = {}
    with Session() as s:
        url = None
        for i in range(rounds):
            p, t0, marks = s.client()
            if marks.wait(["main window shown", "service page loaded", "registered"], 60):
                r["shown"].append(marks.seen["main window shown"] - t0)
                r["loaded"].append(marks.seen["service page loaded"] - t0)
                r["registered"].append(marks.seen["registered"] - t0)
                for name, at in marks.seen.items():
                    steps.setdefault(name, []).append(at - t0)
                time.sleep(settle)
                main, browser, _ = memory(p.pid)
                r["main"].append(main)
                r["browser"].append(browser)
            else:
                print("round %d: the client did not reach %s" % (i + 1, sorted(marks.seen)), file=sys.stderr)
            stop_tree(p)
            url = url or service_page_url()
            p, t0, marks = s.webview(url)
            if marks.wait(["window shown", "page loaded"], 60):
                r["w_shown"].append(marks.seen["window shown"] - t0)
                r["w_loaded"].append(marks.seen["page loaded"] - t0)
                time.sleep(settle)
                main, browser, _ = memory(p.pid)
                r["w_main"].append(main)
                r["w_browser"].append(browser)
            stop_tree(p)
            r["lc"].append(s.linphonec_registered())
    print("load average after: %s" % load_average())
    print("%-40s %11s   %11s" % ("", "RaveloZent", "anchor"))
    row("start -> main window shown", med(r["shown"]), med(r["w_shown"]), "webview_min", "ms")
    row("start -> service page loaded", med(r["loaded"]), med(r["w_loaded"]), "webview_min", "ms")
    row("start -> registered (200 to REGISTER)", med(r["registered"]), med(r["lc"]), "linphonec", "ms")
    row("RSS, main process, page loaded", med(r["main"]), med(r["w_main"]), "webview_min", "MB")
    row("RSS, browser processes together", med(r["browser"]), med(r["w_browser"]), "webview_min", "MB")
    print("the client's milestones (ravelo.startup), median ms after start:")
    for name, at in sorted(steps.items(), key=lambda kv: med(kv[1])):
        print("  %-38s %8.0f ms" % (name, med(at)))


def idle(seconds, settle=5.0):
    header("idle CPU over %d s: logged in, hidden to the tray, two message windows open" % seconds)
    with Session() as s:
        p, t0, marks = s.client()
        ok = marks.wait(["registered", "service page loaded"], 60)
        for peer in ("10086110011", "10086110012"):
            subprocess.run(["bash", os.path.join(ROOT, "tools", "send_message.sh"), ACCOUNT, "你好", peer],
                           env=s.env, stdout=s.out, stderr=s.out)
        time.sleep(settle)  # hidden one second after start; the windows are up
        ours = measure_cpu(p.pid, seconds) if ok else (None, None)
        url = service_page_url()
        stop_tree(p)
        w, t0, marks = s.webview(url)
        marks.wait(["page loaded"], 60)
        time.sleep(settle)
        anchor = measure_cpu(w.pid, seconds)
        stop_tree(w)
    print("load average after: %s" % load_average())
    print("%-40s %11s   %11s" % ("", "RaveloZent", "anchor"))
    row("CPU, % of one core, main process", ours[0], anchor[0], "webview_min", "%%")
    row("CPU, % of one core, with browser processes", ours[1], anchor[1], "webview_min", "%%")


def measure_cpu(pid, seconds):
    """% of one core: the main process alone, and with its browser processes."""
    before = tree_ticks(pid)
    time.sleep(seconds)
    after = tree_ticks(pid)
    used = sum(t - before.get(p, 0) for p, t in after.items())
    main = after.get(pid, 0) - before.get(pid, 0)
    return 100.0 * main / TICK / seconds, 100.0 * used / TICK / seconds


def messages(count, peers=("10086110021", "10086110022", "10086110023"), settle=5.0):
    """One message per peer (their chat windows open), then two rounds of
    `count` messages, 10 a second from the peers together."""
    text = "Ravelo 消息测试，内存不应随消息增长。" * 2  # 108 bytes of UTF-8
    header("memory over 2 x %d received messages from %d peers, 10 a second" % (count, len(peers)))

    def send(s, per_peer):
        senders = [subprocess.Popen(
            ["sipp", "127.0.0.1:5060", "-sf", os.path.join(ROOT, "tools", "sip", "send_message.xml"), "-i",
             "127.0.0.1", "-p", str(5090 + i), "-m", str(per_peer), "-r", "10", "-rp", str(1000 * len(peers)),
             "-nostdin", "-key", "from", peer, "-key", "to", ACCOUNT, "-key", "domain", "127.0.0.1", "-key", "text",
             text], env=s.env, stdout=s.out, stderr=s.out) for i, peer in enumerate(peers)]
        for x in senders:
            x.wait()

    per_peer = count // len(peers)
    with Session() as s:
        p, t0, marks = s.client()
        if not marks.wait(["registered", "service page loaded"], 60):
            sys.exit("client_bench: the client did not log in")
        time.sleep(settle)
        points = [("logged in", rss_kb(p.pid) / 1024.0)]
        send(s, 1)
        time.sleep(settle)
        points.append(("%d chat windows open" % len(peers), rss_kb(p.pid) / 1024.0))
        for round_ in (1, 2):
            send(s, per_peer)
            # The stack keeps each answered request for 32 s (its retransmission guard).
            time.sleep(40)
            points.append(("+%d messages" % (round_ * per_peer * len(peers)), rss_kb(p.pid) / 1024.0))
        stop_tree(p)
    n = per_peer * len(peers)
    held = n * len(text.encode("utf-8")) / 1048576.0
    print("load average after: %s" % load_average())
    print("RSS of the client's main process (MB): %s" % ", ".join("%s %.1f" % pt for pt in points))
    print("opening the %d chat windows: %.1f MB" % (len(peers), points[1][1] - points[0][1]))
    for i in (1, 2):
        print("messages %d-%d (%.2f MB of text): growth %.1f MB, goal at most %.1f MB"
              % ((i - 1) * n + 1, i * n, held, points[i + 1][1] - points[i][1], held + 10))


def flood(count, peers=("10086110031", "10086110032", "10086110033"), rate=100):
    header("message flood: %d messages from %d peers, %d a second together" % (count, len(peers), rate))
    with Session() as s:
        p, t0, marks = s.client()
        if not marks.wait(["registered", "service page loaded"], 60):
            sys.exit("client_bench: the client did not log in")
        for peer in peers:
            subprocess.run(["bash", os.path.join(ROOT, "tools", "send_message.sh"), ACCOUNT, "你好", peer],
                           env=s.env, stdout=s.out, stderr=s.out)
        time.sleep(3)
        before = len(marks.shown)
        shares = [count // len(peers) + (1 if i < count % len(peers) else 0) for i in range(len(peers))]
        start = now_ms()
        senders = [subprocess.Popen(
            ["sipp", "127.0.0.1:5060", "-sf", os.path.join(ROOT, "tools", "sip", "send_message.xml"), "-i",
             "127.0.0.1", "-p", str(5090 + i), "-m", str(n), "-r", str(rate * n // count or 1), "-rp", "1000",
             "-l", "2000", "-nostdin", "-key", "from", peer, "-key", "to", ACCOUNT, "-key", "domain", "127.0.0.1",
             "-key", "text", "flood %d" % i], env=s.env, stdout=s.out, stderr=s.out)
            for i, (peer, n) in enumerate(zip(peers, shares))]
        for x in senders:
            x.wait()
        sent = now_ms() - start
        with marks.cond:
            marks.cond.wait_for(lambda: len(marks.shown) - before >= count, 120)
            shown = marks.shown[before:]
        stop_tree(p)
    print("load average after: %s" % load_average())
    print("messages shown: %d of %d" % (len(shown), count))
    print("%-40s %11s   %11s" % ("", "RaveloZent", "anchor"))
    row("first sent -> last of %d shown" % count, shown[-1] - start if len(shown) >= count else None, sent,
        "senders done", "ms")


def main():
    what = sys.argv[1] if len(sys.argv) > 1 else ""
    n = int(sys.argv[2]) if len(sys.argv) > 2 else None
    if what == "startup":
        startup(n or 10)
    elif what == "idle":
        idle(n or 60)
    elif what == "messages":
        messages(n or 1000)
    elif what == "flood":
        flood(n or 1000)
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
