// Streaming quantiles: an epsilon-approximate summary of each variable's
// observations, fed over any number of calls. For every order q the value
// returned has a rank (1-based, among all n observations so far) within
// eps * n of the target rank 1 + q (n - 1), rounded to an integer.
//
// Summary. A list of values with rank bounds (v, rmin, rmax), ascending; the
// true rank of v lies within [rmin, rmax], and the tracked error e bounds how
// far a query can miss (every rank r has an entry with r - e <= rmin and
// rmax <= r + e). Two operations keep it small (Greenwald and Khanna, 2004):
// combining two summaries adds their errors; pruning to B + 1 entries adds
// n / (2 B).
//
// Stages. The stream is cut into stages L = 0, 1, 2, ... of floor(2^L / eps)
// observations, so that stage L ends after floor((2^(L+1) - 1) / eps) in all.
// Within a stage of N observations the values gather in a buffer of b; a full
// buffer is sorted (radix sort) into an exact summary, pruned to B + 1
// entries and carried up a binary counter of H levels, where two summaries of
// one level are combined and pruned into the next. With H levels for N / b
// buffers and B = ceil((H + 1) / (0.9 eps)), the stage's error stays within
// 0.45 eps N. A finished stage is combined into one summary, pruned to
// ceil(1 / (0.9 eps)) + 1 entries (0.9 eps N in all) and appended to the
// history, whose combinations keep the bound. A query combines the history,
// the current stage's levels and its exact buffer: error <= 0.9 eps n.
//
// Methods 0x40 and 0x80 build the same summary (our choice). The task's
// squant_state holds the buffers (header, one state per variable, each with
// its history and its current stage block), released by the clean-up routine
// the entry registers; eps and the dimension are those of the first call (a
// later call with another dimension is refused with -4001).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/align.h"
#include "statistics/common/access.h"
#include "vexa/primitives.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

extern "C" VEXA_HIDDEN void __tqrSQuantilesFreeBuffers(SSTask* task);

