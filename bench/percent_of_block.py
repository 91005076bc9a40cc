#!/usr/bin/env python3
"""Prints each benchmark of a Google Benchmark JSON report as the cost of one 40 ms block: the
time it takes, and that time as a plain percentage of the 40 ms the block lasts.
  percent_of_block.py REPORT.json
"""
import json
import sys

UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}

report = json.load(open(sys.argv[1]))
for run in report["benchmarks"]:
    if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
        continue
    seconds = run["real_time"] * UNITS[run.get("time_unit", "ns")]
    print(f"{run['name']}: {seconds * 1e6:.2f} µs a block, {100 * seconds / 0.040:.4f} % of 40 ms")
