#!/usr/bin/env python3
"""Checks the recordings that device_recordings made of a 1 kHz tone at half scale.

Each file must be accepted by soxi and ffprobe with the format it was recorded in, last as long
as the device ran (from the end of the open to the close, pauses left out, within 150 ms less
or 100 ms more), and hold the tone: SoX's rough frequency near 1000 Hz and a peak near 0.5. Prints one line per file and a closing line
'N passed, N failed'.
"""
import re
import subprocess
import sys
from pathlib import Path

ENCODINGS = {0: ("Unsigned Integer PCM", "pcm_u8"), 1: ("Signed Integer PCM", "pcm_s16le"),
             2: ("u-law", "pcm_mulaw"), 3: ("A-law", "pcm_alaw")}


def run(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout + \
        subprocess.run(args, capture_output=True, text=True).stderr


def field(text, pattern):
    m = re.search(pattern, text)
    return m.group(1) if m else None


def check(folder, name, channels, rate, sample_type, seconds, hz, problems):
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
    if not seconds - 0.15 <= duration <= seconds + 0.10:
        problems.append(f"lasts {duration:.3f} s for {seconds:.3f} s of running device")
    # The tone, from the second half of the file.
    stat = run("sox", path, "-n", "trim", f"{duration / 2}", "remix", "1", "stat")
    frequency = float(field(stat, r"Rough\s+frequency:\s*(-?\d+)") or 0)
    peak = float(field(stat, r"Maximum amplitude:\s*(-?[\d.]+)") or 0)
    if abs(frequency - hz) > 30:
        problems.append(f"frequency {frequency:.0f} Hz")
    if not 0.42 <= peak <= 0.56:
        problems.append(f"peak {peak:.3f}")
    return duration, frequency, peak


def main():
    folder = Path(sys.argv[1])
    passed = failed = 0
    for line in (folder / "manifest.txt").read_text().splitlines():
        name, channels, rate, sample_type, a, b, closed, *rest = line.split()
        hz = int(rest[0]) if rest else 1000
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
                                              recorded, hz, problems)
            if closed != "1":
                problems.append("Close reported a failure")
            summary = f"{duration:.3f} s for {recorded:.3f} s, {frequency:.0f} Hz, peak {peak:.3f}"
        status = "ok" if not problems else "FAILED: " + "; ".join(problems)
        print(f"{name}: {summary}: {status}")
        passed += not problems
        failed += bool(problems)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
