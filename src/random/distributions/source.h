// Where the distributions get their uniform values: the stream's own
// generator routines from its registry record, and, for the congruential
// generators, their vector engines, which leave the values in registers.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "common/export.h"
#include "random/brng/mcg.h"
#include "random/core/stream.h"
#include "vexa/rng_engines.h"

namespace vexa::rng::source {

// The stream's routine `routine` of its registry record, called with args.
template <class Routine, class... Args>
VEXA_INLINE int through(StreamState* s, Routine* BrngProperties::*routine, Args... args) {
    const BrngProperties* p = record_of(s->brng);
    if (p == nullptr) return VEXA_RNG_INVALID_BRNG;
    if (p->*routine == nullptr) return VEXA_RNG_NULL_ROUTINE;
    return (p->*routine)(s, args...);
}

// n values uniform on [a, b) from the stream's float or double routine.
VEXA_INLINE int uniform(StreamState* s, int n, double* r, double a, double b) {
    return through(s, &BrngProperties::dBRng, n, r, a, b);
}
VEXA_INLINE int uniform(StreamState* s, int n, float* r, float a, float b) {
    return through(s, &BrngProperties::sBRng, n, r, a, b);
}

// The stream's n integer outputs (words of the generator's size).
VEXA_INLINE int words(StreamState* s, int n, uint32_t* r) { return through(s, &BrngProperties::iBRng, n, r); }

// The registry index of the stream's generator, or -1.
VEXA_INLINE int32_t registry_index_of(const StreamState* s) {
    int32_t index, offset;
    const BrngProperties* table = __tqrGetBrngBaseOffset(s->brng, &index, &offset);
    return __tqrIsBrngValid(table, index, offset) == VEXA_RNG_OK ? index : -1;
}

// The streams whose generators have vector engines.
VEXA_INLINE bool has_engines(const StreamState* s) {
    return s->brng == registry_id::MCG31M1 || s->brng == registry_id::MCG59;
}

// A run of a stream's double engines: uniform values on (0, 1) in blocks of
// 16, 4 or 1 (the value in lane 0). The lane states come from the lane data
// and go back to it, with lane 0 as the stream's next state, when the run ends.
class Engines {
public:
    // Lane data of chunk 14 (null when the stream has none).
    explicit Engines(StreamState* s) : stream_(s) {
        data_ = lanes_of(s);
        if (data_ == nullptr) return;
        kind_ = data_->kind;
        if (kind_ != 0 && kind_ != 1) {  // a damaged image
            data_ = nullptr;
            return;
        }
        const VexaEngineProperty& row = vexa_tqr_sub_kernel_vrng_coreavx2_engine_property[kind_];
        for (int k = 0; k < 6; ++k) engine_[k] = row.double_engine[k];
        lanes_ = simd::load_int(data_->lanes);
        scale_ = _mm256_set1_pd(row.double_scale[0]);
    }
    ~Engines() {
        if (data_ == nullptr) return;
        simd::store_int(data_->lanes, lanes_);
        // The state x of MCG31M1 is 32 bits wide, that of MCG59 64.
        if (kind_ == 0) *field<uint32_t>(stream_, kStateOffset) = uint32_t(data_->lanes[0]);
        else *field<uint64_t>(stream_, kStateOffset) = data_->lanes[0];
    }
    Engines(const Engines&) = delete;
    Engines& operator=(const Engines&) = delete;

    bool ready() const { return data_ != nullptr; }
    // out[0..3] for 16 values, out[0] for 4, lane 0 of out[0] for 1.
    VEXA_INLINE void next16(__m256d* out) { engine_[4](data_, &lanes_, scale_, _mm256_setzero_pd(), out); }
    VEXA_INLINE void next4(__m256d* out) { engine_[2](data_, &lanes_, scale_, _mm256_setzero_pd(), out); }
    VEXA_INLINE void next1(__m256d* out) { engine_[0](data_, &lanes_, scale_, _mm256_setzero_pd(), out); }

private:
    StreamState* stream_;
    LaneData* data_ = nullptr;
    int32_t kind_ = 0;
    VexaEngineDouble* engine_[6] = {};
    __m256i lanes_;
    __m256d scale_;
};

}  // namespace vexa::rng::source
