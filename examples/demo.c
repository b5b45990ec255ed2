/* A tour of the library as a front-end uses it: the processor generation, the
 * thread's mode and its entry-table slot, kernels called through their entry
 * tables and stubs, the error path with a user callback, errno and printed
 * messages, and the service layer's thread pool running kernels in parallel. */
#include <errno.h>
#include <float.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "vexa/data_fitting.h"
#include "vexa/primitives.h"
#include "vexa/random.h"
#include "vexa/rng_distributions.h"
#include "vexa/service.h"
#include "vexa/statistics.h"
#include "vexa/vector_math.h"

static int reported;

static int on_error(ErrorContext* ctx) {
    printf("  callback: %.*s element %d status %d, arguments (%g%+gi, %g%+gi), result %g%+gi\n",
           ctx->func_name_len, ctx->func_name, ctx->index, ctx->status, ctx->arg1, ctx->arg1_im, ctx->arg2,
           ctx->arg2_im, ctx->res1, ctx->res1_im);
    ++reported;
    return 0; /* go on: standard handler, then the result is written back */
}

enum { kChunk = 1 << 16, kChunks = 64 };
static double xs[kChunk * kChunks], ys[kChunk * kChunks], zs[kChunk * kChunks];

/* One chunk of a large sum per iteration of the pool. */
static void add_chunk(int i, int t, int count, void* context) {
    (void)t;
    (void)count;
    (void)context;
    const long off = (long)i * kChunk;
    vexa_arx_kernel_dAdd_ttab[vexa_arx_kernel_GetTTableIndex()](kChunk, xs + off, ys + off, zs + off);
}

