#!/usr/bin/env python3
"""Time ratios of vexa's kernels to their peers from one benchmark run.

    vexa_bench --benchmark_filter=... --benchmark_repetitions=5 \
        --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true --benchmark_format=csv > run.csv
    tools/bench_ratios.py run.csv

Reads the median rows of benchmarks named FUNCTION/WHO/SIZE and prints, per
function and size, each vexa_* time (microseconds) and its ratio to every
peer's time (below 1: vexa is faster).
"""
import collections
import csv
import re
import sys

rows = collections.defaultdict(dict)
for r in csv.reader(open(sys.argv[1])):
    m = re.match(r'(\w+)/(\w+)/(\d+)(/[a-z_]+)?_median', r[0].strip('"')) if r else None
    if m:
        rows[(m[1], int(m[3]))][m[2]] = float(r[2])
for (fn, n), times in sorted(rows.items()):
    peers = {k: v for k, v in times.items() if not k.startswith('vexa')}
    for who in sorted(k for k in times if k.startswith('vexa')):
        ratios = ' '.join(f'{p}={times[who] / t:.2f}' for p, t in sorted(peers.items()))
        print(f'{fn:10s} {n:>9d} {who:8s} {times[who]:10.1f}  {ratios}')
