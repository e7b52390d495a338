#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The client beside the softphones a Linux user would pick instead (a
program, not a test): RaveloZent, linphone-desktop, twinkle, baresip and
linphonec each register the demo account with the stand-in's Kamailio, the
GUIs on Xvfb with openbox and tint2, one program at a time, in the same run.

  peers_bench.py [seconds=60] [rounds=5] [programs=all]

For each program, whole process trees:
  - start -> 200 to the authenticated REGISTER, median of `rounds` starts:
    the 200 is seen on the loopback interface (a packet socket), so every
    program is timed the same way, from the moment it is started;
  - then, `seconds` idle after registration, the window hidden or minimised
    (the client: hidden to the tray, two message windows open):
      wake-ups a second: voluntary context switches of every thread of every
      process of the tree (each one is a thread going to sleep, to be woken
      again), from /proc/PID/task/TID/status;
      CPU: run time of every thread (/proc/PID/task/TID/schedstat), % of a core;
      PSS of the tree at the end (/proc/PID/smaps_rollup), MB, and its
      pages counted once (/proc/PID/pagemap): its PSS on a machine that runs
      nothing else of the same libraries;
    and the threads that woke most.

Install the other programs first: bash bench/peers/setup.sh (apt-get).
Run inside a network namespace of its own, as root (the packet socket):
  tests/isolated.sh python3 bench/peers/peers_bench.py
programs is a comma-separated subset of: client,linphone-desktop,twinkle,
baresip,linphonec.
"""
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "client"))
import client_bench as cb  # noqa: E402  (the client's session: stand-in, display, Info.ini)

ACCOUNT, PASSWORD, DOMAIN = cb.ACCOUNT, cb.PASSWORD, "127.0.0.1"
ORDER = ["client", "linphone-desktop", "twinkle", "baresip", "linphonec"]
NAMES = {"client": "RaveloZent", "linphone-desktop": "linphone-desktop", "twinkle": "twinkle",
         "baresip": "baresip", "linphonec": "linphonec"}
# Each its own SIP port: 5060 is the stand-in's, and a program left over
# from a round must not answer for the next one.
PORTS = {"linphone-desktop": 5066, "twinkle": 5068, "baresip": 5062, "linphonec": 5064}


# --- what the registrar answers, seen on the wire ------------------------

class RegisterWatch:
    """Every 200 to a REGISTER that the registrar (port 5060) sends on lo."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(0x0003))
        self.sock.bind(("lo", 0))
        self.seen = []  # (ms since the epoch, the port it went to)
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        cseq = re.compile(rb"\r\nCSeq:\s*\d+\s+REGISTER\r\n", re.I)
        while True:
            data, addr = self.sock.recvfrom(65535)
            t = cb.now_ms()
            if addr[2] == socket.PACKET_OUTGOING or len(data) < 28 or data[0] >> 4 != 4 or data[9] != 17:
                continue  # each loopback packet once; IPv4 UDP only
            ihl = (data[0] & 15) * 4
            sport, dport = struct.unpack("!HH", data[ihl:ihl + 4])
            body = data[ihl + 8:]
            if sport == 5060 and body.startswith(b"SIP/2.0 200") and cseq.search(body):
                with self.cond:
                    self.seen.append((t, dport))
                    self.cond.notify_all()

    def first_after(self, t0, port, limit):
        """The first 200 after t0 to `port` (None: to a port of none of the
        others, the client's being chosen at random)."""
        def mine(d):
            return d == port if port else d not in PORTS.values()
        with self.cond:
            self.cond.wait_for(lambda: any(t > t0 and mine(d) for t, d in self.seen), limit)
            later = [t for t, d in self.seen if t > t0 and mine(d)]
        return later[0] if later else None


# --- the tree's figures ----------------------------------------------------

