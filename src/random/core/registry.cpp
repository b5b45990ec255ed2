// The generator registry: the 512-record table of built-in and registered
// generators, its sub-generator counts, the compatibility table of the small
// ids, decoding and checking ids, and registration.
#include <cstdint>
#include <cstring>

#include "common/export.h"
#include "vexa/random.h"

namespace vexa::rng {

#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) \
    {size, seeds, zero, word, bits, __tqrBRng##NAME##InitStream, __tqrsBRng##NAME, __tqrdBRng##NAME, __tqriBRng##NAME},
constexpr BrngProperties kBuiltIn[] = {
#include "vexa/brng_catalogue.def"
};
#undef BRNG
constexpr int kBuiltInCount = int(sizeof(kBuiltIn) / sizeof(kBuiltIn[0]));

// Compatibility ids: 0-3 the first four generators, 4-276 the Wichmann-Hill
// sets, 277 Sobol, 278 Niederreiter.
struct Compatibility {
    BrngProperties records[VEXA_RNG_REGISTRY_RECORDS]{};
    constexpr Compatibility() {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) \
    if (compat >= 0) records[compat] = kBuiltIn[index];
#include "vexa/brng_catalogue.def"
#undef BRNG
        for (int i = 5; i <= 276; ++i) records[i] = records[4];
    }
};

}  // namespace vexa::rng

extern "C" {

VEXA_EXPORT BrngProperties __RegBrngsNew[VEXA_RNG_REGISTRY_RECORDS] = {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) \
    {size, seeds, zero, word, bits, __tqrBRng##NAME##InitStream, __tqrsBRng##NAME, __tqrdBRng##NAME, __tqriBRng##NAME},
#include "vexa/brng_catalogue.def"
#undef BRNG
};
VEXA_EXPORT int32_t NRegBrngsNew = vexa::rng::kBuiltInCount;
VEXA_EXPORT int32_t NumOffsets[VEXA_RNG_REGISTRY_RECORDS] = {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) subs,
#include "vexa/brng_catalogue.def"
#undef BRNG
};
// The compatibility table: made at compile time and exported under its array name.
VEXA_HIDDEN extern const vexa::rng::Compatibility vexa_rng_compatibility_table;
const vexa::rng::Compatibility vexa_rng_compatibility_table{};
VEXA_EXPORT extern const BrngProperties __RegBrngs[VEXA_RNG_REGISTRY_RECORDS]
    __attribute__((alias("vexa_rng_compatibility_table")));
static_assert(sizeof(vexa::rng::Compatibility) == sizeof(BrngProperties) * VEXA_RNG_REGISTRY_RECORDS);

VEXA_EXPORT const BrngProperties* __tqrGetBrngBaseOffset(int32_t id, int32_t* index, int32_t* offset) {
    if (id >= 0x100000) {
        *index = (id >> 20) - 1;
        *offset = id & 0xFFFFF;
        return __RegBrngsNew;
    }
    if (id >= 4 && id <= 276) {
        *index = 4;
        *offset = id - 4;
    } else {
        *index = id;
        *offset = 0;
    }
    return __RegBrngs;
}

// The compatibility table's valid indices are those that hold a generator:
// 0-278 (279, 280 and negative ids have none and are refused, our choice).
VEXA_EXPORT int __tqrIsBrngValid(const BrngProperties* table, int32_t index, int32_t offset) {
    if (table == __RegBrngs) return index >= 0 && index <= 278 ? VEXA_RNG_OK : VEXA_RNG_INVALID_BRNG;
    if (index >= 0 && index < NRegBrngsNew && offset >= 0 && offset < NumOffsets[index]) return VEXA_RNG_OK;
    return VEXA_RNG_INVALID_BRNG;
}

VEXA_EXPORT int __tqrGetBrngProperties(int32_t id, BrngProperties* properties) {
    int32_t index, offset;
    const BrngProperties* table = __tqrGetBrngBaseOffset(id, &index, &offset);
    if (const int st = __tqrIsBrngValid(table, index, offset)) return st;
    if (properties != nullptr) *properties = table[index];
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrGetNumRegBrngs(void) { return NRegBrngsNew; }

// A full registry (512 records) refuses further registrations with -1000.
VEXA_EXPORT int __tqrRegisterBrng(const BrngProperties* p) {
    if (p == nullptr) return VEXA_RNG_NULL_ROUTINE;
    if (p->StreamStateSize < 0) return VEXA_RNG_BAD_STATE_SIZE;
    if (p->WordSize != 4 && p->WordSize != 8 && p->WordSize != 16) return VEXA_RNG_BAD_WORD_SIZE;
    if (p->NSeeds < 1) return VEXA_RNG_BAD_NSEEDS;
    if (p->NBits < 1) return VEXA_RNG_BAD_NBITS;
    if (p->dBRng == nullptr || p->sBRng == nullptr || p->iBRng == nullptr || p->InitStream == nullptr)
        return VEXA_RNG_NULL_ROUTINE;
    const int32_t c = NRegBrngsNew;
    if (c >= VEXA_RNG_REGISTRY_RECORDS) return VEXA_RNG_REGISTRY_FULL;
    NumOffsets[c] = 1;
    __RegBrngsNew[c] = *p;
    NRegBrngsNew = c + 1;
    return (c << 20) + 0x100000;
}

}  // extern "C"
