// The statistics task: creation with its checks in order, editing by
// parameter identifier (driven by the field table in ss_fields.def), the
// grouped editors, and deletion with the owned blocks and clean-up routines.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/align.h"
#include "common/export.h"
#include "statistics/common/access.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

using vexa::kAlignment;
constexpr uint32_t kTag = 2;

enum class Kind { U32, INT, INTS, FLT, PTR, COUNT, ROUTINE, PAD };

struct FieldInfo {
    int id;
    Kind kind;
    int null_status;
    std::size_t offset;
};

// Field of each parameter identifier 1..79.
constexpr int kMaxId = 79;
struct IdTable {
    FieldInfo by_id[kMaxId + 1]{};
    constexpr IdTable() {
#define SS_FIELD(name, kind, id, null_status) \
    if (id != 0) by_id[id] = FieldInfo{id, Kind::kind, null_status, offsetof(SSTask, name)};
#include "vexa/ss_fields.def"
#undef SS_FIELD
    }
};
constexpr IdTable kIds;

template <class T>
int new_task(SSTask** task_out, const void* dim, const void* n_obs, const void* x_storage, const T* x,
             const T* weights, const void* indices, int int64_flag) {
    if (task_out == nullptr) return VEXA_SS_NO_TASK;  // nowhere to put the record
    *task_out = nullptr;
    const uint32_t wide = int64_flag == 1 ? 1u : 0u;
    if (dim == nullptr || vexa::ss::read_int(dim, wide) <= 0) return VEXA_SS_BAD_DIM;
    // Without observations the other three may come later, by editing.
    if (x != nullptr) {
        if (x_storage == nullptr) return VEXA_SS_NO_STORAGE;
        const int64_t s = vexa::ss::read_int(x_storage, wide);
        if (!vexa::ss::observation_storage(s)) return VEXA_SS_BAD_STORAGE;
        if (n_obs == nullptr || vexa::ss::read_int(n_obs, wide) <= 0) return VEXA_SS_BAD_NOBS;
    }
    auto* t = static_cast<SSTask*>(vexa_serv_allocate(sizeof(SSTask), kAlignment));
    if (t == nullptr) return VEXA_SS_MEMORY;
    std::memset(static_cast<void*>(t), 0, sizeof(SSTask));
    t->int64_flag = wide;
    t->tag = kTag;
    t->precision = sizeof(T) == 8 ? 1u : 0u;
    t->dim = dim;
    t->n_obs = n_obs;
    t->x = const_cast<T*>(x);
    t->weights = const_cast<T*>(weights);
    t->x_storage = x_storage;
    t->indices = indices;
    *task_out = t;
    return VEXA_SS_OK;
}

// Stores value into the field of id, which must be of the wanted kinds.
int edit(SSTask* task, int64_t id, const void* value, bool integer) {
    if (task == nullptr) return VEXA_SS_NO_TASK;
    const int64_t lo = integer ? 1 : 3, hi = integer ? 79 : 78;
    if (id < lo || id > hi) return VEXA_SS_BAD_ID;
    const FieldInfo& f = kIds.by_id[id];
    const bool is_int = f.kind == Kind::INT || f.kind == Kind::INTS;
    if (f.id == 0 || is_int != integer) return VEXA_SS_BAD_ID;
    if (value == nullptr) return f.null_status;
    void* slot = reinterpret_cast<char*>(task) + f.offset;
    std::memcpy(slot, &value, sizeof(void*));
    return VEXA_SS_OK;
}

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrdSSNewTask(SSTask** task_out, const void* dim, const void* n_obs, const void* x_storage,
                                const double* x, const double* weights, const void* indices, int int64_flag) {
    return new_task(task_out, dim, n_obs, x_storage, x, weights, indices, int64_flag);
}
VEXA_EXPORT int __tqrsSSNewTask(SSTask** task_out, const void* dim, const void* n_obs, const void* x_storage,
                                const float* x, const float* weights, const void* indices, int int64_flag) {
    return new_task(task_out, dim, n_obs, x_storage, x, weights, indices, int64_flag);
}
VEXA_EXPORT int __tqrdSSEditTask(SSTask* task, int64_t id, const double* value) { return edit(task, id, value, false); }
VEXA_EXPORT int __tqrsSSEditTask(SSTask* task, int64_t id, const float* value) { return edit(task, id, value, false); }
VEXA_EXPORT int __tqriSSEditTask(SSTask* task, int64_t id, const void* value) { return edit(task, id, value, true); }

VEXA_EXPORT int __tqrSSDeleteTask(SSTask** task_ptr) {
    if (task_ptr == nullptr || *task_ptr == nullptr) return VEXA_SS_NO_TASK;
    SSTask* t = *task_ptr;
    if (t->basic_buffer != nullptr) vexa_serv_deallocate(t->basic_buffer);
    // The record has one clean-up slot; its routine runs once per registration.
    for (int32_t i = 0; i < t->cleanup_count; ++i)
        if (t->cleanup != nullptr) t->cleanup(t);
    vexa_serv_deallocate(t);
    *task_ptr = nullptr;
    return VEXA_SS_OK;
}

// Each argument as an expression (the map joins them with commas).
#define SSX_SET_F(name) \
    (name != nullptr ? void(task->name = const_cast<void*>(static_cast<const void*>(name))) : void())
#define SSX_SET_I(name) (name != nullptr ? void(task->name = name) : void())
#define SSX_SET(arg) SSX_CAT(SSX_SET_, arg)
#define SS_EDITOR(name, ...)                                                              \
    VEXA_EXPORT int __tqrdSSEdit##name(SSTask* task, SSX_MAP(SSX_PARAM_d, __VA_ARGS__)) { \
        if (task == nullptr) return VEXA_SS_NO_TASK;                                      \
        SSX_MAP(SSX_SET, __VA_ARGS__);                                                    \
        return VEXA_SS_OK;                                                                \
    }                                                                                     \
    VEXA_EXPORT int __tqrsSSEdit##name(SSTask* task, SSX_MAP(SSX_PARAM_s, __VA_ARGS__)) { \
        if (task == nullptr) return VEXA_SS_NO_TASK;                                      \
        SSX_MAP(SSX_SET, __VA_ARGS__);                                                    \
        return VEXA_SS_OK;                                                                \
    }
#include "vexa/ss_editors.def"
#undef SS_EDITOR

}  // extern "C"