def _read(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""


def threads(pid):
    """{(pid, tid): (name, voluntary switches, run time in ns)} of the tree."""
    out = {}
    for p in [pid] + cb.descendants(pid):
        pname = _read("/proc/%d/comm" % p).strip()
        try:
            tids = os.listdir("/proc/%d/task" % p)
        except OSError:
            continue
        for tid in tids:
            base = "/proc/%d/task/%s/" % (p, tid)
            m = re.search(r"^voluntary_ctxt_switches:\s*(\d+)", _read(base + "status"), re.M)
            run = _read(base + "schedstat").split()
            if m and run:
                out[(p, int(tid))] = ("%s/%s" % (pname, _read(base + "comm").strip()), int(m.group(1)), int(run[0]))
    return out


def per_process(pid):
    """'name PSS/USS' of each process of the tree, MB."""
    out = []
    for p in [pid] + cb.descendants(pid):
        text = _read("/proc/%d/smaps_rollup" % p)
        kb = {f: int(m.group(1)) for f, m in ((f, re.search(r"^%s:\s*(\d+) kB" % f, text, re.M))
                                              for f in ("Pss", "Private_Clean", "Private_Dirty")) if m}
        if kb:
            out.append("%s %.1f/%.1f" % (_read("/proc/%d/comm" % p).strip(), kb.get("Pss", 0) / 1024.0,
                                         (kb.get("Private_Clean", 0) + kb.get("Private_Dirty", 0)) / 1024.0))
    return ", ".join(out)


def frames_by_mapping(pid):
    """The physical pages that the process maps, as frame numbers
    (/proc/PID/pagemap, readable as root), by the file each mapping shows
    ("" for anonymous memory: heaps, stacks), over mappings that hold any."""
    out = {}
    try:
        maps = open("/proc/%d/smaps" % pid).read()
        pagemap = open("/proc/%d/pagemap" % pid, "rb")
    except OSError:
        return out
    with pagemap:
        for m in re.finditer(r"^([0-9a-f]+)-([0-9a-f]+) \S+ \S+ \S+ \S+ *(.*?)\n.*?^Rss:\s*(\d+) kB", maps, re.M | re.S):
            if m.group(4) == "0":
                continue
            start, end = int(m.group(1), 16) // 4096, int(m.group(2), 16) // 4096
            name = m.group(3).strip()
            if not name.startswith("/") or name.startswith(("/memfd:", "/dev/", "/SYSV")):
                name = ""
            pagemap.seek(start * 8)
            data = pagemap.read((end - start) * 8)
            frames = out.setdefault(name, set())
            for (entry,) in struct.iter_unpack("<Q", data):
                if entry >> 63:
                    frames.add(entry & ((1 << 55) - 1))
    return out


def resident_frames(pid):
    frames = set()
    for f in frames_by_mapping(pid).values():
        frames |= f
    return frames


def _libraries(path):
    """The shared libraries that `path` loads (ldd), by their real paths."""
    out = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
    return {os.path.realpath(m.group(1)) for m in re.finditer(r"=> (/\S+)", out)}


def client_parts(pid):
    """The client's pages counted once, MB, by what holds them: the browser
    engine's own files (its library, helper program and resources); the
    browser's processes' own memory (renderer, zygote); the softphone
    engine's libraries (liblinphone and the libraries only it loads); fonts;
    the main process's anonymous memory (the heaps and stacks of the toolkit,
    the browser's side in it and the engine together); the toolkit and the
    system libraries that all of them share."""
    engine_lib = os.path.join(cb.BUILD, "engine", "libzent_softphone.so")
    client_libs = _libraries(cb.CLIENT)
    qt = set()
    for lib in client_libs:
        if os.path.basename(lib).startswith(("libQt6WebEngineWidgets", "libQt6Multimedia")):
            qt |= _libraries(lib) | {lib}
    engine = (_libraries(engine_lib) - qt) | {os.path.realpath(engine_lib)}
    parts = {}
    for p in [pid] + cb.descendants(pid):
        browser_process = _read("/proc/%d/comm" % p).strip().startswith("QtWebEngine")
        for name, frames in frames_by_mapping(p).items():
            real = os.path.realpath(name) if name else ""
            if "webengine" in name.lower() or name.endswith("icudtl.dat"):
                part = "browser files"
            elif not name:
                part = "browser processes' own" if browser_process else "main process heap and stacks"
            elif real in engine:
                part = "softphone engine libraries"
            elif name.startswith("/usr/share/fonts"):
                part = "fonts"
            else:
                part = "toolkit and system libraries"
            for f in frames:
                parts.setdefault(f, part)
    mb = {}
    for part in parts.values():
        mb[part] = mb.get(part, 0) + 4096 / 1048576.0
    return mb


def alone_mb(pid):
    """The tree's pages counted once each: what it would hold on a machine
    running nothing else of the same libraries (its PSS there), MB."""
    frames = set()
    for p in [pid] + cb.descendants(pid):
        frames |= resident_frames(p)
    return len(frames) * 4096 / 1048576.0


def memory_mb(pid):
    """PSS and USS (private pages) of the tree, and its pages counted once,
    MB. PSS shares each page among every process that maps it, other users'
    programs included: on a shared machine it falls as others run the same
    libraries; USS and the pages counted once do not."""
    pss = uss = 0
    for p in [pid] + cb.descendants(pid):
        text = _read("/proc/%d/smaps_rollup" % p)
        for field in ("Pss", "Private_Clean", "Private_Dirty"):
            m = re.search(r"^%s:\s*(\d+) kB" % field, text, re.M)
            n = int(m.group(1)) if m else 0
            if field == "Pss":
                pss += n
            else:
                uss += n
    return pss / 1024.0, uss / 1024.0, alone_mb(pid)


def idle_figures(pid, seconds):
    """wake-ups a second, % of a core, (PSS, USS) in MB, and the busiest threads."""
    before = threads(pid)
    time.sleep(seconds)
    after = threads(pid)
    per = {}
    wakes = run = 0
    for key, (name, vol, ns) in after.items():
        _, vol0, ns0 = before.get(key, (name, 0, 0))
        wakes += vol - vol0
        run += ns - ns0
        per[name] = per.get(name, 0) + vol - vol0
    busiest = sorted(((n / seconds, name) for name, n in per.items() if n), reverse=True)[:6]
    return wakes / seconds, 100.0 * run / 1e9 / seconds, memory_mb(pid), busiest


# --- the programs ------------------------------------------------------------

class Peers(cb.Session):
    """The client's session, plus what the other programs need to run
    unattended: a session bus (linphone-desktop quits without one) and a
    sound server (twinkle stops at a modal dialog without one)."""

    def __enter__(self):
        run = os.path.join(self.rundir, "run")
        os.makedirs(run, mode=0o700)
        self.env.update(XDG_RUNTIME_DIR=run, DBUS_SESSION_BUS_ADDRESS="unix:path=%s/bus" % run,
                        PULSE_SERVER="unix:%s/sound" % run)
        self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                    "--address=" + self.env["DBUS_SESSION_BUS_ADDRESS"]])
        # Its own home: nothing of the user's sound set-up is read or changed.
        self.procs.append(subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=%s/sound" % run,
             "--load=module-null-sink sink_name=spk", "--load=module-null-sink sink_name=mic"],
            env=dict(self.env, HOME=run, XDG_CONFIG_HOME=run), stdout=self.out, stderr=self.out))
        for _ in range(100):
            if os.path.exists(run + "/bus") and os.path.exists(run + "/sound"):
                break
            time.sleep(0.1)
        return super().__enter__()

    def home(self, name):
        """A fresh home for one start: nothing carries over between rounds."""
        h = tempfile.mkdtemp(prefix=name + ".", dir=self.rundir)
        for d in ("config", "data", "cache"):
            os.makedirs(os.path.join(h, d))
        # ALSA's default device is the private sound server.
        write(h + "/.asoundrc", "pcm.!default { type pulse }\nctl.!default { type pulse }\n")
        return h

    def start(self, name):
        """(process, t0) of one start of `name`, configured to register the demo account."""
        if name == "client":
            p, t0, _ = self.client()
            return p, t0
        h = self.home(name)
        env = dict(self.env, HOME=h, XDG_CONFIG_HOME=h + "/config", XDG_DATA_HOME=h + "/data",
                   XDG_CACHE_HOME=h + "/cache")
        argv, stdin = CONFIGURE[name](h, PORTS[name]), subprocess.DEVNULL
        if name == "linphonec":
            master, slave = os.openpty()  # it reads its commands from a terminal
            stdin = slave
        t0 = cb.now_ms()
        p = subprocess.Popen(argv, env=env, cwd=h, stdin=stdin, stdout=self.out, stderr=self.out,
                             start_new_session=True)
        if name == "linphonec":
            os.close(slave)
            threading.Thread(target=cb._drain, args=(master,), daemon=True).start()
        return p, t0

    def visible_windows(self, p):
        return len(subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(p.pid)], env=self.env,
                                  capture_output=True, text=True).stdout.split())

    def hide(self, name, p):
        """The window out of sight: minimised, or hidden by the program itself."""
        if name in ("client", "baresip", "linphonec"):
            return  # the client hides itself to the tray after AutoLogin; the others have no window
        for _ in range(50):
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(p.pid)], env=self.env,
                                   capture_output=True, text=True).stdout.split()
            if found:
                for w in found:
                    subprocess.run(["xdotool", "windowminimize", w], env=self.env, stdout=self.out, stderr=self.out)
                return
            if name == "twinkle" or name == "linphone-desktop":
                time.sleep(0.1)  # started hidden in the tray: nothing to find is fine
        return

    def open_message_windows(self):
        for peer in ("10086110011", "10086110012"):
            subprocess.run(["bash", os.path.join(cb.ROOT, "tools", "send_message.sh"), ACCOUNT, "你好", peer],
                           env=self.env, stdout=self.out, stderr=self.out)


