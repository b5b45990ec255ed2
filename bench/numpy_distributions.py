#!/usr/bin/python3
"""NumPy's Generator (PCG64) on the continuous distributions: nanoseconds per
value over 10^7 values, the median of interleaved repetitions, in the names
of bench_rng_distributions.cpp (DISTRIBUTION/numpy).

    /usr/bin/python3 bench/numpy_distributions.py [repetitions]
"""
import statistics
import sys
import time

import numpy as np

N = 10_000_000
g = np.random.default_rng(7)
out = np.empty(N)
cases = {
    'dGaussianBM2': lambda: g.standard_normal(N, out=out),
    'dGaussianNormal': lambda: g.normal(0.0, 1.0, N),
    'dExponential': lambda: g.standard_exponential(N, out=out),
    'dLognormal': lambda: g.lognormal(0.0, 1.0, N),
    'dGumbel': lambda: g.gumbel(0.0, 1.0, N),
    'dLaplace': lambda: g.laplace(0.0, 1.0, N),
    'dWeibull': lambda: g.weibull(2.5, N),
    'dCauchy': lambda: g.standard_cauchy(N),
    'dRayleigh': lambda: g.rayleigh(1.0, N),
    'dUniform': lambda: g.random(N, out=out),
}
reps = int(sys.argv[1]) if len(sys.argv) > 1 else 5
times = {k: [] for k in cases}
for _ in range(reps):
    for k, f in cases.items():
        t = time.perf_counter()
        f()
        times[k].append((time.perf_counter() - t) / N * 1e9)
for k, v in times.items():
    print(f'{k}/numpy {statistics.median(v):.3f} ns')
