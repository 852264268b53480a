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
import statistics
import subprocess
import sys
import threading
import time

RATE = 48000
FONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
CLK_TCK = os.sysconf("SC_CLK_TCK")
# The recording's fragment: small for precise arrival times; a larger one
# shows whether the recording's own small latency (which the server weighs
# when it sets the sink's) adds to the dropouts.
RECORD_LATENCY_MS = int(os.environ.get("BENCH_RECORD_LATENCY_MS", "2"))
# The sound server (pulse, pipewire, jack), its period and, on JACK, the
# recorder: set by main().
SERVER = "pulse"
PERIOD = 128
TAP = None


def now_ns():
    return time.monotonic_ns()


# ---- recording -------------------------------------------------------------

class Recorder:
    """The null sink's monitor as 32-bit float stereo, with arrival times."""

    def __init__(self, record=True):
        self.data = bytearray()
        self.arrivals = []  # (ns, frames so far)
        if not record:  # the self-check fills data and arrivals itself
            return
        self.proc = subprocess.Popen(
            ["parec", "-d", "bench.monitor", "--raw", "--format=float32le", "--rate=%d" % RATE,
             "--channels=2", "--latency-msec=%d" % RECORD_LATENCY_MS], stdout=subprocess.PIPE)
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
        if hasattr(self, "proc"):
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