def linphonerc(port):
    return ("[sip]\nsip_port=%d\nsip_tcp_port=0\nsip_tls_port=0\ndefault_proxy=0\nauto_net_state_mon=0\n"
            "register_only_when_network_is_up=0\n"
            "[rtp]\naudio_rtp_port=%d\nvideo_rtp_port=%d\n"
            "[video]\ncapture=0\ndisplay=0\nenabled=0\n"
            "[proxy_0]\nreg_proxy=<sip:%s:5060>\nreg_identity=sip:%s@%s\nreg_expires=600\nreg_sendregister=1\n"
            "[auth_info_0]\nusername=%s\nuserid=%s\npasswd=%s\nrealm=%s\n"
            % (port, port + 2000, port + 2002, DOMAIN, ACCOUNT, DOMAIN, ACCOUNT, ACCOUNT, PASSWORD, DOMAIN))


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def conf_linphonec(h, port):
    write(h + "/rc", linphonerc(port))
    os.makedirs(h + "/.local/share/linphone", exist_ok=True)
    return ["linphonec", "-c", h + "/rc"]


def conf_linphone_desktop(h, port):
    # Its own file: with an account in it no assistant opens.
    write(h + "/config/linphone/linphonerc", linphonerc(port) + "[ui]\nexit_on_close=0\n")
    return ["linphone", "--iconified"]


