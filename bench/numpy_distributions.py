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


def covariance(d):
    # T'T for the factor of bench_rng_distributions.cpp.
    t = np.zeros((d, d))
    for j in range(d):
        for i in range(j + 1):
            t[i, j] = 1.0 + 0.1 * i if i == j else 0.3 / (1 + j - i)
    return t.T @ t


MV = {10: covariance(10), 100: covariance(100)}
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
    'dGamma0p5': lambda: g.gamma(0.5, 1.0, N),
    'dGamma2p5': lambda: g.gamma(2.5, 1.0, N),
    'dGamma100': lambda: g.gamma(100.0, 1.0, N),
    'dBeta0p5_0p5': lambda: g.beta(0.5, 0.5, N),
    'dBeta2_3': lambda: g.beta(2.0, 3.0, N),
    'dBeta50_50': lambda: g.beta(50.0, 50.0, N),
    'iPoisson5': lambda: g.poisson(5.0, N),
    'iPoisson100': lambda: g.poisson(100.0, N),
    'iBinomial100_0p3': lambda: g.binomial(100, 0.3, N),
    'iBinomial1e6_0p3': lambda: g.binomial(1000000, 0.3, N),
    'iBinomial20_0p2': lambda: g.binomial(20, 0.2, N),
    'iGeometric0p1': lambda: g.geometric(0.1, N),
    'iUniform0_1000': lambda: g.integers(0, 1000, N),
    'dGaussianMV10': lambda: g.multivariate_normal(np.ones(10), MV[10], N // 10, method='cholesky'),
    'dGaussianMV100': lambda: g.multivariate_normal(np.ones(100), MV[100], N // 100, method='cholesky'),
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
