#!/usr/bin/env python3
"""Renders a few short pieces to WAV with the real program and compares them
with the renders kept in sound/, so that a change of sound is made on purpose
and seen, not by accident: a score (melody, chord), a rhythm pattern and an
edit file. A render passes when it is as long as its baseline, the error
signal lies at least 60 dB below it, and its RMS and peak are within 0.1 dB.

    sound_regression.py path/to/dzq            compare
    sound_regression.py path/to/dzq --update   write new baselines
"""
import array
import math
import os
import subprocess
import sys
import tempfile
import wave

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sound")
CASES = [("score.txt", "score.wav"), ("rhythm.txt", "rhythm.wav"), ("edit.lnk", "edit.wav")]
MIN_SNR_DB = 60.0
MAX_LEVEL_DB = 0.1


def samples(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise SystemExit(f"sound: FAIL: {path} is not 16-bit PCM")
        data = array.array("h", w.readframes(w.getnframes()))
        return data, w.getnchannels(), w.getframerate()


def level_db(value):
    """Decibels below full scale."""
    return 20 * math.log10(value / 32768) if value > 0 else -math.inf


def compare(name, got, want):
    (g, gch, grate), (w, wch, wrate) = samples(got), samples(want)
    if (gch, grate, len(g)) != (wch, wrate, len(w)):
        return f"{name}: {len(g) // gch} frames at {grate} Hz × {gch}, baseline {len(w) // wch} at {wrate} × {wch}"
    signal = sum(x * x for x in w)
    noise = sum((x - y) ** 2 for x, y in zip(g, w))
    snr = math.inf if noise == 0 else 10 * math.log10(signal / noise) if signal > 0 else -math.inf
    rms = [level_db(math.sqrt(sum(x * x for x in s) / max(1, len(s)))) for s in (g, w)]
    peak = [level_db(max((abs(x) for x in s), default=0)) for s in (g, w)]
    print(f"sound: {name}: SNR {snr:.1f} dB, RMS {rms[0]:.2f} / {rms[1]:.2f} dBFS, peak {peak[0]:.2f} / {peak[1]:.2f} dBFS")
    if snr < MIN_SNR_DB:
        return f"{name}: the render differs from its baseline (SNR {snr:.1f} dB < {MIN_SNR_DB} dB)"
    for what, (a, b) in (("RMS", rms), ("peak", peak)):
        if math.isfinite(a) != math.isfinite(b) or (math.isfinite(a) and abs(a - b) > MAX_LEVEL_DB):
            return f"{name}: {what} {a:.2f} dB, baseline {b:.2f} dB"
    return None


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    dzq, update = os.path.abspath(sys.argv[1]), "--update" in sys.argv[2:]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        for source, baseline in CASES:
            out = os.path.join(tmp, baseline)
            run = subprocess.run([dzq, "--render", os.path.join(HERE, source), "-o", out],
                                 env=env, cwd=tmp, capture_output=True, text=True, timeout=300)
            if run.returncode != 0:
                failures.append(f"{source}: the render ended with {run.returncode}: {run.stderr.strip()}")
                continue
            if update:
                os.replace(out, os.path.join(HERE, baseline))
                print(f"sound: {baseline} written")
                continue
            failure = compare(source, out, os.path.join(HERE, baseline))
            if failure:
                failures.append(failure)
    for failure in failures:
        print(f"sound: FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
