// The division, square-root, rounding and exact families and pack/unpack
// against plain compiler-vectorised loops of the same operation, in cache
// (1024 and 8192 elements) and streamed (16M elements, where the memory
// bandwidth of the access pattern is the floor: bandwidth/1r1w, 2r1w, 1r2w).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "vexa/vector_math.h"

namespace {

template <class T> struct Data {
    explicit Data(long n_) : n(n_), a(n), b(n), r(n), r2(n) {
        for (long i = 0; i < n; ++i) a[i] = T(i % 97) * T(1.03125) + T(0.3), b[i] = T(0.25) * T(i % 13) + T(1.5);
    }
    long n;
    std::vector<T> a, b, r, r2;
};
template <class T> void done(benchmark::State& st, long n) { st.SetItemsProcessed(st.iterations() * n); }

template <class T, void (*K)(int, const T*, T*)> void Unary(benchmark::State& st) {
    Data<T> x(st.range(0));
    for (auto _ : st) {
        K(int(x.n), x.a.data(), x.r.data());
        benchmark::ClobberMemory();
    }
    done<T>(st, x.n);
}
template <class T, void (*K)(int, const T*, const T*, T*)> void Binary(benchmark::State& st) {
    Data<T> x(st.range(0));
    for (auto _ : st) {
        K(int(x.n), x.a.data(), x.b.data(), x.r.data());
        benchmark::ClobberMemory();
    }
    done<T>(st, x.n);
}
template <class T, void (*K)(int, const T*, T*, T*)> void Unary2(benchmark::State& st) {
    Data<T> x(st.range(0));
    for (auto _ : st) {
        K(int(x.n), x.a.data(), x.r.data(), x.r2.data());
        benchmark::ClobberMemory();
    }
    done<T>(st, x.n);
}
template <class T, void (*K)(int, const T*, const T*, T, T, T, T, T*)> void LinearFrac(benchmark::State& st) {
    Data<T> x(st.range(0));
    for (auto _ : st) {
        K(int(x.n), x.a.data(), x.b.data(), T(1.5), T(0.25), T(0.5), T(2), x.r.data());
        benchmark::ClobberMemory();
    }
    done<T>(st, x.n);
}

// Plain loops of the same operations.
#define PLAIN1(name, expr)                                                                              \
    template <class T> __attribute__((noinline)) void name(int n, const T* __restrict a, T* __restrict r) { \
        for (int i = 0; i < n; ++i) r[i] = expr;                                                        \
    }
#define PLAIN2(name, expr)                                                                                   \
    template <class T>                                                                                       \
    __attribute__((noinline)) void name(int n, const T* __restrict a, const T* __restrict b, T* __restrict r) { \
        for (int i = 0; i < n; ++i) r[i] = expr;                                                             \
    }
PLAIN1(plain_sqrt, std::sqrt(a[i]))
PLAIN1(plain_inv, T(1) / a[i])
PLAIN1(plain_floor, std::floor(a[i]))
PLAIN1(plain_ceil, std::ceil(a[i]))
PLAIN1(plain_trunc, std::trunc(a[i]))
PLAIN1(plain_rint, std::rint(a[i]))
PLAIN1(plain_nearbyint, std::nearbyint(a[i]))
PLAIN1(plain_round, std::round(a[i]))
PLAIN1(plain_frac, a[i] - std::trunc(a[i]))
PLAIN1(plain_sqr, a[i] * a[i])
PLAIN2(plain_div, a[i] / b[i])
template <class T> __attribute__((noinline)) void plain_modf(int n, const T* __restrict a, T* __restrict r1, T* __restrict r2) {
    for (int i = 0; i < n; ++i) {
        const T t = std::trunc(a[i]);
        r1[i] = t;
        r2[i] = std::copysign(a[i] - t, a[i]);
    }
}
template <class T>
__attribute__((noinline)) void plain_linear_frac(int n, const T* __restrict a, const T* __restrict b, T sa, T ta, T sb,
                                                 T tb, T* __restrict r) {
    for (int i = 0; i < n; ++i) r[i] = (sa * a[i] + ta) / (sb * b[i] + tb);
}

// Memory floors: one read and one write, two reads and one write, one read and two writes.
__attribute__((noinline)) void copy1(int n, const double* __restrict a, double* __restrict r) { std::memcpy(r, a, size_t(n) * 8); }
__attribute__((noinline)) void or2(int n, const double* __restrict a, const double* __restrict b, double* __restrict r) {
    auto* x = reinterpret_cast<const uint64_t*>(a);
    auto* y = reinterpret_cast<const uint64_t*>(b);
    auto* z = reinterpret_cast<uint64_t*>(r);
    for (int i = 0; i < n; ++i) z[i] = x[i] | y[i];
}
__attribute__((noinline)) void split2(int n, const double* __restrict a, double* __restrict r1, double* __restrict r2) {
    std::memcpy(r1, a, size_t(n) * 8);
    std::memcpy(r2, a, size_t(n) * 8);
}

// Pack and unpack: unit stride against memcpy, stride 3 and index/mask vectors against plain loops.
template <class T> void PackI(benchmark::State& st) {
    const long n = st.range(0), inc = st.range(1);
    std::vector<T> a(static_cast<size_t>(n * inc)), y(static_cast<size_t>(n));
    for (auto _ : st) {
        if constexpr (sizeof(T) == 4) vexa_arx_kernel_sPackI_PXHAynn(n, reinterpret_cast<const float*>(a.data()), inc, reinterpret_cast<float*>(y.data()), 1);
        else vexa_arx_kernel_dPackI_PXHAynn(n, reinterpret_cast<const double*>(a.data()), inc, reinterpret_cast<double*>(y.data()), 1);
        benchmark::ClobberMemory();
    }
    done<T>(st, n);
}
template <class T> __attribute__((noinline)) void plain_packi(long n, const T* __restrict a, long inc, T* __restrict y) {
    for (long i = 0; i < n; ++i) y[i] = a[i * inc];
}
template <class T> void PlainPackI(benchmark::State& st) {
    const long n = st.range(0), inc = st.range(1);
    std::vector<T> a(static_cast<size_t>(n * inc)), y(static_cast<size_t>(n));
    for (auto _ : st) {
        plain_packi(n, a.data(), inc, y.data());
        benchmark::ClobberMemory();
    }
    done<T>(st, n);
}
void MemcpyD(benchmark::State& st) {
    const long n = st.range(0);
    std::vector<double> a(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    for (auto _ : st) {
        std::memcpy(y.data(), a.data(), size_t(n) * 8);
        benchmark::ClobberMemory();
    }
    done<double>(st, n);
}
void PackVD(benchmark::State& st) {
    const long n = st.range(0);
    std::vector<double> a(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    std::vector<int32_t> idx(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) idx[size_t(i)] = int32_t((i * 7919) % n);
    for (auto _ : st) {
        vexa_arx_kernel_dPackV_PXHAynn(n, a.data(), idx.data(), y.data(), 1);
        benchmark::ClobberMemory();
    }
    done<double>(st, n);
}
__attribute__((noinline)) void plain_packv(long n, const double* __restrict a, const int32_t* ia, double* __restrict y) {
    for (long i = 0; i < n; ++i) y[i] = a[ia[i]];
}
void PlainPackVD(benchmark::State& st) {
    const long n = st.range(0);
    std::vector<double> a(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    std::vector<int32_t> idx(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) idx[size_t(i)] = int32_t((i * 7919) % n);
    for (auto _ : st) {
        plain_packv(n, a.data(), idx.data(), y.data());
        benchmark::ClobberMemory();
    }
    done<double>(st, n);
}
void PackMD(benchmark::State& st) {
    const long n = st.range(0);
    std::vector<double> a(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    std::vector<int32_t> m(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) m[size_t(i)] = (i * 2654435761u >> 7) & 1;
    for (auto _ : st) {
        vexa_arx_kernel_dPackM_PXHAynn(n, a.data(), m.data(), y.data(), 1);
        benchmark::ClobberMemory();
    }
    done<double>(st, n);
}
__attribute__((noinline)) void plain_packm(long n, const double* __restrict a, const int32_t* m, double* __restrict y) {
    for (long i = 0, j = 0; i < n; ++i)
        if (m[i]) y[j++] = a[i];
}
void PlainPackMD(benchmark::State& st) {
    const long n = st.range(0);
    std::vector<double> a(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    std::vector<int32_t> m(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) m[size_t(i)] = (i * 2654435761u >> 7) & 1;
    for (auto _ : st) {
        plain_packm(n, a.data(), m.data(), y.data());
        benchmark::ClobberMemory();
    }
    done<double>(st, n);
}

#define SIZES Arg(1024)->Arg(8192)->Arg(16 << 20)
#define PAIR1(t, T, F, plain)                                                                     \
    BENCHMARK(Unary<T, vexa_arx_kernel_##t##F##_S9HAynn>)->Name(#t #F "/vexa")->SIZES;            \
    BENCHMARK(Unary<T, plain<T>>)->Name(#t #F "/plain")->SIZES;
PAIR1(s, float, Sqrt, plain_sqrt)
PAIR1(d, double, Sqrt, plain_sqrt)
PAIR1(d, double, Inv, plain_inv)
PAIR1(s, float, Floor, plain_floor)
PAIR1(d, double, Floor, plain_floor)
PAIR1(d, double, Ceil, plain_ceil)
PAIR1(d, double, Trunc, plain_trunc)
PAIR1(d, double, Rint, plain_rint)
PAIR1(d, double, NearbyInt, plain_nearbyint)
PAIR1(s, float, Round, plain_round)
PAIR1(d, double, Round, plain_round)
PAIR1(d, double, Frac, plain_frac)
PAIR1(s, float, Sqr, plain_sqr)
PAIR1(d, double, Sqr, plain_sqr)
BENCHMARK(Unary<float, vexa_arx_kernel_sInv_V8HAynn>)->Name("sInv/vexa")->SIZES;
BENCHMARK(Unary<float, plain_inv<float>>)->Name("sInv/plain")->SIZES;
BENCHMARK(Binary<float, vexa_arx_kernel_sDiv_S9HAynn>)->Name("sDiv/vexa")->SIZES;
BENCHMARK(Binary<float, plain_div<float>>)->Name("sDiv/plain")->SIZES;
BENCHMARK(Binary<double, vexa_arx_kernel_dDiv_S9HAynn>)->Name("dDiv/vexa")->SIZES;
BENCHMARK(Binary<double, plain_div<double>>)->Name("dDiv/plain")->SIZES;
BENCHMARK(Unary2<double, vexa_arx_kernel_dModf_S9HAynn>)->Name("dModf/vexa")->SIZES;
BENCHMARK(Unary2<double, plain_modf<double>>)->Name("dModf/plain")->SIZES;
BENCHMARK(LinearFrac<double, vexa_arx_kernel_dLinearFrac_N8HAynn>)->Name("dLinearFrac/vexa")->SIZES;
BENCHMARK(LinearFrac<double, plain_linear_frac<double>>)->Name("dLinearFrac/plain")->SIZES;
BENCHMARK(LinearFrac<float, vexa_arx_kernel_sLinearFrac_W7HAynn>)->Name("sLinearFrac/vexa")->SIZES;
BENCHMARK(LinearFrac<float, plain_linear_frac<float>>)->Name("sLinearFrac/plain")->SIZES;
BENCHMARK(Unary<double, copy1>)->Name("bandwidth/1r1w")->SIZES;
BENCHMARK(Binary<double, or2>)->Name("bandwidth/2r1w")->SIZES;
BENCHMARK(Unary2<double, split2>)->Name("bandwidth/1r2w")->SIZES;

#define PACK_SIZES Args({1024, 1})->Args({8192, 1})->Args({16 << 20, 1})->Args({8192, 3})->Args({1 << 20, 3})
BENCHMARK(PackI<double>)->Name("dPackI/vexa")->PACK_SIZES;
BENCHMARK(PlainPackI<double>)->Name("dPackI/plain")->PACK_SIZES;
BENCHMARK(PackI<float>)->Name("sPackI/vexa")->PACK_SIZES;
BENCHMARK(PlainPackI<float>)->Name("sPackI/plain")->PACK_SIZES;
BENCHMARK(MemcpyD)->Name("dPackI/memcpy")->Arg(1024)->Arg(8192)->Arg(16 << 20);
BENCHMARK(PackVD)->Name("dPackV/vexa")->Arg(8192)->Arg(1 << 20);
BENCHMARK(PlainPackVD)->Name("dPackV/plain")->Arg(8192)->Arg(1 << 20);
BENCHMARK(PackMD)->Name("dPackM/vexa")->Arg(8192)->Arg(1 << 20);
BENCHMARK(PlainPackMD)->Name("dPackM/plain")->Arg(8192)->Arg(1 << 20);

}  // namespace