def conf_twinkle(h, port):
    d = h + "/.twinkle"
    write(d + "/twinkle.sys", "sip_port=%d\nsip_udp_port=%d\nrtp_port=%d\nstart_user_profile=bench\n"
          "start_hidden=yes\ngui_use_systray=yes\ngui_hide_on_close=yes\ndev_ringtone=alsa:default\n"
          "dev_speaker=alsa:default\ndev_mic=alsa:default\n" % (port, port, port + 2000))
    write(d + "/bench.cfg", "user_name=%s\nuser_domain=%s\nauth_realm=%s\nauth_name=%s\nauth_pass=%s\n"
          "registrar=%s:5060\nregister_at_startup=yes\nregistration_time=600\n"
          % (ACCOUNT, DOMAIN, DOMAIN, ACCOUNT, PASSWORD, DOMAIN))
    return ["twinkle", "-f", "bench", "--force"]


def conf_baresip(h, port):
    d = h + "/.baresip"
    write(d + "/config", "poll_method epoll\nsip_listen 127.0.0.1:%d\nnet_interface 127.0.0.1\n"
          "audio_player aufile,/dev/null\naudio_source ausine,440\naudio_alert aufile,/dev/null\n"
          "module_path /usr/lib/baresip/modules\nmodule g711.so\nmodule aufile.so\nmodule ausine.so\n"
          "module_app account.so\n" % port)
    write(d + "/accounts", "<sip:%s@%s>;auth_pass=%s;regint=600\n" % (ACCOUNT, DOMAIN, PASSWORD))
    return ["baresip", "-f", d]


