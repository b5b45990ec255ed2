// Median-of-three quickselect and quicksort, over plain values or over values
// that carry a companion array (a permutation map, weights) through every move.
#pragma once

#include <cstdint>

#include "common/export.h"

namespace vexa::ss {

template <class T> struct Plain {
    T* a;
    VEXA_INLINE T value(int64_t i) const { return a[i]; }
    VEXA_INLINE void swap(int64_t i, int64_t j) const {
        const T t = a[i];
        a[i] = a[j];
        a[j] = t;
    }
};
template <class T, class M> struct Mapped {
    T* a;
    M* m;
    VEXA_INLINE T value(int64_t i) const { return a[i]; }
    VEXA_INLINE void swap(int64_t i, int64_t j) const {
        const T t = a[i];
        a[i] = a[j];
        a[j] = t;
        const M u = m[i];
        m[i] = m[j];
        m[j] = u;
    }
};

// One partitioning step of a[l..r], r > l + 1: the middle element moved to
// l + 1, a[l] <= a[l + 1] <= a[r] ordered, a[l + 1] the pivot; i scans up and
// j down, exchanging out-of-place pairs until they cross; the pivot ends at
// j. Afterwards a[l..j-1] <= a[j] <= a[i..r] (i = j + 1 or j + 2).
template <class A> VEXA_INLINE void partition(const A& a, int64_t l, int64_t r, int64_t& i, int64_t& j) {
    a.swap((l + r) / 2, l + 1);
    if (a.value(l) > a.value(r)) a.swap(l, r);
    if (a.value(l + 1) > a.value(r)) a.swap(l + 1, r);
    if (a.value(l) > a.value(l + 1)) a.swap(l, l + 1);
    const auto pivot = a.value(l + 1);
    i = l + 1;
    j = r;
    for (;;) {
        do ++i; while (a.value(i) < pivot);
        do --j; while (a.value(j) > pivot);
        if (j < i) break;
        a.swap(i, j);
    }
    a.swap(l + 1, j);
}

// Reorders a[0..n-1] so that a[k] holds the value of rank k.
template <class A> VEXA_INLINE auto select(int64_t n, const A& a, int64_t k) {
    int64_t l = 0, r = n - 1;
    while (r > l + 1) {
        int64_t i, j;
        partition(a, l, r, i, j);
        if (j >= k) r = j - 1;
        if (j <= k) l = i;
    }
    if (r == l + 1 && a.value(r) < a.value(l)) a.swap(l, r);
    return a.value(k);
}

// Sorts a[l..r] ascending by straight insertion.
template <class A> VEXA_INLINE void insertion(const A& a, int64_t l, int64_t r) {
    for (int64_t j = l + 1; j <= r; ++j)
        for (int64_t i = j; i > l && a.value(i - 1) > a.value(i); --i) a.swap(i - 1, i);
}

// Quicksort with an explicit stack of pending ranges; ranges of fewer than 7
// elements are finished by insertion. The smaller side is taken first, so
// the stack never holds more than log2(n) ranges.
template <class A> void quick_sort(int64_t n, const A& a) {
    constexpr int kSmall = 7;
    int64_t stack[2 * 64];
    int top = 0;
    int64_t l = 0, r = n - 1;
    for (;;) {
        if (r - l < kSmall) {
            insertion(a, l, r);
            if (top == 0) return;
            r = stack[--top];
            l = stack[--top];
            continue;
        }
        int64_t i, j;
        partition(a, l, r, i, j);
        if (r - i + 1 >= j - l) {
            stack[top++] = i;
            stack[top++] = r;
            r = j - 1;
        } else {
            stack[top++] = l;
            stack[top++] = j - 1;
            l = i;
        }
    }
}

}  // namespace vexa::ss