int main(void) {
    printf("libvexa_arx_avx2 demo\n");
    printf("processor generation served: %d\n", dll_cpu_version());
    const unsigned mode = vexa_arx_kernel_GetMode();
    printf("thread mode 0x%X (from VEXA_VM_MODE or the default), entry-table slot %d\n", mode,
           vexa_arx_kernel_GetTTableIndex());

    /* Real kernels through the slot of the thread's accuracy and through a stub. */
    const double a[6] = {-2.5, -0.0, 1.0, 3.25, -1e308, 5e-324};
    const double b[6] = {1.0, 2.0, 3.0, 4.0, -1e308, 5e-324};
    double r[6];
    vexa_arx_kernel_dAbs_ttab[vexa_arx_kernel_GetTTableIndex()](6, a, r);
    printf("dAbs : ");
    for (int i = 0; i < 6; ++i) printf("%g ", r[i]);
    _arxdMul_50(6, a, b, r); /* stub of the LA slot */
    printf("\ndMul : ");
    for (int i = 0; i < 6; ++i) printf("%g ", r[i]);
    printf("\n");

    /* Complex kernels: conjugates, and an overflowing sum reported to a callback. */
    const VexaComplex8 c1[3] = {{1, 2}, {FLT_MAX, 0}, {3, -4}};
    const VexaComplex8 c2[3] = {{0.5f, 0.5f}, {FLT_MAX, 1}, {INFINITY, 1}};
    VexaComplex8 cr[3];
    _arxcConj(3, c1, cr);
    printf("cConj: (%g%+gi) (%g%+gi) (%g%+gi)\n", cr[0].re, cr[0].im, cr[1].re, cr[1].im, cr[2].re, cr[2].im);
    vexa_arx_kernel_SetErrorCallBack(on_error);
    errno = 0;
    printf("cAdd with an overflowing element (HA slot, which reports):\n");
    _arxcAdd(3, c1, c2, cr);
    printf("  status word %d, errno %d (%s), %d report(s); the infinite operand in element 2 is not an overflow\n",
           vexa_arx_kernel_GetErrStatus(), errno, strerror(errno), reported);
    vexa_arx_kernel_ClearErrStatus();
    _arxcAdd_11(3, c1, c2, cr); /* EP slot: same sums, no report */
    printf("cAdd through the EP stub: status word %d, result (%g%+gi)\n", vexa_arx_kernel_GetErrStatus(), cr[1].re,
           cr[1].im);

    /* The standard handler prints numbered messages under ERRMODE_STDERR. */
    vexa_arx_kernel_ClearErrorCallBack();
    const unsigned old = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_STDERR | VEXA_VM_ERRMODE_ERRNO);
    printf("the same sum with ERRMODE_STDERR prints through the service layer:\n");
    fflush(stdout);
    _arxcAdd(3, c1, c2, cr);
    vexa_arx_kernel_SetMode(old);

    /* Transcendental kernels in each accuracy, with the special values' statuses. */
    {
        const double x[6] = {1.0, 0.5, 700.0, 1e-310, 0.0, -1.0};
        double e[6], l[6];
        vexa_arx_kernel_ClearErrStatus();
        for (int slot = 0; slot < 3; ++slot) {
            vexa_arx_kernel_dExp_ttab[slot](6, x, e);
            printf("dExp slot %d (%s): ", slot, slot == 0 ? "LA" : slot == 1 ? "HA" : "EP");
            for (int i = 0; i < 6; ++i) printf("%.17g ", e[i]);
            printf("\n");
        }
        errno = 0;
        _arxdLn(6, x, l);
        printf("dLn  (HA stub):  ");
        for (int i = 0; i < 6; ++i) printf("%.17g ", l[i]);
        printf("\n  ln(0) and ln(-1) set the status word to %d (last one: domain) and errno to %d\n",
               vexa_arx_kernel_GetErrStatus(), errno);
        const float xf[4] = {88.0f, 89.0f, -90.0f, 1.0f};
        float ef[4];
        vexa_arx_kernel_ClearErrStatus();
        _arxsExp_11(4, xf, ef); /* EP stub */
        printf("sExp (EP stub): %g %g %g %g, status word %d (underflow, the last failing element)\n", ef[0], ef[1],
               ef[2], ef[3], vexa_arx_kernel_GetErrStatus());
    }

    /* Inverse square roots, and the radix sort primitives. */
    {
        const float x[5] = {4.0f, 0.25f, 2.0f, 0.0f, -1.0f};
        float y[5];
        vexa_arx_kernel_ClearErrStatus();
        _arxsInvSqrt(5, x, y);
        printf("sInvSqrt: %g %g %.9g %g %g, status word %d\n", y[0], y[1], y[2], y[3], y[4],
               vexa_arx_kernel_GetErrStatus());
        float keys[8] = {3.5f, -0.0f, -2.0f, 0.0f, INFINITY, -INFINITY, 1e-45f, -7.25f}, buf[8];
        int32_t order[8], ibuf[8];
        vexa_dft_avx2_zubsSortRadixIndexDescend_32f(keys, sizeof(float), order, ibuf, 8);
        vexa_dft_avx2_zubsSortRadixAscend_32f_I(keys, buf, 8);
        printf("radix sort ascending: ");
        for (int i = 0; i < 8; ++i) printf("%g ", keys[i]);
        printf("\nindex sort descending (of the unsorted keys): ");
        for (int i = 0; i < 8; ++i) printf("%d ", order[i]);
        printf("\n");
    }

    /* Summary statistics of three variables, fed in two calls: moments,
     * correlation (packed upper), quantiles, and a streaming median. */
    {
        enum { N = 1000 };
        static double x[3 * N];
        for (int j = 0; j < N; ++j) {
            const double u = (double)((j * 7919) % N) / N;
            x[3 * j] = u, x[3 * j + 1] = 2 * u + 0.1 * sin(j), x[3 * j + 2] = u * u * u;
        }
        int32_t p = 3, n = N / 2, storage = VEXA_SS_COLUMNS, packed = VEXA_SS_MATRIX_UPPER_PACKED, m = 3, one = 1;
        double mean[3], var[3], skew[3], cor[6], acc[2] = {0, 0}, orders[3] = {0.1, 0.5, 0.9}, q[9], med[3], eps = 0.01;
        const ThreadingTable* pool = vexa_serv_threading_table();
        SSTask* task = NULL;
        __tqrdSSNewTask(&task, &p, &n, &storage, x, NULL, NULL, 0);
        __tqrdSSEditMoments(task, mean, NULL, NULL, NULL, var, NULL, NULL);
        __tqrdSSEditTask(task, 15, skew);
        __tqrdSSEditCovCor(task, NULL, NULL, NULL, cor, &packed);
        __tqrdSSEditTask(task, 23, acc);
        const int64_t est = 0x1 | 0x10 | 0x100 | 0x2000;
        int st = _tqrdSSBasic(task, est, 0x2, pool);
        task->x = x + 3 * (N / 2); /* the second half continues the first */
        st |= _tqrdSSBasic(task, est, 0x2, pool);
        printf("basic statistics (status %d) over %g observations in two calls:\n", st, acc[0]);
        for (int i = 0; i < 3; ++i) printf("  var %d: mean %.6f variance %.6f skewness %+.4f\n", i, mean[i], var[i], skew[i]);
        printf("  correlation (packed upper): %.4f %.4f %.4f / %.4f %.4f / %.4f\n", cor[0], cor[1], cor[2], cor[3],
               cor[4], cor[5]);
        n = N;
        task->x = x;
        __tqrdSSEditQuantiles(task, &m, orders, q, NULL, NULL);
        st = _tqrdSSQuantiles(task, 0x10000, 0x1, pool);
        __tqrdSSEditStreamQuantiles(task, &one, orders + 1, med, &one, &eps);
        st |= _tqrdSSStreamQuantiles(task, 0, 0x80, pool);
        printf("  quantiles 0.1/0.5/0.9 of var 0: %.4f %.4f %.4f; streaming median (eps 0.01): %.4f (status %d)\n",
               q[0], q[1], q[2], med[0], st);
        __tqrSSDeleteTask(&task);
    }

    /* Random streams: three generators, a leapfrogged stream and a skip-ahead. */
    {
        const uint32_t seed = 777;
        StreamState *mcg = NULL, *mrg = NULL, *wh = NULL, *part = NULL;
        double u[6], v[3];
        __tqrNewStreamEx(&mcg, 0x100000, 1, &seed);
        __tqrNewStreamEx(&mrg, 0x300000, 1, &seed);
        __tqrNewStreamEx(&wh, 0x500000 + 272, 1, &seed);
        __tqrdBRngMCG31M1(mcg, 6, u, 0.0, 1.0);
        printf("MCG31M1 from seed 777: %.6f %.6f %.6f %.6f %.6f %.6f\n", u[0], u[1], u[2], u[3], u[4], u[5]);
        __tqrNewStreamEx(&part, 0x100000, 1, &seed);
        __tqrLeapfrogStream(part, 1, 2);
        __tqrdBRngMCG31M1(part, 3, v, 0.0, 1.0);
        printf("  its leapfrog (1 of 2): %.6f %.6f %.6f (the 2nd, 4th and 6th above)\n", v[0], v[1], v[2]);
        __tqrSkipAheadStream(mrg, 1000000000000LL);
        __tqrdBRngMRG32K3A(mrg, 3, v, -1.0, 1.0);
        printf("MRG32K3A after skipping 10^12 values, on [-1, 1): %.9f %.9f %.9f\n", v[0], v[1], v[2]);
        __tqrdBRngWH(wh, 3, v, 0.0, 1.0);
        printf("Wichmann-Hill set 272 (moduli %u ...): %.9f %.9f %.9f\n", _tqr_WH_M[272][0], v[0], v[1], v[2]);
        __tqrDeleteStream(&mcg);
        __tqrDeleteStream(&mrg);
        __tqrDeleteStream(&wh);
        __tqrDeleteStream(&part);
    }

    /* The twisters: MT19937 skipped by 2^60 values through its characteristic
     * polynomial, saved to memory and reloaded; SFMT19937 and an MT2203 set. */
    {
        const uint32_t key[4] = {0x123, 0x234, 0x345, 0x456};
        StreamState *mt = NULL, *copy = NULL, *sfmt = NULL, *set = NULL;
        uint32_t w[3], c[3];
        __tqrNewStreamEx(&mt, 0x800000, 4, key);
        __tqriBRngMT19937(mt, 3, w);
        printf("MT19937 by key array {0x123, 0x234, 0x345, 0x456}: %u %u %u\n", w[0], w[1], w[2]);
        __tqrSkipAheadStream(mt, 1LL << 60);
        char* image = (char*)vexa_serv_allocate((size_t)__tqrGetStreamSize(mt), 64);
        int st = __tqrSaveStreamM(mt, image);
        st |= __tqrLoadStreamM(&copy, image);
        __tqriBRngMT19937(mt, 3, w);
        __tqriBRngMT19937(copy, 3, c);
        printf("  after 2^60 more: %u %u %u; its reloaded %d-byte image: %u %u %u (status %d)\n", w[0], w[1], w[2],
               (int)__tqrGetStreamSize(mt), c[0], c[1], c[2], st);
        vexa_serv_deallocate(image);
        __tqrNewStreamEx(&sfmt, 0xD00000, 4, key);
        __tqriBRngSFMT19937(sfmt, 3, w);
        printf("SFMT19937 by the same key: %u %u %u\n", w[0], w[1], w[2]);
        __tqrNewStreamEx(&set, 0x900000 + 6023, 4, key);
        __tqriBRngMT2203(set, 3, w);
        printf("MT2203 set 6023 (a = 0x%08X): %u %u %u\n", _tqr_mt2203_table[6023][0], w[0], w[1], w[2]);
        __tqrDeleteStream(&mt);
        __tqrDeleteStream(&copy);
        __tqrDeleteStream(&sfmt);
        __tqrDeleteStream(&set);
    }

    /* Distributions: normal values by Box-Muller pairs from MT19937 and by
     * the inverse CDF on MCG31M1's vector engines, exponential and Cauchy
     * values; sample moments beside the exact ones. */
    {
        enum { N = 100000 };
        static double g[N];
        const uint32_t seed = 2026;
        StreamState *mt = NULL, *mcg = NULL;
        __tqrNewStreamEx(&mt, 0x800000, 1, &seed);
        __tqrNewStreamEx(&mcg, 0x100000, 1, &seed);
        const char* what[3] = {"Gaussian(1, 2), Box-Muller pairs, MT19937", "Gaussian(1, 2), inverse CDF, MCG31M1 engines",
                               "Exponential(0, 3), MT19937"};
        for (int k = 0; k < 3; ++k) {
            const int st = k == 0   ? _tqrdRngGaussian(VEXA_RNG_GAUSSIAN_BOXMULLER2, mt, N, g, 1.0, 2.0)
                           : k == 1 ? _tqrdRngGaussian(VEXA_RNG_GAUSSIAN_ICDF, mcg, N, g, 1.0, 2.0)
                                    : _tqrdRngExponential(0, mt, N, g, 0.0, 3.0);
            double m = 0, v = 0;
            for (int i = 0; i < N; ++i) m += g[i];
            m /= N;
            for (int i = 0; i < N; ++i) v += (g[i] - m) * (g[i] - m);
            printf("%s: mean %.4f, deviation %.4f over %d values (status %d)\n", what[k], m, sqrt(v / (N - 1)), N, st);
        }
        int below = 0;
        _tqrdRngCauchy(0, mt, N, g, 0.0, 1.0);
        for (int i = 0; i < N; ++i) below += g[i] < 1.0;
        printf("Cauchy(0, 1): %.4f of the values below 1 (exactly 0.75)\n", (double)below / N);
        __tqrDeleteStream(&mt);
        __tqrDeleteStream(&mcg);
    }

    /* Data fitting: a not-a-knot cubic spline of sin on 12 points, values and
     * first derivatives at a few sites, and its integral over [0, pi]. */
    {
        enum { NX = 12 };
        double x[NX], y[NX], coeff[4 * (NX - 1)], sites[4] = {0.3, 1.0, 2.0, 3.0}, r[8], lo = 0.0, hi = M_PI, area;
        for (int i = 0; i < NX; ++i) x[i] = i * M_PI / (NX - 1), y[i] = sin(x[i]);
        DfTask* task = NULL;
        vexa_df_kernel_dNewTask1D(&task, NX, x, 0, 1, y, 0, 0);
        vexa_df_kernel_dEditPPSpline1D(task, 4, 2, 1, NULL, 0, NULL, coeff, 0);
        int st = vexa_df_kernel_dDFNaturalCubicSpline1D(task, 0, NULL);
        const int32_t orders[2] = {1, 1};
        st |= vexa_df_kernel_dDFInterpolate1D(task, 0, 0, 4, sites, 0, 2, orders, NULL, r, 16, NULL, NULL, NULL, NULL,
                                              NULL, NULL, NULL, NULL, NULL, NULL);
        st |= vexa_df_kernel_dDFIntegrate1D(task, 0, 1, &lo, 0, &hi, 0, NULL, NULL, &area, 0, NULL, NULL, NULL, NULL,
                                            NULL, NULL, NULL, NULL, NULL);
        printf("spline of sin (status %d):", st);
        for (int k = 0; k < 4; ++k) printf(" s(%.1f) = %.6f (sin %.6f), s' = %.6f (cos %.6f);", sites[k], r[2 * k], sin(sites[k]), r[2 * k + 1], cos(sites[k]));
        printf("\n  integral over [0, pi] = %.8f (exactly 2)\n", area);
        vexa_df_kernel_DeleteTask(&task);
    }

    /* A large vector in pieces on the thread pool, each piece a kernel call. */
    for (long i = 0; i < (long)kChunk * kChunks; ++i) xs[i] = (double)i, ys[i] = 0.5;
    const ThreadingTable* tt = vexa_serv_threading_table();
    tt->parallel_for(kChunks, 0, NULL, add_chunk);
    int ok = 1;
    for (long i = 0; i < (long)kChunk * kChunks; ++i) ok &= zs[i] == (double)i + 0.5;
    printf("dAdd of %d elements in %d pieces on %d pool thread(s): %s\n", kChunk * kChunks, kChunks,
           tt->max_threads(), ok ? "correct" : "WRONG");
    return ok ? 0 : 1;
}