CONFIGURE = {"linphonec": conf_linphonec, "linphone-desktop": conf_linphone_desktop, "twinkle": conf_twinkle,
             "baresip": conf_baresip}


def stop(name, p):
    if name == "linphonec":
        cb.stop_tree(p, grace=3)
    else:
        cb.stop_tree(p, grace=5)


def main():
    seconds = int(sys.argv[1]) if len(sys.argv) > 1 else 60
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    programs = sys.argv[3].split(",") if len(sys.argv) > 3 else ORDER
    for name in programs:
        if name not in ORDER:
            sys.exit("peers_bench: unknown program %s (one of %s)" % (name, ",".join(ORDER)))
        tool = {"client": cb.CLIENT, "linphone-desktop": "linphone"}.get(name, name)
        if not shutil.which(tool) and not os.path.exists(tool):
            sys.exit("peers_bench: %s is missing: bash bench/peers/setup.sh" % tool)
    cb.header("%d programs, start -> registered (median of %d), then %d s idle hidden" %
              (len(programs), rounds, seconds))
    watch = RegisterWatch()
    starts = {n: [] for n in programs}
    idle, shown, processes, parts = {}, {}, {}, {}
    with Peers() as s:
        for r in range(rounds):
            for name in programs:
                p, t0 = s.start(name)
                at = watch.first_after(t0, PORTS.get(name), 30)
                starts[name].append(at - t0 if at else None)
                if at is None:
                    print("%s: no 200 to REGISTER within 30 s (round %d)" % (name, r + 1), file=sys.stderr)
                elif r == 0:
                    s.hide(name, p)
                    if name == "client":
                        s.open_message_windows()
                    time.sleep(5)  # registered, hidden, windows up: the idle stretch starts
                    idle[name] = idle_figures(p.pid, seconds)
                    shown[name] = s.visible_windows(p)
                    processes[name] = per_process(p.pid)
                    if name == "client":
                        parts[name] = client_parts(p.pid)
                stop(name, p)
    print("load average after: %s" % cb.load_average())
    cells = [("wake-ups per second, idle", lambda n: idle[n][0] if n in idle else None, "%.2f"),
             ("CPU, idle (% of a core)", lambda n: idle[n][1] if n in idle else None, "%.3f"),
             ("PSS of the tree (MB)", lambda n: idle[n][2][0] if n in idle else None, "%.1f"),
             ("USS of the tree (MB)", lambda n: idle[n][2][1] if n in idle else None, "%.1f"),
             ("the tree's pages counted once (MB)", lambda n: idle[n][2][2] if n in idle else None, "%.1f"),
             ("start -> 200 to REGISTER (ms, median of %d)" % rounds,
              lambda n: cb.med(starts[n]), "%.0f")]
    print("| figure | " + " | ".join(NAMES[n] for n in programs) + " |")
    print("|---|" + "---|" * len(programs))
    for label, get, fmt in cells:
        print("| %s | %s |" % (label, " | ".join(fmt % get(n) if get(n) is not None else "-" for n in programs)))
    print("starts (ms): " + "; ".join("%s %s" % (NAMES[n], ", ".join("%.0f" % v if v else "-" for v in starts[n]))
                                     for n in programs))
    print("windows mapped while idle: " + ", ".join("%s %d" % (NAMES[n], shown[n]) for n in programs if n in shown))
    for n in programs:
        if n in idle:
            print("%s, threads that woke most (a second): %s" %
                  (NAMES[n], ", ".join("%s %.2f" % (name, w) for w, name in idle[n][3])))
            print("%s, processes PSS/USS (MB): %s" % (NAMES[n], processes[n]))
    if "client" in parts:
        print("RaveloZent, pages counted once by what holds them (MB): " +
              ", ".join("%s %.1f" % (k, v) for k, v in sorted(parts["client"].items(), key=lambda kv: -kv[1])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