namespace {

using vexa::ss::Shape;
namespace missing = vexa::ss::missing;

using vexa::kAlignment;
constexpr double kStageShare = 0.45;  // of eps: a stage's levels, and its final prune

template <class T> struct Entry {
    T v;
    int64_t rmin, rmax;
};

template <class T> struct Summary {
    Entry<T>* e;
    int64_t m;    // entries
    int64_t n;    // observations summarised
    double err;  // error bound in ranks
};

// Combines a and b into out (room for a.m + b.m entries). Equal values order
// a's entries before b's.
template <class T> void combine(const Summary<T>& a, const Summary<T>& b, Summary<T>& out) {
    int64_t i = 0, j = 0, k = 0;
    while (i < a.m || j < b.m) {
        if (j == b.m || (i < a.m && a.e[i].v <= b.e[j].v)) {
            // b's entries before a.e[i] are those of smaller value: b.e[0..j-1].
            const Entry<T>& x = a.e[i++];
            const int64_t lo = j > 0 ? b.e[j - 1].rmin : 0;
            const int64_t hi = j < b.m ? b.e[j].rmax - 1 : b.n;
            out.e[k++] = {x.v, x.rmin + lo, x.rmax + hi};
        } else {
            // a's entries before b.e[j] are those of smaller or equal value: a.e[0..i-1].
            const Entry<T>& y = b.e[j++];
            const int64_t lo = i > 0 ? a.e[i - 1].rmin : 0;
            const int64_t hi = i < a.m ? a.e[i].rmax - 1 : a.n;
            out.e[k++] = {y.v, y.rmin + lo, y.rmax + hi};
        }
    }
    out.m = k;
    out.n = a.n + b.n;
    out.err = a.err + b.err;
}

// The entry whose bounds stay closest to rank r, starting the search at *at
// (the best index never moves back as r grows).
template <class T> int64_t query(const Summary<T>& s, double r, int64_t at) {
    auto miss = [&](int64_t i) { return std::max(r - double(s.e[i].rmin), double(s.e[i].rmax) - r); };
    while (at + 1 < s.m && miss(at + 1) <= miss(at)) ++at;
    return at;
}

// Prunes s into out (room for B + 1 entries): the entries answering ranks
// 1 + k (n - 1) / B, k = 0..B.
template <class T> void prune(const Summary<T>& s, int64_t B, Summary<T>& out) {
    int64_t at = 0, k = 0, last = -1;
    for (int64_t q = 0; q <= B; ++q) {
        at = query(s, 1 + double(q) * double(s.n - 1) / double(B), at);
        if (at != last) out.e[k++] = s.e[at], last = at;
    }
    out.m = k;
    out.n = s.n;
    out.err = s.err + double(s.n) / (2.0 * double(B));
}

// An exact summary of sorted values.
template <class T> void exact(const T* v, int64_t n, Summary<T>& out) {
    for (int64_t i = 0; i < n; ++i) out.e[i] = {v[i], i + 1, i + 1};
    out.m = out.n = n;
    out.err = 0;
}


// Sizes of stage L: N observations, buffers of b, H levels of B + 1 entries.
struct StageSizes {
    int64_t N, b, B, H;
    StageSizes(int stage, double eps) {
        N = std::max<int64_t>(1, int64_t(std::ldexp(1.0, stage) / eps));
        H = 1;
        for (;;) {
            B = int64_t(std::ceil(double(H + 1) / (2 * kStageShare * eps)));
            b = 2 * B;
            int64_t h = 1;  // levels for ceil(N / b) buffers
            for (int64_t blocks = (N + b - 1) / b; (int64_t(1) << (h - 1)) < blocks;) ++h;
            if (h <= H) break;
            H = h;
        }
    }
};

// One variable: its history and its current stage, each one block.
template <class T> struct Variable {
    int stage;
    int64_t stage_count;  // observations in the current stage
    StageSizes z;
    Summary<T> history;   // in its own block
    void* history_block;
    void* stage_block;    // raw buffer (b), sort buffer (b), levels (H x (B + 1)), level summaries (H)
    T* raw;
    T* sort_buffer;
    int64_t raw_count;
    Summary<T>* levels;  // m = 0 when empty
};

struct Header {
    int64_t p;
    double eps;
};

template <class T> struct State {
    Header h;
    Variable<T>* vars[1];  // p of them; null until the variable gets data
};

template <class T> VEXA_INLINE State<T>* state_of(const SSTask* t) { return static_cast<State<T>*>(t->squant_state); }

// Allocates the blocks of stage `stage` (the old one is released by the caller).
template <class T> void* stage_block(const StageSizes& z, T*& raw, T*& sort_buffer, Summary<T>*& levels) {
    const std::size_t values = std::size_t(2 * z.b) * sizeof(T);
    const std::size_t entries = std::size_t(z.H * (z.B + 1)) * sizeof(Entry<T>);
    const std::size_t summaries = std::size_t(z.H) * sizeof(Summary<T>);
    const std::size_t a = (values + 127) / 128 * 128, b = (entries + 127) / 128 * 128;
    char* block = static_cast<char*>(vexa_serv_allocate(a + b + summaries, kAlignment));
    if (block == nullptr) return nullptr;
    raw = reinterpret_cast<T*>(block);
    sort_buffer = raw + z.b;
    levels = reinterpret_cast<Summary<T>*>(block + a + b);
    auto* slots = reinterpret_cast<Entry<T>*>(block + a);
    for (int64_t l = 0; l < z.H; ++l) levels[l] = {slots + l * (z.B + 1), 0, 0, 0.0};
    return block;
}

template <class T> Variable<T>* new_variable(double eps) {
    auto* v = static_cast<Variable<T>*>(vexa_serv_allocate(sizeof(Variable<T>), kAlignment));
    if (v == nullptr) return nullptr;
    v->stage = 0;
    v->stage_count = 0;
    v->z = StageSizes(0, eps);
    v->history = {nullptr, 0, 0, 0.0};
    v->history_block = nullptr;
    v->raw_count = 0;
    v->stage_block = stage_block<T>(v->z, v->raw, v->sort_buffer, v->levels);
    if (v->stage_block == nullptr) {
        vexa_serv_deallocate(v);
        return nullptr;
    }
    return v;
}

template <class T> void free_variable(Variable<T>* v) {
    if (v == nullptr) return;
    vexa_serv_deallocate(v->history_block);
    vexa_serv_deallocate(v->stage_block);
    vexa_serv_deallocate(v);
}

// Per-thread room for combinations: two summaries of `entries` each.
template <class T> struct Scratch {
    Entry<T>* a;
    Entry<T>* b;
};

// The current stage's levels and exact buffer combined into out (ping-ponging
// through the scratch); returns the summary, held in one of the two.
template <class T> Summary<T> stage_summary(Variable<T>& v, Scratch<T> s) {
    Summary<T> cur{s.a, 0, 0, 0.0}, next{s.b, 0, 0, 0.0};
    if (v.raw_count > 0) {
        std::copy(v.raw, v.raw + v.raw_count, v.sort_buffer + 0);  // keep the buffer's order intact
        T* sorted = v.sort_buffer;
        // The radix sort needs a buffer as long as the data: the free half of the raw buffer will not do,
        // so sort in the scratch after the entries.
        T* tmp = reinterpret_cast<T*>(s.b);
        vexa::ss::radix_ascend(sorted, tmp, v.raw_count);
        exact(sorted, v.raw_count, cur);
    }
    for (int64_t l = 0; l < v.z.H; ++l) {
        if (v.levels[l].m == 0) continue;
        if (cur.m == 0) {
            std::copy(v.levels[l].e, v.levels[l].e + v.levels[l].m, cur.e);
            cur.m = v.levels[l].m, cur.n = v.levels[l].n, cur.err = v.levels[l].err;
            continue;
        }
        combine(v.levels[l], cur, next);
        std::swap(cur, next);
    }
    return cur;
}

// A full buffer: sorted, pruned and carried up the levels.
template <class T> void carry(Variable<T>& v, Scratch<T> s) {
    vexa::ss::radix_ascend(v.raw, v.sort_buffer, v.raw_count);
    Summary<T> cur{s.a, 0, 0, 0.0}, next{s.b, 0, 0, 0.0};
    exact(v.raw, v.raw_count, next);
    prune(next, v.z.B, cur);
    v.raw_count = 0;
    int64_t l = 0;
    for (; l < v.z.H - 1 && v.levels[l].m != 0; ++l) {
        combine(v.levels[l], cur, next);
        prune(next, v.z.B, cur);
        v.levels[l].m = 0;
    }
    if (v.levels[l].m != 0) {  // the top level: combined, pruned, kept there
        combine(v.levels[l], cur, next);
        prune(next, v.z.B, cur);
    }
    std::copy(cur.e, cur.e + cur.m, v.levels[l].e);
    v.levels[l].m = cur.m, v.levels[l].n = cur.n, v.levels[l].err = cur.err;
}

// The stage is complete: its summary joins the history, and the next stage starts.
template <class T> int next_stage(Variable<T>& v, double eps, Scratch<T> s) {
    const Summary<T> whole = stage_summary(v, s);
    Entry<T>* spare = whole.e == s.a ? s.b : s.a;
    Summary<T> pruned{spare, 0, 0, 0.0};
    prune(whole, int64_t(std::ceil(1.0 / (2 * kStageShare * eps))), pruned);
    const StageSizes z(v.stage + 1, eps);
    T *raw, *sort_buffer;
    Summary<T>* levels;
    void* block = stage_block<T>(z, raw, sort_buffer, levels);
    auto* history = static_cast<Entry<T>*>(
        vexa_serv_allocate(std::size_t(v.history.m + pruned.m) * sizeof(Entry<T>), kAlignment));
    if (block == nullptr || history == nullptr) {
        vexa_serv_deallocate(block);
        vexa_serv_deallocate(history);
        return VEXA_SS_MEMORY;
    }
    Summary<T> joined{history, 0, 0, 0.0};
    if (v.history.m == 0) {
        std::copy(pruned.e, pruned.e + pruned.m, history);
        joined.m = pruned.m, joined.n = pruned.n, joined.err = pruned.err;
    } else {
        combine(v.history, pruned, joined);
    }
    vexa_serv_deallocate(v.history_block);
    vexa_serv_deallocate(v.stage_block);
    v.history = joined;
    v.history_block = history;
    v.stage_block = block;
    v.raw = raw, v.sort_buffer = sort_buffer, v.levels = levels;
    v.raw_count = 0;
    v.stage_count = 0;
    v.z = z;
    ++v.stage;
    return VEXA_SS_OK;
}

// Largest combination a query or a stage end of v needs, in entries.
template <class T> int64_t scratch_entries(const StageSizes& z, int64_t history) {
    return history + z.H * (z.B + 1) + 2 * z.b + 8;
}

template <class T> struct Work {
    const SSTask* task;
    Shape s;
    State<T>* state;
    const int64_t* vars;
    int64_t n;  // observations in this call
    const T* orders;
    int64_t orders_n;
    T* out;
    Entry<T>* scratch;  // per thread: 2 x scratch_len entries
    int64_t scratch_len;
    int status;
};

// Adds the call's observations of one variable, then answers its orders.
template <class T> void add_data_worker(int it, int thread, int, void* context) {
    auto& w = *static_cast<Work<T>*>(context);
    const int64_t var = w.vars[it];
    Variable<T>& v = *w.state->vars[var];
    const double eps = w.state->h.eps;
    Scratch<T> s{w.scratch + 2 * w.scratch_len * thread, w.scratch + 2 * w.scratch_len * thread + w.scratch_len};
    const T* x = static_cast<const T*>(w.task->x);
    for (int64_t j = 0; j < w.n; ++j) {
        v.raw[v.raw_count++] = x[w.s.index(var, j)];
        ++v.stage_count;
        if (v.stage_count == v.z.N) {
            if (const int st = next_stage(v, eps, s)) {
                __atomic_store_n(&w.status, st, __ATOMIC_RELAXED);
                return;
            }
        } else if (v.raw_count == v.z.b) {
            carry(v, s);
        }
    }
    // The answer: history, stage levels and buffer together.
    Summary<T> stage = stage_summary(v, s);
    Entry<T>* spare = stage.e == s.a ? s.b : s.a;
    Summary<T> all{spare, 0, 0, 0.0};
    if (v.history.m > 0 && stage.m > 0) combine(v.history, stage, all);
    else all = stage.m > 0 ? stage : v.history;
    if (all.m == 0) return;
    int64_t at = 0;
    // Orders in any sequence: restart the monotone search when an order goes down.
    double previous = -1;
    for (int64_t k = 0; k < w.orders_n; ++k) {
        const double r = 1 + std::nearbyint(double(w.orders[k]) * double(all.n - 1));
        if (r < previous) at = 0;
        previous = r;
        at = query(all, r, at);
        w.out[var * w.orders_n + k] = all.e[at].v;
    }
}

template <class T> int stream_quantiles(SSTask* t, uint64_t method, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_SS_NO_TASK;
    if (t->dim == nullptr) return VEXA_SS_BAD_DIM;
    const int64_t p = vexa::ss::read_int(t, t->dim);
    if (p < 1) return VEXA_SS_BAD_DIM;
    int64_t n;
    if (t->n_obs == nullptr || (n = vexa::ss::read_int(t, t->n_obs)) < 0) return VEXA_SS_BAD_NOBS;
    Shape s{p, n, true};
    if (n > 0) {
        if (t->x == nullptr) return VEXA_SS_NO_X;
        if (t->x_storage == nullptr) return VEXA_SS_NO_STORAGE;
        const int64_t code = vexa::ss::read_int(t, t->x_storage);
        if (!vexa::ss::observation_storage(code)) return VEXA_SS_BAD_STORAGE;
        s.rows = code == VEXA_SS_ROWS;
    }
    if (t->squantiles == nullptr) return missing::squantiles;
    if (t->squant_orders == nullptr) return missing::squant_orders;
    int64_t m;
    if (t->squant_order_n == nullptr || (m = vexa::ss::read_int(t, t->squant_order_n)) < 0) return missing::squant_order_n;
    const T* orders = static_cast<const T*>(t->squant_orders);
    for (int64_t k = 0; k < m; ++k)
        if (!(orders[k] >= T(0) && orders[k] <= T(1))) return missing::squant_order_n;
    if (t->squant_params_n == nullptr) return VEXA_SS_NO_SQUANT_PARAMS_N;
    if (vexa::ss::read_int(t, t->squant_params_n) != 1) return missing::squant_params_n;
    if (t->squant_params == nullptr) return missing::squant_params;
    const double eps = double(static_cast<const T*>(t->squant_params)[0]);
    if (!(eps > 0 && eps <= 1)) return VEXA_SS_BAD_SQUANT_EPS;
    State<T>* st = state_of<T>(t);
    if (st != nullptr && st->h.p != p) return VEXA_SS_BAD_DIM;
    if (t->indices != nullptr) {
        int64_t chosen = 0;
        for (int64_t i = 0; i < p; ++i) {
            const bool sel = vexa::ss::selected(t, i);
            chosen += sel;
            if (!sel && st != nullptr && st->vars[i] != nullptr) return VEXA_SS_BAD_INDICES;
        }
        if (chosen == 0) return VEXA_SS_BAD_INDICES;
    }
    if ((method & 0xC0) == 0) return VEXA_SS_BAD_METHOD;
    if (s.n > INT32_MAX) return VEXA_SS_BAD_NOBS;

    // The buffers: made on first use, released by the clean-up routine.
    if (st == nullptr) {
        const std::size_t bytes = sizeof(State<T>) + std::size_t(p) * sizeof(Variable<T>*);
        st = static_cast<State<T>*>(vexa_serv_allocate(bytes, kAlignment));
        if (st == nullptr) return VEXA_SS_MEMORY;
        std::memset(static_cast<void*>(st), 0, bytes);
        st->h = {p, eps};
        t->squant_state = st;
        t->cleanup = __tqrSQuantilesFreeBuffers;
        t->cleanup_count = 1;
    }
    int64_t selected = 0, largest = 0;
    for (int64_t i = 0; i < p; ++i) {
        if (!vexa::ss::selected(t, i)) continue;
        if (st->vars[i] == nullptr && (st->vars[i] = new_variable<T>(st->h.eps)) == nullptr) return VEXA_SS_MEMORY;
        ++selected;
        // Room for the largest combination this call can need: the stages it reaches.
        const Variable<T>& v = *st->vars[i];
        StageSizes z = v.z;
        int stage = v.stage;
        int64_t history = v.history.m, left = n - (z.N - v.stage_count);
        largest = std::max(largest, scratch_entries<T>(z, history));
        while (left >= 0) {
            history += int64_t(std::ceil(1.0 / (2 * kStageShare * st->h.eps))) + 2;
            z = StageSizes(++stage, st->h.eps);
            largest = std::max(largest, scratch_entries<T>(z, history));
            left -= z.N;
        }
    }
    const int64_t threads = std::min(vexa::ss::max_threads(tt), selected);
    vexa::ss::OwnedBlock block;
    int64_t* vars;
    auto* scratch = static_cast<Entry<T>*>(
        vexa::ss::variable_list(t, p, selected, double(threads) * 2 * double(largest) * sizeof(Entry<T>), block, vars));
    if (scratch == nullptr) return VEXA_SS_MEMORY;
    Work<T> w{t, s, st, vars, n, orders, m, static_cast<T*>(t->squantiles), scratch, largest, 0};
    vexa::ss::run_per_variable(tt, selected, threads, &w, add_data_worker<T>);
    return w.status;
}

}  // namespace

extern "C" {

// Releases the streaming-quantile buffers of a task (its clean-up routine).
VEXA_HIDDEN void __tqrSQuantilesFreeBuffers(SSTask* task) {
    if (task == nullptr || task->squant_state == nullptr) return;
    // Both precisions lay out the header and the variable table alike.
    auto* st = static_cast<State<double>*>(task->squant_state);
    for (int64_t i = 0; i < st->h.p; ++i) {
        if (task->precision == 0) free_variable(reinterpret_cast<Variable<float>*>(st->vars[i]));
        else free_variable(st->vars[i]);
    }
    vexa_serv_deallocate(st);
    task->squant_state = nullptr;
}

VEXA_EXPORT int _tqrdSSStreamQuantiles(SSTask* task, int64_t, int64_t method, const ThreadingTable* threading) {
    return stream_quantiles<double>(task, uint64_t(method), threading);
}
VEXA_EXPORT int _tqrsSSStreamQuantiles(SSTask* task, int64_t, int64_t method, const ThreadingTable* threading) {
    return stream_quantiles<float>(task, uint64_t(method), threading);
}

}  // extern "C"