class JackRecorder(Recorder):
    """What is joined to the JACK server's playback ports, from bench_jack_tap:
    each period comes with the steady time of the cycle that rendered it
    (when the driver takes it, as the null sink takes a stream's sound), so
    the arrivals are exact rather than enveloped."""

    def __init__(self):
        self.data = bytearray()
        self.arrivals = []
        self.proc = subprocess.Popen([TAP], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.info = self.proc.stderr.readline().decode("utf-8", "replace").strip()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        time.sleep(0.1)  # joined to what plays within the tap's 20 ms look

    def _read(self):
        import struct
        f = self.proc.stdout
        while True:
            head = f.read(12)
            if len(head) < 12:
                return
            taken, frames = struct.unpack("<QI", head)
            body = f.read(8 * frames)
            if len(body) < 8 * frames:
                return
            self.data += body
            self.arrivals.append((taken + frames * 1e9 / RATE, len(self.data) // 8))


def new_recorder():
    return JackRecorder() if SERVER == "jack" else Recorder()


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
    if isinstance(pid, (list, tuple)):
        return sum(cpu_ticks(p) for p in pid)
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


def start_x():
    """A private Xvfb on a display it finds free itself (other people's
    servers come and go on this machine)."""
    r, w = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(w,))
    os.close(w)
    with os.fdopen(r) as f:
        number = f.readline().strip()  # written once the server is ready
    if not number.isdigit():
        proc.kill()
        proc.wait()
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number


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


# ---- what the machine and the server did -----------------------------------------

def load_1min():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def real_time_threads(pid):
    """The threads of pid that run with a real-time policy, as name:prio."""
    if isinstance(pid, (list, tuple)):
        return [t for p in pid for t in real_time_threads(p)]
    found = []
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return found
    for tid in tasks:
        try:
            with open("/proc/%d/task/%s/stat" % (pid, tid)) as f:
                text = f.read()
        except OSError:
            continue
        name = text[text.index("(") + 1:text.rindex(")")]
        rest = text.rsplit(")", 1)[1].split()
        prio, policy = int(rest[37]), int(rest[38])
        if policy in (1, 2):  # SCHED_FIFO, SCHED_RR
            found.append("%s:%s%d" % (name, "F" if policy == 1 else "RR", prio))
    return found


class ServerLog:
    """The private server's log (debug level): its underrun lines and the
    buffer it granted each stream, between two marks."""

    # A playing stream's queue ran dry (PulseAudio logs each one once), or
    # a JACK cycle missed its deadline.
    UNDERRUN = re.compile(r"Implicit underrun of '|JackEngine::XRun|\bxrun\b", re.I)
    # What a playback stream asked for and what it got; the monitor's
    # recording stream has the unbounded queue and is left out.
    ATTRS = re.compile(r"Requested tlength|Final latency .* 2\*|memblockq sanitized: maxlength=\d+, tlength=\d{1,6},")

    def __init__(self, path):
        self.path = path

    def mark(self):
        try:
            return os.path.getsize(self.path)
        except OSError:
            return 0

    def lines(self, a, b):
        try:
            with open(self.path, "rb") as f:
                f.seek(a)
                return f.read(max(0, b - a)).decode("utf-8", "replace").splitlines()
        except OSError:
            return []

    def underruns(self, a, b):
        return sum(1 for line in self.lines(a, b) if self.UNDERRUN.search(line))

    def stream_attrs(self, a, b):
        """Each distinct setting of the playback streams, in order."""
        seen = []
        for line in self.lines(a, b):
            if self.ATTRS.search(line):
                text = re.sub(r"^.*?(protocol-native|memblockq)\.c: (memblockq sanitized: )?", "", line.strip())
                text = re.sub(r", base=\d+|maxlength=\d+, | maxrewind=\d+", "", text)
                if text.startswith("tlength="):
                    text = "queue bytes " + text
                if text not in seen:
                    seen.append(text)
        return seen


def sink_inputs():
    """Each playing stream's latencies as the server sees them."""
    if SERVER == "jack":
        return []
    out = subprocess.run(["pactl", "list", "sink-inputs"], capture_output=True, text=True).stdout
    found = []
    for block in out.split("Sink Input #")[1:]:
        name = re.search(r'application\.name = "([^"]*)"', block)
        buf = re.search(r"Buffer Latency: ([\d.]+) usec", block)
        sink = re.search(r"Sink Latency: ([\d.]+) usec", block)
        found.append("%s buffer %.1f ms, sink %.1f ms" % (
            name.group(1) if name else "?", float(buf.group(1)) / 1000 if buf else float("nan"),
            float(sink.group(1)) / 1000 if sink else float("nan")))
    return found


def drop_font_cache(font):
    """Drops the sound font's pages from the page cache; says which way worked
    and how much of the font was still resident afterwards."""
    ways = []
    try:
        fd = os.open(font, os.O_RDONLY)
        try:
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            ways.append("fadvise ok")
        finally:
            os.close(fd)
    except OSError as e:
        ways.append("fadvise failed (%s)" % e.strerror)
    try:
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("1\n")
        ways.append("drop_caches ok")
    except OSError as e:
        ways.append("drop_caches refused (%s)" % e.strerror)
    if shutil.which("fincore"):
        out = subprocess.run(["fincore", "--bytes", "--noheadings", "--output", "RES", font],
                             capture_output=True, text=True).stdout.split()
        if out and out[0].isdigit():
            ways.append("%.1f MiB of the font resident after" % (int(out[0]) / 2**20))
    return ", ".join(ways)


# ---- scores ----------------------------------------------------------------------

def score_text(tokens):
    text, line = "", ""
    for t in tokens:
        line += t
        if len(line) > 60:
            text += line + "\r\n"
            line = ""
    return text + line + "\r\n"


def dense_score(path, seconds, combinations=False):
    # Three voices (combination 5), a chord on every fourth note, the first
    # built-in rhythm, at the fastest tempo, long enough for `seconds` (a
    # note is about 130 ms). With combinations, every note chooses the next
    # of the 12 combinations first: a change of instruments on every beat.
    melody = ["KC", "KD", "KE", "KF", "KG", "KA", "KB", "HC"]
    tokens = ["VS12", "YQ5", "JP1"]
    for i in range(max(1200, int(seconds / 0.12))):
        if combinations:
            tokens.append("YQ%d" % (1 + i % 12))
        if i % 4 == 0:
            tokens.append("HX%d" % (1 + (i // 4) % 6))
        tokens.append(melody[i % len(melody)] + ("2" if i == 0 else ""))
    tokens.append("TZ")
    with open(path, "wb") as f:
        f.write(score_text(tokens).encode("ascii"))


# ---- the programs under test -------------------------------------------------------

BUFFER_LINE = re.compile(r"(?:每次|缓冲)\s*(\d+)\s*帧")


class Dzq:
    def __init__(self, binary, work, slot, start_frames, label):
        self.binary = binary
        self.work = work
        self.slot = slot
        self.start_frames = start_frames  # 0: a fresh home, the program's own default
        self.label = label
        self.launches = 0

    def prepare_home(self):
        # Every launch starts from the same state (BENCH_KEEP_HOME=1: the
        # home is kept from launch to launch, as a user's next session finds
        # what the last one learnt).
        if self.launches > 0 and os.environ.get("BENCH_KEEP_HOME") == "1":
            return
        shutil.rmtree(self.home, ignore_errors=True)
        conf = {}
        if self.start_frames:
            conf["audio/bufferFrames"] = str(self.start_frames)
        # More keys, "group/key=value;…", for what the program may learn
        # besides the buffer.
        for item in filter(None, os.environ.get("BENCH_DZQ_CONF", "").split(";")):
            k, _, v = item.partition("=")
            conf[k.strip()] = v.strip()
        folder = os.path.join(self.home, ".config", "Quorvane")
        os.makedirs(folder)
        groups = {}
        for k, v in conf.items():
            g, _, name = k.rpartition("/")
            groups.setdefault(g or "General", []).append("%s=%s" % (name, v))
        with open(os.path.join(folder, "dzq.conf"), "w") as f:
            for g, lines in groups.items():
                f.write("[%s]\n%s\n\n" % (g, "\n".join(lines)))

    def launch(self, args):
        self.home = os.path.join(self.work, "home-%d" % self.slot)
        tmp = os.path.join(self.work, "tmp-%d" % self.slot)
        self.prepare_home()
        shutil.rmtree(tmp, ignore_errors=True)
        os.makedirs(tmp)
        self.launches += 1
        self.x, display = start_x()
        self.env = dict(os.environ, DISPLAY=display, HOME=self.home, TMPDIR=tmp,
                        XDG_CONFIG_HOME=os.path.join(self.home, ".config"), QT_QPA_PLATFORM="xcb")
        self.log = os.path.join(self.work, "midi-%d.log" % self.slot)
        if os.path.exists(self.log):
            os.remove(self.log)
        self.launched = now_ns()
        self.proc = subprocess.Popen([self.binary, "--midi-log", self.log, "--soundfont", FONT] + args,
                                     env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.stderr_lines = []  # (seconds after launch, line)
        self.stderr_thread = threading.Thread(target=self._read_stderr, daemon=True)
        self.stderr_thread.start()
        try:
            self.keys = Keyboard(display)
            welcome = wait_for(lambda: [w for w in windows_of(self.proc.pid, self.env) if w[1] < 700], 30)
            if not welcome:
                raise RuntimeError("no welcome dialog; stderr: " + self.stderr_tail())
            # "知道了" has the focus: Space clicks it, as soon as the dialog shows.
            subprocess.run(["xdotool", "windowfocus", "--sync", welcome[0][0]], env=self.env)
            self.keys.key("space", True)
            self.keys.key("space", False)
            main = wait_for(lambda: [x for x in windows_of(self.proc.pid, self.env) if x[1] >= 700], 30)
            if not main:
                raise RuntimeError("no main window; stderr: " + self.stderr_tail())
            subprocess.run(["xdotool", "windowfocus", "--sync", main[0][0]], env=self.env)
        except Exception:
            self.stop()
            raise

    def _read_stderr(self):
        for raw in self.proc.stderr:
            line = raw.decode("utf-8", "replace").rstrip()
            self.stderr_lines.append(((now_ns() - self.launched) / 1e9, line))

    def stderr_tail(self):
        return " | ".join(line for _, line in self.stderr_lines[-3:]) or "(nothing)"

    def buffers(self):
        """The output's buffer as the program said it, with when: [(s, frames)]."""
        return [(t, int(m.group(1))) for t, line in self.stderr_lines for m in [BUFFER_LINE.search(line)] if m]

    def output_line(self):
        lines = [line for _, line in self.stderr_lines if "声音输出" in line]
        return lines[-1] if lines else "(no output line on stderr)"

    def stop(self):
        rss = peak_rss_mib(self.proc.pid)
        self.proc.kill()
        self.proc.wait()
        self.stderr_thread.join(timeout=2)
        self.x.terminate()
        self.x.wait()
        if os.environ.get("BENCH_DUMP"):
            os.makedirs(os.environ["BENCH_DUMP"], exist_ok=True)
            with open(os.path.join(os.environ["BENCH_DUMP"], "stderr-%s-%d.txt" % (
                    re.sub(r"[^A-Za-z0-9]+", "-", self.label).strip("-"), self.launches)), "w") as f:
                f.writelines("%8.3f %s\n" % tl for tl in self.stderr_lines)
        return rss

    def press(self, key):
        t = self.keys.key(key, True)
        time.sleep(0.06)
        self.keys.key(key, False)
        time.sleep(0.25)
        self.keys.key("space", True)  # Space stops the note
        self.keys.key("space", False)
        return t

    def start_score(self, path, seconds, combinations):
        dense_score(path, seconds, combinations)
        self.launch([path])  # the score starts by itself

    def stop_score(self):
        pass


class FluidCli:
    # What the combinations choose, three voices each, in the spirit of the
    # program's twelve: a change reaches across the font.
    PROGRAMS = [(0, 48, 32), (24, 52, 33), (40, 49, 35), (56, 61, 38), (73, 48, 42), (19, 89, 43),
                (11, 88, 34), (65, 50, 36), (81, 91, 39), (104, 46, 32), (71, 42, 44), (4, 95, 33)]

    def __init__(self, frames, label):
        self.frames = frames
        self.label = label

    def launch(self, args):
        self.launched = now_ns()
        if SERVER == "jack":  # the server's period; joined to the playback ports
            driver = ["-a", "jack", "-j"]
        else:
            driver = ["-a", "pulseaudio", "-o", "audio.period-size=%d" % self.frames, "-o", "audio.periods=2"]
        self.proc = subprocess.Popen(
            ["fluidsynth"] + driver + ["-r", str(RATE), "-g", "0.5", FONT],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.say("noteon 0 60 100")  # read once the font is loaded: the first sound
        time.sleep(3.0)

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

    def buffers(self):
        return [(0.0, self.frames)]

    def output_line(self):
        if SERVER == "jack":
            return "fluidsynth -a jack, the server's %d frames" % self.frames
        return "fluidsynth -a pulseaudio, %d x 2 frames" % self.frames

    def stop(self):
        rss = peak_rss_mib(self.proc.pid)
        self.proc.kill()
        self.proc.wait()
        return rss

    def start_score(self, path, seconds, combinations):
        self.launch([])
        self.stop_event = threading.Event()
        self.player = threading.Thread(target=self.play_dense, args=(seconds + 10, combinations))
        self.player.start()

    def stop_score(self):
        self.stop_event.set()
        self.player.join()

    def play_dense(self, seconds, combinations):
        # What the dense score sends: three voices, a chord every fourth note,
        # drums, a note every 130 ms; with combinations, new programs on the
        # three voices before every note.
        notes = [60, 62, 64, 65, 67, 69, 71, 72]
        i = 0
        prev = None
        end = time.time() + seconds
        while time.time() < end and not self.stop_event.is_set():
            n = notes[i % len(notes)]
            lines = []
            if prev is not None:
                lines += ["noteoff %d %d" % (c, prev) for c in range(3)]
            if combinations:
                lines += ["prog %d %d" % (c, p) for c, p in enumerate(self.PROGRAMS[i % len(self.PROGRAMS)])]
            lines += ["noteon %d %d 90" % (c, n) for c in range(3)]
            if i % 4 == 0:
                lines += ["noteon %d %d 70" % (3 + k, 48 + 4 * k) for k in range(3)]
            if i % 2 == 0:
                lines.append("noteon 9 36 100")
            self.say("\n".join(lines))
            prev = n
            i += 1
            time.sleep(0.13)


# ---- one program, one round ------------------------------------------------------

class Settings:
    def __init__(self):
        quick = os.environ.get("BENCH_QUICK") == "1"
        self.quick = quick
        self.rounds = int(os.environ.get("BENCH_ROUNDS", "1" if quick else "3"))
        self.keys = int(os.environ.get("BENCH_KEYS", "5" if quick else "16"))
        self.seconds = int(os.environ.get("BENCH_DENSE_SECONDS", "6" if quick else "15"))
        self.key_gap = float(os.environ.get("BENCH_KEY_GAP", "1.0" if quick else "1.5"))
        self.idle_rounds = int(os.environ.get("BENCH_IDLE_ROUNDS", "0" if quick else "1"))
        default = "dzq,dzq@256,fs64,fs128,fs256" if SERVER == "pulse" else "dzq,fs%d" % PERIOD
        self.subjects = os.environ.get("BENCH_SUBJECTS", "dzq,fs128" if quick and SERVER == "pulse" else default)


def run_phase(result, name, body):
    """One phase; a failure is kept as such (never a figure of 0)."""
    try:
        body()
    except Exception as e:
        import traceback
        traceback.print_exc()
        result[name] = {"failed": "%s" % e}


def gaps_phase(rec, server, t0, t1, load0, load1, marks):
    return {"gaps": rec.gaps(t0, t1), "minutes": (t1 - t0) / 60e9, "load": (load0, load1),
            "server_underruns": server.underruns(*marks)}


def phase_keys(subject, cfg, server, server_pid, round_no, r):
    rng = random.Random(16 + round_no)
    load0 = load_1min()
    launched_mark = server.mark()
    subject.launch([])
    p = {}
    try:
        if round_no < cfg.idle_rounds:
            # Start-up done, the reverb died away, and our program's stream
            # paused (it pauses after 30 s without sound).
            time.sleep(33.0 if isinstance(subject, Dzq) else 5.0)
            prog, srv = idle_cpu(subject.proc.pid, server_pid)
            r["idle"] = {"cpu": (prog, srv), "load": (load0, load_1min())}
        elif isinstance(subject, Dzq):
            time.sleep(3.0)  # its start-up done, as fluidsynth's launch waits
        r["server_rt"] = real_time_threads(server_pid)
        rec = new_recorder()
        time.sleep(0.5)
        mark0 = server.mark()
        load0 = load_1min()
        presses = []
        for k in range(cfg.keys):
            presses.append(subject.press("asdfghj"[k % 7]))
            # Long enough for the note and most of its reverb to die away: a
            # loud tail under the next attack would make its onset late.
            time.sleep(rng.uniform(cfg.key_gap * 0.8, cfg.key_gap * 1.2))
        time.sleep(0.5)
        load1 = load_1min()
        mark1 = server.mark()
        # The priorities as the keys end (the output may have been reopened
        # since the start).
        r["rt_threads"] = real_time_threads(subject.proc.pid)
    finally:
        rss = subject.stop()
        if "rec" in locals():
            rec.stop()
    lat = []
    for t in presses:
        f = rec.onset_after(t)
        if f is not None:
            lat.append((rec.ns_of(f, t) - t) / 1e6)
    p.update(gaps_phase(rec, server, presses[0] - 1e9, presses[-1] + 5e8, load0, load1, (mark0, mark1)))
    p.update({"latency": lat, "presses": len(presses), "missed": len(presses) - len(lat),
              "buffers": subject.buffers(), "output": subject.output_line(), "rss": rss,
              "stream": server.stream_attrs(launched_mark, server.mark())})
    r["keys"] = p
    dump(rec, subject.label, round_no, "keys")


def launch_facts(subject, rec, server, launched_mark, rss):
    """What one launch of a score phase tells besides its gaps."""
    first = rec.onset_after(subject.launched, search_ms=30000)
    return {"buffers": subject.buffers(), "output": subject.output_line(), "rss": rss,
            "stream": server.stream_attrs(launched_mark, server.mark()),
            "first_sound": (rec.ns_of(first, subject.launched) - subject.launched) / 1e6
            if first is not None else None}


def phase_dense(subject, cfg, server, work, round_no, r):
    rec = new_recorder()
    time.sleep(0.3)
    launched_mark = server.mark()
    try:
        subject.start_score(os.path.join(work, "dense.txt"), 2 * cfg.seconds + 6, False)
        try:
            time.sleep(2.0)
            m0, l0, t0 = server.mark(), load_1min(), now_ns()
            time.sleep(cfg.seconds / 2)
            r["sink_inputs"] = sink_inputs()
            r["rt_threads_dense"] = real_time_threads(subject.proc.pid)
            time.sleep(cfg.seconds / 2)
            m1, l1, t1 = server.mark(), load_1min(), now_ns()
            load = Load()
            try:
                time.sleep(cfg.seconds)
            finally:
                load.stop()
            m2, l2, t2 = server.mark(), load_1min(), now_ns()
        finally:
            subject.stop_score()
            rss = subject.stop()
    finally:
        rec.stop()
    common = launch_facts(subject, rec, server, launched_mark, rss)
    r["dense"] = dict(gaps_phase(rec, server, t0, t1, l0, l1, (m0, m1)), **common)
    r["load"] = dict(gaps_phase(rec, server, t1, t2, l1, l2, (m1, m2)), **common)
    dump(rec, subject.label, round_no, "dense")


def phase_combinations(subject, cfg, server, work, round_no, r):
    cache = drop_font_cache(FONT)
    rec = new_recorder()
    time.sleep(0.3)
    launched_mark = server.mark()
    try:
        subject.start_score(os.path.join(work, "combinations.txt"), cfg.seconds + 4, True)
        try:
            time.sleep(1.0)
            m0, l0, t0 = server.mark(), load_1min(), now_ns()
            time.sleep(cfg.seconds)
            m1, l1, t1 = server.mark(), load_1min(), now_ns()
        finally:
            subject.stop_score()
            rss = subject.stop()
    finally:
        rec.stop()
    r["combinations"] = dict(gaps_phase(rec, server, t0, t1, l0, l1, (m0, m1)), cache=cache,
                             **launch_facts(subject, rec, server, launched_mark, rss))
    dump(rec, subject.label, round_no, "combinations")


def dump(rec, label, round_no, phase):
    folder = os.environ.get("BENCH_DUMP")
    if folder:
        os.makedirs(folder, exist_ok=True)
        rec.save(os.path.join(folder, "%s-r%d-%s.wav" % (re.sub(r"[^A-Za-z0-9]+", "-", label).strip("-"), round_no + 1, phase)))


def measure(subject, cfg, server, server_pid, work, round_no):
    r = {}
    run_phase(r, "keys", lambda: phase_keys(subject, cfg, server, server_pid, round_no, r))
    run_phase(r, "dense", lambda: phase_dense(subject, cfg, server, work, round_no, r))
    if "failed" in r["dense"]:
        r["load"] = r["dense"]
    run_phase(r, "combinations", lambda: phase_combinations(subject, cfg, server, work, round_no, r))
    if round_no < cfg.idle_rounds and "idle" not in r:
        r["idle"] = {"failed": "the keys phase failed before it"}
    return r


# ---- figures -------------------------------------------------------------------

PHASES = [("keys", "sparse keys"), ("dense", "dense score"), ("load", "dense + busy loops"),
          ("combinations", "combination every beat, cold font")]


def pct(values, p):
    if not values:
        return float("nan")
    v = sorted(values)
    return v[min(len(v) - 1, max(0, int(-(-p * len(v) // 1)) - 1))]


def mean(values):
    return sum(values) / len(values) if values else float("nan")


def buffer_text(buffers):
    """Start -> end frames, with when it changed."""
    if not buffers:
        return "? (no buffer line)"
    frames = [f for _, f in buffers]
    text = "%d" % frames[0]
    for t, f in buffers[1:]:
        text += " →%d@%.0fs" % (f, t)
    return text


def rate_cell(rows, phase):
    """Dropouts a minute over the rounds where the phase ran, with the load."""
    done = [r[phase] for r in rows if phase in r and "failed" not in r[phase]]
    failed = [r[phase] for r in rows if phase in r and "failed" in r[phase]]
    if not done:
        return "FAILED" if failed else "not run"
    minutes = sum(p["minutes"] for p in done)
    text = "%.1f (%d in %.2f min; L %.1f)" % (sum(p["gaps"] for p in done) / minutes, sum(p["gaps"] for p in done),
                                              minutes, mean([x for p in done for x in p["load"]]))
    if failed:
        text += " — %d of %d rounds FAILED" % (len(failed), len(rows))
    return text


def tlengths(p):
    """The queue lengths (ms) the server granted the stream, in order."""
    return [float(m.group(1)) for line in p.get("stream", []) for m in [re.search(r"Requested tlength=([\d.]+)", line)]
            if m]


def ends(rows, phase):
    return [p["buffers"][-1][1] for r in rows for p in [r.get(phase, {})] if p.get("buffers")]


def table(labels, results, cfg):
    print()
    print("| program | buffer frames × 2 start → end | presses | key → sound ms median / p95 / max (L) "
          "| dropouts/min: sparse keys | dense score | dense + %d busy loops | combination every beat, cold font "
          "| idle CPU %% program + server (L) | peak RSS MiB | launch → first sound ms warm / cold |" % (os.cpu_count()))
    print("|" + "---|" * 11)
    for label in labels:
        rows = results[label]
        keys = [r["keys"] for r in rows if "keys" in r and "failed" not in r["keys"]]
        lat = [x for p in keys for x in p["latency"]]
        if keys:
            key_cell = "%.1f / %.1f / %.1f (%d missed; L %.1f)" % (
                statistics.median(lat) if lat else float("nan"), pct(lat, 0.95), max(lat) if lat else float("nan"),
                sum(p["missed"] for p in keys), mean([x for p in keys for x in p["load"]]))
            if len(keys) < len(rows):
                key_cell += " — %d rounds FAILED" % (len(rows) - len(keys))
        else:
            key_cell = "FAILED"
        starts = sorted({p["buffers"][0][1] for r in rows for k, _ in PHASES for p in [r.get(k, {})]
                         if p.get("buffers")})
        end_all = [f for k, _ in PHASES for f in ends(rows, k)]
        buf_cell = "%s → %s" % ("/".join(map(str, starts)) or "?",
                                "/".join("%d" % f for f in sorted(set(end_all))) or "?")
        queues = [tlengths(r[k]) for r in rows for k, _ in PHASES if tlengths(r.get(k, {}))]
        if queues:
            buf_cell += " (server tlength %s → %s ms)" % (
                "/".join("%.1f" % q for q in sorted({q[0] for q in queues})),
                "/".join("%.1f" % q for q in sorted({q[-1] for q in queues})))
        idle = [r["idle"] for r in rows if "idle" in r]
        idle_ok = [i for i in idle if "failed" not in i]
        if idle_ok:
            idle_cell = "%.1f + %.1f (L %.1f)" % (mean([i["cpu"][0] for i in idle_ok]), mean([i["cpu"][1] for i in idle_ok]),
                                                  mean([x for i in idle_ok for x in i["load"]]))
        else:
            idle_cell = "FAILED" if idle else "not measured"
        rss = [p["rss"] for r in rows for k, _ in PHASES for p in [r.get(k, {})] if "rss" in p]
        warm = [r["dense"]["first_sound"] for r in rows if r.get("dense", {}).get("first_sound") is not None]
        cold = [r["combinations"]["first_sound"] for r in rows
                if r.get("combinations", {}).get("first_sound") is not None]
        first_cell = "%s / %s" % ("%.0f" % statistics.median(warm) if warm else "FAILED",
                                  "%.0f" % statistics.median(cold) if cold else "FAILED")
        print("| %s | %s | %d | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            label, buf_cell, sum(p["presses"] for p in keys), key_cell,
            rate_cell(rows, "keys"), rate_cell(rows, "dense"), rate_cell(rows, "load"),
            rate_cell(rows, "combinations"), idle_cell, "%.0f" % max(rss) if rss else "FAILED", first_cell))
    caches = sorted({r["combinations"]["cache"] for label in labels for r in results[label]
                     if "cache" in r.get("combinations", {})})
    print()
    print("Cold font before each combination phase: %s." % (" / ".join(caches) or "not reached"))
    print("Key → sound: dzq from the X key event taken (XTest + XSync), fluidsynth from its command line "
          "written, to the first frame of the note on the sink. Launch → first sound: dzq's includes closing "
          "its welcome dialog (Space as soon as it shows), fluidsynth's its font loading. Server tlength: the "
          "queue the server granted the stream, as its log says (fluidsynth asks one period, dzq both). "
          "%s" % ("On JACK the sound is taken from the playback ports at the start of the cycle that rendered "
                  "it (the driver's own buffer not counted, as a null sink's monitor does not count one)."
                  if SERVER == "jack" else "The sink's monitor is recorded with %d ms fragments." % RECORD_LATENCY_MS))
    print("Dropouts: runs of >= 8 frames of exact silence with sound on both sides. L: 1-minute load "
          "average (mean of each phase's start and end). %d round(s), alternating; per round %d key presses "
          "about %.1f s apart, then %d s of each score phase; idle CPU measured in %d round(s). The dense "
          "score: three voices, a chord every fourth note, a rhythm, a note every ~130 ms. %s" % (
              cfg.rounds, cfg.keys, cfg.key_gap, cfg.seconds, min(cfg.idle_rounds, cfg.rounds),
              "(BENCH_QUICK: a smoke run, not figures to judge.)" if cfg.quick else ""))


def raw(labels, results):
    print()
    print("Raw figures, round by round:")
    for label in labels:
        for n, r in enumerate(results[label]):
            print("%s, round %d: real-time threads after the keys %s, in the dense score %s; server %s" % (
                label, n + 1, ", ".join(r.get("rt_threads", [])) or "none",
                ", ".join(r.get("rt_threads_dense", [])) or "none", ", ".join(r.get("server_rt", [])) or "none"))
            if "idle" in r:
                i = r["idle"]
                print("  idle: %s" % (i["failed"] if "failed" in i else "%.1f %% + %.1f %% (load %.2f → %.2f)" % (
                    i["cpu"] + i["load"])))
            for key, name in PHASES:
                p = r.get(key)
                if p is None:
                    print("  %-36s not run" % name)
                    continue
                if "failed" in p:
                    print("  %-36s FAILED: %s" % (name, p["failed"]))
                    continue
                text = "%d dropouts in %.1f s, server underruns %d, load %.2f → %.2f, buffer %s" % (
                    p["gaps"], p["minutes"] * 60, p["server_underruns"], p["load"][0], p["load"][1],
                    buffer_text(p["buffers"]))
                if key == "keys":
                    lat = p["latency"]
                    text = "%d presses, %d missed, %s ms; " % (p["presses"], p["missed"], "%.1f / %.1f / %.1f" % (
                        statistics.median(lat), pct(lat, 0.95), max(lat)) if lat else "no onset") + text
                if key == "combinations":
                    text += "; cache: " + p["cache"]
                if p.get("first_sound") is not None and key in ("dense", "combinations"):
                    text += "; first sound %.0f ms" % p["first_sound"]
                print("  %-36s %s" % (name, text))
            print("  output: %s" % r.get("keys", r.get("dense", {})).get("output", "?"))
            if r.get("sink_inputs"):
                print("  streams (dense): %s" % "; ".join(r["sink_inputs"]))
            for key, name in PHASES[:2] + PHASES[3:]:
                if r.get(key, {}).get("stream"):
                    print("  server, %s launch: %s" % (name, "; ".join(r[key]["stream"])))


# ---- self-check of the onset and dropout detection ------------------------------

def self_check():
    def recording(samples):
        rec = Recorder(record=False)
        rec.data = bytearray(array.array("f", [v for s in samples for v in (s, s)]).tobytes())
        rec.arrivals = [(0, 0)]
        rec.stop()
        return rec

    second = int(1e9)
    tone = [0.2 if i % 2 else -0.2 for i in range(RATE // 10)]
    cases = [  # (what, samples, dropouts)
        ("8 silent frames inside a sound", tone + [0.0] * 8 + tone, 1),
        ("7 silent frames are too short", tone + [0.0] * 7 + tone, 0),
        ("two gaps", tone + [0.0] * 20 + tone + [0.0] * 500 + tone, 2),
        ("silence before the first sound", [0.0] * 2000 + tone, 0),
        ("silence after the last sound", tone + [0.0] * 2000, 0),
        ("a quiet tail is sound, not a gap", tone + [1e-6] * 500 + tone, 0),
    ]
    failed = 0
    for what, samples, want in cases:
        got = recording(samples).gaps(0, second)
        if got != want:
            print("FAIL %s: %d dropouts, want %d" % (what, got, want))
            failed += 1
    # Onsets: at the first frame above the threshold, also over a tail.
    quiet = [0.001 if i % 2 else -0.001 for i in range(RATE // 10)]
    for what, before, want in [("after silence", [0.0] * 4800, 4800), ("over a tail", quiet, 4800)]:
        rec = recording(before + tone)
        got = rec.onset_after(int((want - 24) * 1e9 / RATE))
        if got != want:
            print("FAIL onset %s: frame %s, want %d" % (what, got, want))
            failed += 1
    print("self-check: %d of %d cases failed" % (failed, len(cases) + 2))
    return failed == 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work")
    ap.add_argument("--server-pid", help="the server's process ids, by commas")
    ap.add_argument("--server-log")
    ap.add_argument("--server", default="pulse", choices=["pulse", "pipewire", "jack"])
    ap.add_argument("--period", type=int, default=128)
    ap.add_argument("--tap", help="bench_jack_tap, on a JACK server")
    ap.add_argument("--self-check", action="store_true")
    ap.add_argument("programs", nargs="*")
    a = ap.parse_args()
    if a.self_check:
        sys.exit(0 if self_check() else 1)

    global SERVER, PERIOD, TAP
    SERVER, PERIOD, TAP = a.server, a.period, a.tap
    server_pid = [int(p) for p in a.server_pid.split(",") if p]
    cfg = Settings()
    server = ServerLog(a.server_log)
    subjects = []
    for n, spec in enumerate(s.strip() for s in cfg.subjects.split(",") if s.strip()):
        if spec.startswith("fs"):
            frames = PERIOD if SERVER == "jack" else int(spec[2:])
            subjects.append(FluidCli(frames, "fluidsynth %s" % ("jack %d" % frames if SERVER == "jack" else "%d×2" % frames)))
        elif spec.startswith("dzq"):
            frames = int(spec[4:]) if spec.startswith("dzq@") else 0
            for b, binary in enumerate(a.programs):
                name = "dzq" if len(a.programs) == 1 else "dzq[%s]" % binary
                label = "%s %d×2 start" % (name, frames) if frames else "%s (fresh home)" % name
                subjects.append(Dzq(os.path.abspath(binary), a.work, 90 + 10 * n + b, frames, label))
        else:
            sys.exit("unknown subject %r in BENCH_SUBJECTS (dzq, dzq@FRAMES, fsFRAMES)" % spec)
    labels = [s.label for s in subjects]
    results = {label: [] for label in labels}
    print("server %s%s; sound font %s; cores %d; load at the start %.2f; uptime: %s" % (
        SERVER, "" if SERVER == "pulse" else " at %d frames" % PERIOD, FONT, os.cpu_count(), load_1min(),
        subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()), flush=True)
    if SERVER == "jack":
        probe = JackRecorder()
        probe.stop()
        print("recorder: %s" % probe.info, flush=True)
    for round_no in range(cfg.rounds):
        for s in subjects:
            print("round %d: %s ..." % (round_no + 1, s.label), file=sys.stderr, flush=True)
            results[s.label].append(measure(s, cfg, server, server_pid, a.work, round_no))

    print()
    print("the sound server alone, idle: %.1f %% of a core; load at the end %.2f; uptime: %s" % (
        idle_cpu(server_pid, server_pid, 5.0)[0], load_1min(),
        subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()))
    raw(labels, results)
    table(labels, results, cfg)


if __name__ == "__main__":
    main()
