#!/usr/bin/env python3
"""Driver and analysis of bench_audio_e2e.sh (run that script, not this file).

Clock: every time here is the steady clock of this process. A key press is
stamped right after the X server has taken it (XTest, then XSync); the
recording of the sink's monitor is placed on the same clock by the lower
envelope of (arrival of a chunk - its frames at the sink's rate), so a
latency is: first frame of the new sound on the sink - key press taken.
"""
import argparse
import array
import ctypes
import os
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time

RATE = 48000
FONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
KEYS = int(os.environ.get("BENCH_KEYS", "40"))                  # sparse key presses per program
DENSE_SECONDS = int(os.environ.get("BENCH_DENSE_SECONDS", "60"))  # dense score, and again with load
CLK_TCK = os.sysconf("SC_CLK_TCK")


def now_ns():
    return time.monotonic_ns()


# ---- recording -------------------------------------------------------------

class Recorder:
    """The null sink's monitor as 32-bit float stereo, with arrival times."""

    def __init__(self):
        self.data = bytearray()
        self.arrivals = []  # (ns, frames so far)
        self.proc = subprocess.Popen(
            ["parec", "-d", "bench.monitor", "--raw", "--format=float32le", "--rate=%d" % RATE,
             "--channels=2", "--latency-msec=2"], stdout=subprocess.PIPE)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 1920)
            if not chunk:
                return
            t = now_ns()
            self.data += chunk
            self.arrivals.append((t, len(self.data) // 8))

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.thread.join()
        self.samples = array.array("f")
        n = len(self.data) // 8 * 8
        self.samples.frombytes(bytes(self.data[:n]))
        self.origin = min(t - f * 1e9 / RATE for t, f in self.arrivals) if self.arrivals else 0
        self.arrival_times = [t for t, _ in self.arrivals]

    def local_origin(self, ns):
        """The origin near ns: the sink's clock may drift from ours (a null
        sink that falls behind on a busy machine), so each time is placed by
        the lower envelope of the chunks that arrived within 0.5 s of it."""
        import bisect
        times = self.arrival_times
        i, j = bisect.bisect_left(times, ns - 5e8), bisect.bisect_right(times, ns + 5e8)
        near = self.arrivals[i:j] or self.arrivals
        return min(t - f * 1e9 / RATE for t, f in near) if near else 0

    def frame_at(self, ns):
        return int(round((ns - self.local_origin(ns)) * RATE / 1e9))

    def ns_of(self, frame, near_ns=None):
        origin = self.origin if near_ns is None else self.local_origin(near_ns)
        return origin + frame * 1e9 / RATE

    def peak(self, f0, f1):
        s = self.samples
        f0, f1 = max(0, f0), min(len(s) // 2, f1)
        if f1 <= f0:
            return 0.0
        return max(max(s[2 * f0:2 * f1]), -min(s[2 * f0:2 * f1]))

    def onset_after(self, ns, search_ms=300):
        """First frame of a new sound after ns: the first sample above a
        threshold set well above what sounded in the 50 ms before (the tail of
        the note before, its reverb). A struck note's attack passes such a
        threshold within its first quarter period, so the figure is late by a
        fraction of a millisecond at most."""
        s = self.samples
        n = len(s) // 2
        f = self.frame_at(ns)
        before = self.peak(f - RATE * 50 // 1000, f - RATE // 1000)
        threshold = max(3e-4, 3 * before)
        for i in range(max(0, f - RATE // 1000), min(n, f + RATE * search_ms // 1000)):
            if abs(s[2 * i]) > threshold or abs(s[2 * i + 1]) > threshold:
                return i
        return None

    def save(self, path):
        """The recording as a WAV file (BENCH_DUMP), for a look by ear and eye."""
        import wave
        with wave.open(path, "wb") as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(array.array("h", (max(-32767, min(32767, int(v * 32767))) for v in self.samples)).tobytes())

    def gap_list(self, ns0, ns1, min_frames=8):
        """Runs of exact silence (both channels) with sound on both sides, as
        (first frame, end frame)."""
        f0, f1 = max(0, self.frame_at(ns0)), min(len(self.samples) // 2, self.frame_at(ns1))
        if f1 <= f0:
            return []
        raw = bytes(self.data[8 * f0:8 * f1])
        found = []
        ctx = RATE * 2 // 1000
        for m in re.finditer(rb"\x00{%d,}" % (8 * min_frames), raw):
            a, b = (m.start() + 7) // 8, m.end() // 8
            if b - a < min_frames:
                continue
            if self.peak(f0 + a - ctx, f0 + a) > 1e-4 and self.peak(f0 + b, f0 + b + ctx) > 1e-4:
                found.append((f0 + a, f0 + b))
        return found

    def gaps(self, ns0, ns1):
        return len(self.gap_list(ns0, ns1))


# ---- keys as X events --------------------------------------------------------

class Keyboard:
    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("no X display " + display)

    def key(self, name, down):
        code = self.x11.XKeysymToKeycode(self.dpy, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1 if down else 0, 0)
        self.x11.XSync(self.dpy, 0)
        return now_ns()


# ---- processes ---------------------------------------------------------------

def cpu_ticks(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except OSError:
        return 0


def peak_rss_mib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024.0
    except OSError:
        pass
    return float("nan")


def idle_cpu(pid, server_pid, seconds=10.0):
    a, b = cpu_ticks(pid), cpu_ticks(server_pid)
    time.sleep(seconds)
    prog = (cpu_ticks(pid) - a) * 100.0 / CLK_TCK / seconds
    server = (cpu_ticks(server_pid) - b) * 100.0 / CLK_TCK / seconds
    return prog, server


class Load:
    """Both cores kept busy by plain busy loops at normal priority."""

    def __init__(self):
        self.procs = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(os.cpu_count() or 2)]

    def stop(self):
        for p in self.procs:
            p.kill()
            p.wait()


def start_x(work, number):
    display = ":%d" % number
    proc = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists("/tmp/.X11-unix/X%d" % number):
            break
        time.sleep(0.05)
    time.sleep(0.3)
    return proc, display


def windows_of(pid, env):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], env=env,
                         capture_output=True, text=True).stdout.split()
    result = []
    for w in out:
        geo = subprocess.run(["xdotool", "getwindowgeometry", w], env=env, capture_output=True, text=True).stdout
        m = re.search(r"Geometry: (\d+)x(\d+)", geo)
        if m:
            result.append((w, int(m.group(1)), int(m.group(2))))
    return result


def wait_for(cond, timeout):
    end = time.time() + timeout
    while time.time() < end:
        r = cond()
        if r:
            return r
        time.sleep(0.05)
    return None


# ---- the program under test ---------------------------------------------------

def dense_score(path):
    # Three voices (combination 5), a chord on every fourth note, the first
    # built-in rhythm, at the fastest tempo: 2 eighths a note, for about 150 s.
    melody = ["KC", "KD", "KE", "KF", "KG", "KA", "KB", "HC"]
    tokens = ["VS12", "YQ5", "JP1"]
    for i in range(1200):
        if i % 4 == 0:
            tokens.append("HX%d" % (1 + (i // 4) % 6))
        tokens.append(melody[i % len(melody)] + ("2" if i == 0 else ""))
    tokens.append("TZ")
    text = ""
    line = ""
    for t in tokens:
        line += t
        if len(line) > 60:
            text += line + "\r\n"
            line = ""
    text += line + "\r\n"
    with open(path, "wb") as f:
        f.write(text.encode("ascii"))


class Dzq:
    def __init__(self, binary, work, display_number):
        self.binary = binary
        self.work = work
        self.display_number = display_number

    def launch(self, args):
        self.x, display = start_x(self.work, self.display_number)
        home = os.path.join(self.work, "home-%d" % self.display_number)
        tmp = os.path.join(self.work, "tmp-%d" % self.display_number)
        # The program's home is kept from one launch to the next (what it
        # learnt about the machine, as a user's second session would find
        # it) unless BENCH_FRESH_HOME=1.
        fresh = os.environ.get("BENCH_FRESH_HOME") == "1" or not getattr(self, "home_made", False)
        for d in (home, tmp) if fresh else (tmp,):
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
        self.home_made = True
        self.env = dict(os.environ, DISPLAY=display, HOME=home, TMPDIR=tmp, QT_QPA_PLATFORM="xcb")
        self.log = os.path.join(self.work, "midi-%d.log" % self.display_number)
        if os.path.exists(self.log):
            os.remove(self.log)
        self.launched = now_ns()
        err = subprocess.DEVNULL
        dump = os.environ.get("BENCH_DUMP")
        if dump:  # the program's own diagnostics, run by run
            os.makedirs(dump, exist_ok=True)
            self.runs = getattr(self, "runs", 0) + 1
            err = open(os.path.join(dump, "stderr-%d-%d.txt" % (self.display_number, self.runs)), "w")
        self.proc = subprocess.Popen([self.binary, "--midi-log", self.log] + args, env=self.env,
                                     stdout=subprocess.DEVNULL, stderr=err)
        self.keys = Keyboard(display)
        welcome = wait_for(lambda: [w for w in windows_of(self.proc.pid, self.env) if w[1] < 700], 30)
        if not welcome:
            raise RuntimeError("no welcome dialog")
        # "知道了" has the focus: Space clicks it, as soon as the dialog shows.
        w = welcome[0][0]
        subprocess.run(["xdotool", "windowfocus", "--sync", w], env=self.env)
        self.keys.key("space", True)
        self.keys.key("space", False)
        main = wait_for(lambda: [x for x in windows_of(self.proc.pid, self.env) if x[1] >= 700], 30)
        if not main:
            raise RuntimeError("no main window")
        subprocess.run(["xdotool", "windowfocus", "--sync", main[0][0]], env=self.env)

    def description(self):
        if not hasattr(self, "log"):
            return self.binary
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                lines = [line[1:].strip() for line in f if line.startswith("#")]
            if lines:
                return lines[-1]  # the output as it ended
        except OSError:
            pass
        return "(no output line in the MIDI log)"

    def stop(self):
        rss = peak_rss_mib(self.proc.pid)
        self.proc.kill()
        self.proc.wait()
        self.x.terminate()
        self.x.wait()
        return rss

    def press(self, key):
        t = self.keys.key(key, True)
        time.sleep(0.06)
        self.keys.key(key, False)
        time.sleep(0.25)
        self.keys.key("space", True)  # Space stops the note
        self.keys.key("space", False)
        return t


class FluidCli:
    def __init__(self, frames, work):
        self.frames = frames

    def launch(self, args):
        self.launched = now_ns()
        self.proc = subprocess.Popen(
            ["fluidsynth", "-a", "pulseaudio", "-r", str(RATE), "-o", "audio.period-size=%d" % self.frames,
             "-o", "audio.periods=2", "-g", "0.5", FONT],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.say("noteon 0 60 100")  # read once the font is loaded: the first sound

    def say(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()
        return now_ns()

    def press(self, key):
        note = 60 + "asdfghj".index(key)
        t = self.say("noteon 0 %d 100" % note)
        time.sleep(0.31)
        self.say("noteoff 0 %d" % note)
        return t

    def description(self):
        return "fluidsynth %d x 2" % self.frames

    def stop(self):
        rss = peak_rss_mib(self.proc.pid)
        self.proc.kill()
        self.proc.wait()
        return rss

    def play_dense(self, seconds, stop_event):
        # What the dense score sends: three voices, a chord every fourth note,
        # drums, a note every 130 ms.
        notes = [60, 62, 64, 65, 67, 69, 71, 72]
        i = 0
        prev = None
        end = time.time() + seconds
        while time.time() < end and not stop_event.is_set():
            n = notes[i % len(notes)]
            lines = []
            if prev is not None:
                lines += ["noteoff %d %d" % (c, prev) for c in range(3)]
            lines += ["noteon %d %d 90" % (c, n) for c in range(3)]
            if i % 4 == 0:
                lines += ["noteon %d %d 70" % (3 + k, 48 + 4 * k) for k in range(3)]
            if i % 2 == 0:
                lines.append("noteon 9 36 100")
            self.say("\n".join(lines))
            prev = n
            i += 1
            time.sleep(0.13)


# ---- one program -------------------------------------------------------------

def measure(subject, server_pid, work):
    r = {"name": subject.description(),
         "label": subject.binary if isinstance(subject, Dzq) else subject.description()}
    rng = random.Random(16)

    # Idle CPU first, with nothing recording (a recording keeps the server
    # busy by itself); then sparse keys.
    subject.launch([])
    if isinstance(subject, FluidCli):
        time.sleep(3.0)
    # Start-up done, the reverb died away, and our program's stream paused
    # (it pauses after 30 s without sound).
    time.sleep(33.0)
    r["name"] = subject.description()
    prog, server = idle_cpu(subject.proc.pid, server_pid)
    r["idle_cpu"] = (prog, server)
    rec = Recorder()
    time.sleep(0.5)
    presses = []
    for k in range(KEYS):
        presses.append(subject.press("asdfghj"[k % 7]))
        # Long enough for the note and its reverb to die away: a tail under
        # the next attack would make its onset late.
        time.sleep(rng.uniform(2.5, 3.5))
    time.sleep(0.5)
    rss = subject.stop()
    rec.stop()
    lat = []
    for t in presses:
        f = rec.onset_after(t)
        if f is not None:
            lat.append((rec.ns_of(f, t) - t) / 1e6)
    # The first key comes after 43 s of silence (our stream paused): its
    # figure is reported apart, and counts in the others too.
    first = rec.onset_after(presses[0])
    r["after_pause"] = (rec.ns_of(first, presses[0]) - presses[0]) / 1e6 if first is not None else float("nan")
    r["latency"] = lat
    dump = os.environ.get("BENCH_DUMP")
    if dump:
        os.makedirs(dump, exist_ok=True)
        tag = re.sub(r"[^A-Za-z0-9]+", "-", r["label"])[-40:]
        rec.save(os.path.join(dump, tag + "-keys.wav"))
        with open(os.path.join(dump, tag + "-keys.txt"), "w") as out:
            for t in presses:
                out.write("%.6f\n" % ((t - rec.local_origin(t)) / 1e9))
    r["missed"] = len(presses) - len(lat)
    sparse_span = (presses[-1] - presses[0]) / 60e9 + 1e-9
    r["gaps_sparse"] = rec.gaps(presses[0] - 1e9, presses[-1] + 5e8) / sparse_span
    r["rss"] = rss

    # Dense score, then the same with both cores busy; launch -> first sound.
    rec = Recorder()
    time.sleep(0.3)
    if isinstance(subject, Dzq):
        score = os.path.join(work, "dense.txt")
        dense_score(score)
        subject.launch([score])
        f = wait_for(lambda: None, 0)  # nothing to wait for: the score starts by itself
    else:
        subject.launch([])
        stop = threading.Event()
        time.sleep(2.0)
        player = threading.Thread(target=subject.play_dense, args=(2 * DENSE_SECONDS + 4, stop))
        player.start()
    time.sleep(2.0)
    t0 = now_ns()
    time.sleep(DENSE_SECONDS)
    t1 = now_ns()
    load = Load()
    time.sleep(DENSE_SECONDS)
    t2 = now_ns()
    load.stop()
    if isinstance(subject, FluidCli):
        stop.set()
        player.join()
    launched = subject.launched
    r["rss"] = max(r["rss"], subject.stop())
    rec.stop()
    first = rec.onset_after(launched, search_ms=30000)
    r["first_sound"] = (rec.ns_of(first, launched) - launched) / 1e6 if first is not None else float("nan")
    r["gaps_dense"] = rec.gaps(t0, t1) * 60e9 / (t1 - t0)
    r["dense_name"] = subject.description()
    if dump:
        tag = re.sub(r"[^A-Za-z0-9]+", "-", r["label"])[-40:]
        rec.save(os.path.join(dump, tag + "-dense.wav"))
        with open(os.path.join(dump, tag + "-dense.txt"), "w") as out:
            out.write("%.6f %.6f %.6f\n" % tuple((t - rec.origin) / 1e9 for t in (t0, t1, t2)))
            for a, b in rec.gap_list(t0, t2):
                out.write("gap %.6f %d\n" % (a / RATE, b - a))
    r["gaps_load"] = rec.gaps(t1, t2) * 60e9 / (t2 - t1)
    return r


def pct(values, p):
    if not values:
        return float("nan")
    v = sorted(values)
    return v[min(len(v) - 1, max(0, int(-(-p * len(v) // 1)) - 1))]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work")
    ap.add_argument("--server-pid", type=int)
    ap.add_argument("--score-dir")
    ap.add_argument("programs", nargs="+")
    a = ap.parse_args()

    subjects = [Dzq(os.path.abspath(p), a.work, 90 + i) for i, p in enumerate(a.programs) if p != "none"]
    if os.environ.get("BENCH_FLOOR", "1") == "1":
        subjects += [FluidCli(64, a.work), FluidCli(128, a.work)]
    rows = []
    for s in subjects:
        label = s.binary if isinstance(s, Dzq) else s.description()
        print("measuring %s ..." % label, file=sys.stderr, flush=True)
        try:
            r = measure(s, a.server_pid, a.work)
        except Exception as e:  # a failed subject is a row too
            import traceback
            traceback.print_exc()
            r = {"name": "%s: %s" % (label, e)}
        r["label"] = label
        rows.append(r)

    load = os.getloadavg()
    print()
    print("the sound server alone, idle: %.1f %% of a core" % idle_cpu(a.server_pid, a.server_pid, 5.0)[0])
    print("end-to-end audio, PulseAudio null sink 48 kHz, %d cores, load average at the end %.1f" %
          (os.cpu_count(), load[0]))
    print("%-34s %-18s %-7s %-8s %-16s %-12s %-9s %-9s" % (
        "program", "key->sound ms", "", "1st key", "dropouts/min", "launch ->", "idle CPU %", "peak RSS"))
    print("%-34s %-18s %-7s %-8s %-16s %-12s %-9s %-9s" % (
        "", "median/p95/max", "missed", "ms", "keys/dense/+load", "first sound", "prog+srv", "MiB"))
    for r in rows:
        if "latency" not in r:
            print("%-34s failed: %s" % (r["label"][-34:], r["name"]))
            continue
        lat = r["latency"]
        print("%-34s %-18s %-7d %-8.1f %-16s %-12s %-9s %-9.1f" % (
            r["label"][-34:],
            "%.1f/%.1f/%.1f" % (statistics.median(lat) if lat else float("nan"), pct(lat, 0.95),
                                max(lat) if lat else float("nan")),
            r["missed"],
            r["after_pause"],
            "%.1f/%.1f/%.1f" % (r["gaps_sparse"], r["gaps_dense"], r["gaps_load"]),
            "%.0f ms" % r["first_sound"],
            "%.1f+%.1f" % r["idle_cpu"],
            r["rss"]))
        print("    %s" % r["name"])
        if r.get("dense_name", r["name"]) != r["name"]:
            print("    after the dense score: %s" % r["dense_name"])
    print("dropouts: runs of >= 8 frames of exact silence with sound on both sides;"
          " keys: %d presses with pauses, dense: %d s each without and with %d busy loops;"
          " 1st key: the first press, after 43 s of silence;"
          " the dense score is the program's second launch%s" %
          (KEYS, DENSE_SECONDS, os.cpu_count(),
           " (fresh home)" if os.environ.get("BENCH_FRESH_HOME") == "1" else
           " (it keeps what the first one learnt)"))


if __name__ == "__main__":
    main()
