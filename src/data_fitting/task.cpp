// The data-fitting task: creation with the bin index over the partition,
// editing and queries of its attributes, and deletion. Both precisions from
// one template; the record owns only its pointer tables and bins.
#include <cstdint>
#include <cstring>

#include "common/export.h"
#include "data_fitting/task.h"
#include "vexa/data_fitting.h"
#include "vexa/service.h"

namespace {

using namespace vexa::df;

// The function-value table for y under the task's yhint.
template <class T> int fill_y_table(DfTask* t, const T* y) {
    const int64_t entries = t->yhint == 32 ? 1 : t->ny;
    auto** table = static_cast<const void**>(vexa_serv_allocate(std::size_t(entries > 0 ? entries : 1) * sizeof(void*), kAlignment));
    if (table == nullptr) return VEXA_DF_MEMORY;
    std::memset(static_cast<void*>(table), 0, std::size_t(entries > 0 ? entries : 1) * sizeof(void*));
    t->y_table = table;
    if (t->yhint == 0 || t->yhint == 16)
        for (int64_t j = 0; j < t->ny; ++j) table[j] = y + j * t->nx;
    else if (t->yhint == 32 || t->yhint == 128)
        table[0] = y;
    return VEXA_DF_OK;
}

// The coefficient table for the block at c: entry j at j * stride, or only entry 0 with hint bit 128.
template <class T> int fill_coeff_table(DfTask* t, T* c) {
    vexa_serv_deallocate(t->coeff_table);
    t->coeff_table = static_cast<void**>(vexa_serv_allocate(std::size_t(t->ny) * sizeof(void*), kAlignment));
    if (t->coeff_table == nullptr) return VEXA_DF_MEMORY;
    std::memset(static_cast<void*>(t->coeff_table), 0, std::size_t(t->ny) * sizeof(void*));
    const int64_t stride = t->s_order * (t->s_type == 1 ? t->nx : t->nx - 1);
    if (t->coeff_hint & 128) t->coeff_table[0] = c;
    else
        for (int64_t j = 0; j < t->ny; ++j) t->coeff_table[j] = c + j * stride;
    return VEXA_DF_OK;
}

template <class T>
int new_task(DfTask** out, int64_t nx, const T* x, int64_t xhint, int64_t ny, const T* y, int64_t yhint,
             int64_t int64_flag) {
    if (out == nullptr) return VEXA_DF_NO_TASK;
    if (nx < 2) return VEXA_DF_BAD_NX;
    if (x == nullptr) return VEXA_DF_NO_X;
    if (!x_hint_ok(xhint)) return VEXA_DF_BAD_XHINT;
    if (ny != 0 && y == nullptr) return VEXA_DF_NO_Y;
    if (ny == 0 && y != nullptr) return VEXA_DF_BAD_NY;
    if (!y_hint_ok(yhint)) return VEXA_DF_BAD_YHINT;
    auto* t = static_cast<DfTask*>(vexa_serv_allocate(sizeof(DfTask), kAlignment));
    *out = t;
    if (t == nullptr) return VEXA_DF_MEMORY;
    std::memset(static_cast<void*>(t), 0, sizeof(DfTask));
    t->nx = nx, t->x = x, t->xhint = xhint, t->ny = ny, t->yhint = yhint;
    if (y != nullptr)
        if (const int st = fill_y_table(t, y)) return st;
    t->int64_flag = uint32_t(int64_flag);
    t->tag = 4;
    t->precision = sizeof(T) == 8 ? 1 : 0;
    t->dimension = 1;
    t->bins = static_cast<uint32_t*>(vexa_serv_allocate(2 * VEXA_DF_BIN_PAIRS * sizeof(uint32_t), kAlignment));
    if (t->bins == nullptr) return VEXA_DF_MEMORY;
    if (xhint != 4) build_bins<T>(t);
    return VEXA_DF_OK;
}

template <class T>
int edit_spline(DfTask* t, int64_t s_order, int64_t s_type, int64_t bc_type, const T* bc, int64_t ic_type,
                const T* ic, T* scoeff, int64_t coeff_hint) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (s_order < 0) return VEXA_DF_BAD_ORDER;
    if (s_type < 0) return VEXA_DF_BAD_TYPE;
    t->s_order = s_order, t->s_type = s_type;
    if (bc_type != 0 && bc_type != 1 && bc_type != 2 && bc_type != 64 && bc == nullptr) return VEXA_DF_NO_BC;
    t->bc_type = bc_type, t->bc = bc;
    if (ic_type != 0 && ic == nullptr) return VEXA_DF_NO_IC;
    if (ic_type == 0 && ic != nullptr) return VEXA_DF_BAD_IC_TYPE;
    t->ic_type = ic_type, t->ic = ic;
    t->coeff_hint = coeff_hint;  // the table below is laid out by the new hint
    if (scoeff != nullptr) {
        if (t->ny == 0) return VEXA_DF_BAD_NY;
        if (const int st = fill_coeff_table(t, scoeff)) return st;
    }
    return VEXA_DF_OK;
}

