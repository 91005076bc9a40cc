#!/usr/bin/env python3
"""Checks the recordings that device_recordings made of a 1 kHz tone at half scale.

Each file must be accepted by soxi and ffprobe with the format it was recorded in, last as long
as the device ran (from the end of the open to the close, pauses left out, within 150 ms less
or 100 ms more than that and the time spent in the calls that start, pause, resume and stop it,
within which the device starts and stops), and hold the tone: SoX's rough frequency near 1000 Hz and a peak near 0.5. Prints one line per file and a closing line
'N passed, N failed'.
"""
import array
import math
import re
import subprocess
import sys
import wave
from pathlib import Path

ENCODINGS = {0: ("Unsigned Integer PCM", "pcm_u8"), 1: ("Signed Integer PCM", "pcm_s16le"),
             2: ("u-law", "pcm_mulaw"), 3: ("A-law", "pcm_alaw")}


def run(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout + \
        subprocess.run(args, capture_output=True, text=True).stderr


def field(text, pattern):
    m = re.search(pattern, text)
    return m.group(1) if m else None


def check(folder, name, channels, rate, sample_type, seconds, in_calls, hz, problems):
    path = str(folder / (name + ".wav"))
    soxi = run("soxi", path)
    probe = run("ffprobe", "-v", "error", "-show_entries",
                "stream=codec_name,channels,sample_rate,duration", "-of", "default=nw=1", path)
    encoding, codec = ENCODINGS[sample_type]
    if field(soxi, r"Channels\s*:\s*(\d+)") != str(channels):
        problems.append(f"soxi channels: {soxi}")
    if field(soxi, r"Sample Rate\s*:\s*(\d+)") != str(rate):
        problems.append("soxi rate")
    if encoding not in (field(soxi, r"Sample Encoding\s*:\s*(.+)") or ""):
        problems.append("soxi encoding")
    if field(probe, r"codec_name=(\w+)") != codec or field(probe, r"channels=(\d+)") != str(channels) \
            or field(probe, r"sample_rate=(\d+)") != str(rate):
        problems.append(f"ffprobe: {probe.strip()}")
    duration = float(field(probe, r"duration=([\d.]+)") or 0)
    if not seconds - 0.15 <= duration <= seconds + in_calls + 0.10:
        problems.append(f"lasts {duration:.3f} s for {seconds:.3f} s of running device "
                        f"and {in_calls:.3f} s in its calls")
    # The tone, from the second half of the file.
    stat = run("sox", path, "-n", "trim", f"{duration / 2}", "remix", "1", "stat")
    frequency = float(field(stat, r"Rough\s+frequency:\s*(-?\d+)") or 0)
    peak = float(field(stat, r"Maximum amplitude:\s*(-?[\d.]+)") or 0)
    if abs(frequency - hz) > 30:
        problems.append(f"frequency {frequency:.0f} Hz")
    if not 0.42 <= peak <= 0.56:
        problems.append(f"peak {peak:.3f}")
    return duration, frequency, peak


def tone_levels(samples, rate, start, count, frequencies):
    """The amplitude of each frequency in samples[start:start+count] (a Hann-windowed DFT bin)."""
    window = [0.5 - 0.5 * math.cos(2 * math.pi * i / count) for i in range(count)]
    levels = []
    for hz in frequencies:
        re_sum = im_sum = 0.0
        for i in range(count):
            value = samples[start + i] * window[i]
            re_sum += value * math.cos(2 * math.pi * hz * i / rate)
            im_sum -= value * math.sin(2 * math.pi * hz * i / rate)
        levels.append(2 * math.hypot(re_sum, im_sum) / sum(window))
    return levels


def check_sides(folder, name, channels, problems):
    """Both sides of a call: in stereo 1 kHz alone on the left and 1.5 kHz alone on the right; in
    mono both at half their level. Every 50 ms after the first 150 ms holds both tones (at half
    their level at least: a glitch of the system's input shifts a tone's phase within a piece);
    the least of a tone's level against what it should be, per channel."""
    with wave.open(str(folder / (name + ".wav"))) as w:
        rate, values = w.getframerate(), array.array("h", w.readframes(w.getnframes()))
    piece, worst = rate // 20, []
    for c in range(channels):
        samples = [v / 32768 for v in values[c::channels]]
        want = [(0.5, 0.0), (0.0, 0.5)][c] if channels == 2 else (0.25, 0.25)
        least = 1.0
        for start in range(3 * piece, len(samples) - piece, piece):
            for level, expected in zip(tone_levels(samples, rate, start, piece, (1000, 1500)), want):
                if not (0.5 * expected <= level <= 1.2 * expected if expected else level <= 0.005):
                    problems.append(f"channel {c} at {start / rate:.2f} s: {level:.4f} for {expected}")
                    return None
                least = min(least, level / expected) if expected else least
        worst.append(least)
    return worst


def main():
    folder = Path(sys.argv[1])
    passed = failed = 0
    for line in (folder / "manifest.txt").read_text().splitlines():
        name, channels, rate, sample_type, a, b, closed, *rest = line.split()
        hz = int(rest[0]) if rest else 1000
        in_calls = float(rest[1]) if len(rest) > 1 else 0.0
        problems = []
        if name == "loopback":
            if a != "refused":
                problems.append("the loopback of an output was not refused")
            summary = a
        elif name == "silenced":
            reason, after = a, float(b)
            if reason != "waits":
                problems.append(f"{reason}: the recording does not wait for its input")
            elif not 0 <= after <= 3.0:
                problems.append(f"the notice came {after:.2f} s after the input stopped")
            soxi = run("soxi", str(folder / "silenced.wav"))
            if "Sample Encoding" not in soxi:
                problems.append("soxi cannot read the file")
            summary = f"{reason} after {after:.2f} s"
        else:
            recorded = float(a)
            duration, frequency, peak = check(folder, name, int(channels), int(rate), int(sample_type),
                                              recorded, in_calls, hz, problems)
            if closed != "1":
                problems.append("Close reported a failure")
            summary = f"{duration:.3f} s for {recorded:.3f} s (+{in_calls:.3f} s in calls), " \
                      f"{frequency:.0f} Hz, peak {peak:.3f}"
            if name.startswith("both_"):
                problems = [p for p in problems if not p.startswith(("frequency", "peak"))]
                least = check_sides(folder, name, int(channels), problems)
                summary = f"{duration:.3f} s for {recorded:.3f} s, each side's tone throughout " \
                          f"(least {min(least or [0]):.2f} of its level)"
        status = "ok" if not problems else "FAILED: " + "; ".join(problems)
        print(f"{name}: {summary}: {status}")
        passed += not problems
        failed += bool(problems)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
