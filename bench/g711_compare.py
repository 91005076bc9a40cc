#!/usr/bin/env python3
"""G.711 encoding: Sonarix's encoders next to SoX's and FFmpeg's, on the same samples.

Each tool's cost per sample is its encode time minus its plain copy of the same input, so
process start-up and file I/O cancel out. Usage: g711_compare.py BUILD_DIR
"""
import json
import os
import random
import subprocess
import sys
import tempfile
import time

SAMPLES = 64 * 1024 * 1024
RUNS = 3


def best_time(command):
    best = None
    for _ in range(RUNS):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    build = sys.argv[1]
    result = subprocess.run([os.path.join(build, "bench", "g711_bench"), "--benchmark_format=json",
                             "--benchmark_filter=BM_(MuLaw|ALaw)$", "--benchmark_repetitions=3",
                             "--benchmark_report_aggregates_only=true"],
                            check=True, capture_output=True, text=True)
    ours = {}
    for b in json.loads(result.stdout)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            # The counter is in seconds per sample.
            ours["mu-law" if "MuLaw" in b["run_name"] else "a-law"] = b["ns_per_sample"] * 1e9

    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "in.raw")
        with open(raw, "wb") as f:
            f.write(random.Random(711).randbytes(SAMPLES * 2))
        sox_in = ["sox", "-D", "-t", "raw", "-r", "48000", "-e", "signed", "-b", "16", "-c", "1", raw]
        ff_in = ["ffmpeg", "-v", "error", "-f", "s16le", "-ar", "48000", "-ac", "1", "-i", raw]
        sox_copy = best_time(sox_in + ["-t", "raw", "-e", "signed", "-b", "16", "/dev/null"])
        ff_copy = best_time(ff_in + ["-c:a", "pcm_s16le", "-f", "null", "-"])
        tools = {}
        for law, sox_name, ff_codec in (("mu-law", "mu-law", "pcm_mulaw"), ("a-law", "a-law", "pcm_alaw")):
            sox = best_time(sox_in + ["-t", "raw", "-e", sox_name, "-b", "8", "/dev/null"]) - sox_copy
            ff = best_time(ff_in + ["-c:a", ff_codec, "-f", "null", "-"]) - ff_copy
            tools[law] = (max(sox, 0) * 1e9 / SAMPLES, max(ff, 0) * 1e9 / SAMPLES)

    print(f"{'law':8} {'Sonarix':>10} {'SoX':>10} {'FFmpeg':>10} {'SoX/Sonarix':>12} {'FFmpeg/Sonarix':>15}")
    for law in ("mu-law", "a-law"):
        sox, ff = tools[law]
        mine = ours[law]
        print(f"{law:8} {mine:9.3f}n {sox:9.3f}n {ff:9.3f}n {sox / mine:12.1f} {ff / mine:15.1f}")
    print("(ns per sample; a ratio above 1 means Sonarix is faster)")


if __name__ == "__main__":
    main()