template <class T> int edit_ptr(DfTask* t, int64_t attr, const T* p) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (t->dimension != 1) return VEXA_DF_OK;
    switch (attr) {
        case VEXA_DF_X:
            if (p == nullptr) return VEXA_DF_NO_X;
            t->x = p;  // the bin index stays until xhint is set to 1
            return VEXA_DF_OK;
        case VEXA_DF_Y:
            if (p == nullptr) return VEXA_DF_NO_Y;
            vexa_serv_deallocate(t->y_table);
            t->y_table = nullptr;
            return fill_y_table(t, p);
        case VEXA_DF_IC:
            if (p == nullptr) return VEXA_DF_NO_IC;
            t->ic = p;
            return VEXA_DF_OK;
        case VEXA_DF_BC:
            if (p == nullptr) return VEXA_DF_NO_BC;
            t->bc = p;
            return VEXA_DF_OK;
        case VEXA_DF_COEFF:
            if (p == nullptr) return VEXA_DF_NO_COEFF;
            if (t->ny == 0) return VEXA_DF_BAD_NY;
            return fill_coeff_table(t, const_cast<T*>(p));
        default:
            return VEXA_DF_BAD_ATTR;
    }
}

template <class T> int edit_idx_ptr(DfTask* t, int64_t attr, int64_t idx, const T* p) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (t->dimension != 1) return VEXA_DF_OK;
    if (attr == VEXA_DF_Y) {
        if (t->yhint == 32) return VEXA_DF_BAD_YHINT;
        if (idx < 0 || idx >= t->ny || t->y_table == nullptr) return VEXA_DF_BAD_INDEX;
        if (p == nullptr) return VEXA_DF_NO_Y;
        t->y_table[idx] = p;
        return VEXA_DF_OK;
    }
    if (attr == VEXA_DF_COEFF) {
        if (idx < 0 || idx >= t->ny || t->coeff_table == nullptr) return VEXA_DF_BAD_INDEX;
        if (p == nullptr) return VEXA_DF_NO_COEFF;
        t->coeff_table[idx] = const_cast<T*>(p);
        return VEXA_DF_OK;
    }
    return VEXA_DF_BAD_ATTR;
}

template <class T> int query_ptr(const DfTask* t, int64_t attr, T** out) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (out == nullptr) return VEXA_DF_NO_OUTPUT;
    if (t->dimension != 1) return VEXA_DF_OK;
    const void* p;
    switch (attr) {
        case VEXA_DF_X: p = t->x; break;
        case VEXA_DF_Y: p = t->y_table != nullptr ? t->y_table[0] : nullptr; break;
        case VEXA_DF_IC: p = t->ic; break;
        case VEXA_DF_BC: p = t->bc; break;
        case VEXA_DF_COEFF: p = t->coeff_table != nullptr ? t->coeff_table[0] : nullptr; break;
        default: return VEXA_DF_BAD_ATTR;
    }
    *out = static_cast<T*>(const_cast<void*>(p));
    return VEXA_DF_OK;
}

template <class T> int query_idx_ptr(const DfTask* t, int64_t attr, int64_t idx, T** out) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (out == nullptr) return VEXA_DF_NO_OUTPUT;
    if (idx < 0 || idx >= t->ny) return VEXA_DF_BAD_INDEX;
    if (t->dimension != 1) return VEXA_DF_OK;
    if (attr == VEXA_DF_Y) {
        if (t->yhint == 32) return VEXA_DF_BAD_YHINT;
        *out = t->y_table != nullptr ? static_cast<T*>(const_cast<void*>(t->y_table[idx])) : nullptr;
        return VEXA_DF_OK;
    }
    if (attr == VEXA_DF_COEFF) {
        *out = t->coeff_table != nullptr ? static_cast<T*>(t->coeff_table[idx]) : nullptr;
        return VEXA_DF_OK;
    }
    return VEXA_DF_BAD_ATTR;
}

// The scalar attributes 14..23 in id order.
int64_t* value_field(DfTask* t, int64_t attr) {
    switch (attr) {
        case VEXA_DF_NX: return &t->nx;
        case VEXA_DF_XHINT: return &t->xhint;
        case VEXA_DF_NY: return &t->ny;
        case VEXA_DF_YHINT: return &t->yhint;
        case VEXA_DF_S_ORDER: return &t->s_order;
        case VEXA_DF_S_TYPE: return &t->s_type;
        case VEXA_DF_IC_TYPE: return &t->ic_type;
        case VEXA_DF_BC_TYPE: return &t->bc_type;
        case VEXA_DF_COEFF_HINT: return &t->coeff_hint;
        default: return nullptr;
    }
}

