"""Cross-check of the data-fitting entries against SciPy and NumPy, through
ctypes: cubic splines with not-a-knot, natural, clamped, second-derivative
and periodic ends against scipy.interpolate.CubicSpline (values, derivatives,
integrals), Akima splines against Akima1DInterpolator, and cells against
numpy.searchsorted. Usage: scipy_crosscheck.py path/to/libvexa_arx_avx2.so"""
import ctypes as C
import sys

import numpy as np
from scipy.interpolate import Akima1DInterpolator, CubicSpline

lib = C.CDLL(sys.argv[1])
P = C.POINTER
D = P(C.c_double)
I64 = C.c_int64
VP = C.c_void_p

lib.vexa_df_kernel_dNewTask1D.argtypes = [P(VP), I64, D, I64, I64, D, I64, I64]
lib.vexa_df_kernel_dEditPPSpline1D.argtypes = [VP, I64, I64, I64, D, I64, D, D, I64]
lib.vexa_df_kernel_DeleteTask.argtypes = [P(VP)]
for name in ("Natural", "Akima"):
    getattr(lib, "vexa_df_kernel_dDF%sCubicSpline1D" % name).argtypes = [VP, I64, VP]
lib.vexa_df_kernel_dDFInterpolate1D.argtypes = [VP, I64, I64, I64, D, I64, I64, VP, D, D, I64, VP] + [VP] * 9
lib.vexa_df_kernel_dDFIntegrate1D.argtypes = [VP, I64, I64, D, I64, D, I64, D, D, D, I64] + [VP] * 9
lib.vexa_df_kernel_dDFSearch1D.argtypes = [VP, I64, D, I64, D, VP, VP, VP, VP]

def ptr(a):
    return a.ctypes.data_as(D)

failures = []

def check(name, got, want, tol):
    err = np.max(np.abs(got - want) / (1 + np.abs(want)))
    print("%-40s max relative error %.3g" % (name, err))
    if not err <= tol:
        failures.append(name)

def spline(x, y, build, stype, bc_type, bc=None):
    task = VP()
    assert lib.vexa_df_kernel_dNewTask1D(C.byref(task), len(x), ptr(x), 0, 1, ptr(y), 0, 0) == 0
    coeff = np.zeros(4 * (len(x) - 1))
    bcp = ptr(bc) if bc is not None else None
    assert lib.vexa_df_kernel_dEditPPSpline1D(task, 4, stype, bc_type, bcp, 0, None, ptr(coeff), 0) == 0
    assert build(task, 0, None) == 0
    return task, coeff

def interpolate(task, sites):
    flags = (C.c_int32 * 4)(1, 1, 1, 0)
    r = np.zeros(3 * len(sites))
    assert lib.vexa_df_kernel_dDFInterpolate1D(task, 0, 0, len(sites), ptr(sites), 0, 4, flags, None, ptr(r), 16,
                                               None, *([None] * 9)) == 0
    return r.reshape(-1, 3)

def integrate(task, a, b):
    r = np.zeros(len(a))
    assert lib.vexa_df_kernel_dDFIntegrate1D(task, 0, len(a), ptr(a), 0, ptr(b), 0, None, None, ptr(r), 0,
                                             *([None] * 9)) == 0
    return r

rng = np.random.default_rng(7)
x = np.cumsum(rng.uniform(0.2, 1.2, 60))
y = np.sin(x) + 0.05 * x * x
y[-1] = y[0]  # closes, for the periodic case
sites = np.sort(rng.uniform(x[0], x[-1], 2000))
a = rng.uniform(x[0], x[-1], 300)
b = rng.uniform(x[0], x[-1], 300)
natural = lib.vexa_df_kernel_dDFNaturalCubicSpline1D
cases = [
    ("not-a-knot", 1, None, "not-a-knot"),
    ("natural", 2, None, "natural"),
    ("clamped", 12, np.array([0.3, -0.7]), ((1, 0.3), (1, -0.7))),
    ("second derivatives", 48, np.array([1.5, -2.0]), ((2, 1.5), (2, -2.0))),
    ("periodic", 64, np.array([0.0, 0.0]), "periodic"),
]
for name, bct, bc, scipy_bc in cases:
    task, _ = spline(x, y, natural, 2, bct, bc)
    ref = CubicSpline(x, y, bc_type=scipy_bc)
    r = interpolate(task, sites)
    for d in range(3):
        check("cubic %s, derivative %d" % (name, d), r[:, d], ref(sites, d), 1e-9)
    check("cubic %s, integrals" % name, integrate(task, a, b), np.array([ref.integrate(p, q) for p, q in zip(a, b)]), 1e-9)
    lib.vexa_df_kernel_DeleteTask(C.byref(task))

task, _ = spline(x, y, lib.vexa_df_kernel_dDFAkimaCubicSpline1D, 3, 0)
r = interpolate(task, sites)
ref = Akima1DInterpolator(x, y)
for d in range(2):
    check("akima, derivative %d" % d, r[:, d], ref(sites, d), 1e-9)

# Cells: the number of points at or below the site (searchsorted on the
# right), the last point itself in cell nx - 1.
s = np.concatenate([rng.uniform(x[0] - 5, x[-1] + 5, 5000), x, [x[0] - 1, x[-1] + 1]])
cells = np.zeros(len(s), dtype=np.int32)
assert lib.vexa_df_kernel_dDFSearch1D(task, len(s), ptr(s), 0, None, cells.ctypes.data_as(VP), None, None, None) == 0
want = np.searchsorted(x, s, side="right")
want[s == x[-1]] = len(x) - 1
bad = int(np.sum(cells != want))
print("%-40s %d of %d differ" % ("cells against searchsorted", bad, len(s)))
if bad:
    failures.append("cells")
lib.vexa_df_kernel_DeleteTask(C.byref(task))

if failures:
    print("FAILED:", ", ".join(failures))
    sys.exit(1)
print("all cross-checks agree")