// The status a value of the attribute is refused with, or 0.
int refuse(int64_t attr, int64_t v) {
    switch (attr) {
        case VEXA_DF_NX: return v < 2 ? VEXA_DF_BAD_NX : 0;
        case VEXA_DF_XHINT: return x_hint_ok(v) ? 0 : VEXA_DF_BAD_XHINT;
        case VEXA_DF_NY: return v <= 0 ? VEXA_DF_BAD_NY : 0;
        case VEXA_DF_YHINT: return y_hint_ok(v) ? 0 : VEXA_DF_BAD_YHINT;
        case VEXA_DF_S_ORDER: return v < 0 ? VEXA_DF_BAD_ORDER : 0;
        case VEXA_DF_S_TYPE: return v < 0 || v > 5 ? VEXA_DF_BAD_TYPE : 0;
        case VEXA_DF_IC_TYPE: return v == 0 || v == 1 || v == 2 || (v & 8) ? 0 : VEXA_DF_BAD_IC_TYPE;
        case VEXA_DF_BC_TYPE: return v < 0 ? VEXA_DF_BAD_BC_TYPE : 0;
        case VEXA_DF_COEFF_HINT: return y_hint_ok(v) ? 0 : VEXA_DF_BAD_COEFF_HINT;
        case VEXA_DF_CALLER_FLAG: return v == 0 || v == 1 ? 0 : VEXA_DF_BAD_CALLER_FLAG;
        default: return VEXA_DF_BAD_ATTR;
    }
}

}  // namespace

extern "C" {

#define VEXA_DF_DEFINE_TASK(p, T)                                                                                 \
    VEXA_EXPORT int vexa_df_kernel_##p##NewTask1D(DfTask** task, int64_t nx, const T* x, int64_t xhint,           \
                                                  int64_t ny, const T* y, int64_t yhint, int64_t int64_flag) {    \
        return new_task<T>(task, nx, x, xhint, ny, y, yhint, int64_flag);                                         \
    }                                                                                                             \
    VEXA_EXPORT int vexa_df_kernel_##p##EditPPSpline1D(DfTask* task, int64_t s_order, int64_t s_type,             \
                                                       int64_t bc_type, const T* bc, int64_t ic_type,             \
                                                       const T* ic, T* scoeff, int64_t coeff_hint) {              \
        return edit_spline<T>(task, s_order, s_type, bc_type, bc, ic_type, ic, scoeff, coeff_hint);               \
    }                                                                                                             \
    VEXA_EXPORT int vexa_df_kernel_##p##EditPtr(DfTask* task, int64_t attr, const T* ptr) {                       \
        return edit_ptr<T>(task, attr, ptr);                                                                      \
    }                                                                                                             \
    VEXA_EXPORT int vexa_df_kernel_##p##EditIdxPtr(DfTask* task, int64_t attr, int64_t idx, const T* ptr) {       \
        return edit_idx_ptr<T>(task, attr, idx, ptr);                                                             \
    }                                                                                                             \
    VEXA_EXPORT int vexa_df_kernel_##p##QueryPtr(const DfTask* task, int64_t attr, T** ptr_out) {                 \
        return query_ptr<T>(task, attr, ptr_out);                                                                 \
    }                                                                                                             \
    VEXA_EXPORT int vexa_df_kernel_##p##QueryIdxPtr(const DfTask* task, int64_t attr, int64_t idx, T** ptr_out) { \
        return query_idx_ptr<T>(task, attr, idx, ptr_out);                                                        \
    }
VEXA_DF_TWINS(VEXA_DF_DEFINE_TASK)

VEXA_EXPORT int vexa_df_kernel_iEditVal(DfTask* t, int64_t attr, int64_t value) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (t->dimension != 1) return VEXA_DF_OK;
    if (const int st = refuse(attr, value)) return st;
    if (attr == VEXA_DF_CALLER_FLAG) {
        t->caller_flag = uint32_t(value);
        return VEXA_DF_OK;
    }
    *value_field(t, attr) = value;
    if (attr == VEXA_DF_XHINT && value == 1) {
        if (t->precision == 1) build_bins<double>(t);
        else build_bins<float>(t);
    }
    return VEXA_DF_OK;
}

VEXA_EXPORT int vexa_df_kernel_iQueryVal(const DfTask* t, int64_t attr, void* out) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (out == nullptr) return VEXA_DF_NO_OUTPUT;
    if (t->dimension != 1) return VEXA_DF_OK;
    if (attr < VEXA_DF_NX || attr > VEXA_DF_CALLER_FLAG) return VEXA_DF_BAD_ATTR;
    const int64_t v = attr == VEXA_DF_CALLER_FLAG ? int64_t(int32_t(t->caller_flag))
                                                  : *value_field(const_cast<DfTask*>(t), attr);
    if (t->int64_flag != 0) std::memcpy(out, &v, 8);
    else {
        const int32_t low = int32_t(v);
        std::memcpy(out, &low, 4);
    }
    return VEXA_DF_OK;
}

VEXA_EXPORT int vexa_df_kernel_DeleteTask(DfTask** task) {
    if (task == nullptr || *task == nullptr) return VEXA_DF_NO_TASK;
    DfTask* t = *task;
    vexa_serv_deallocate(t->y_table);
    vexa_serv_deallocate(t->coeff_table);
    vexa_serv_deallocate(t->bins);
    vexa_serv_deallocate(t);
    *task = nullptr;
    return VEXA_DF_OK;
}

VEXA_EXPORT uint8_t vDFNaturalCubSplineThreadingStruct[100] = {};

}  // extern "C"
