// Registry records of generators that are not built yet: their sizes are in
// the registry, and every routine refuses with VEXA_RNG_NOT_BUILT, so a
// stream of theirs can be created and deleted but yields nothing.
#include <cstdint>

#include "common/export.h"
#include "vexa/random.h"

#define BRNG_IF_0(x) x
#define BRNG_IF_1(x)
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built)                                  \
    BRNG_IF_##built(VEXA_EXPORT int __tqrBRng##NAME##InitStream(int, StreamState*, int, const uint32_t*) {           \
        return VEXA_RNG_NOT_BUILT;                                                                                    \
    } VEXA_EXPORT int __tqrsBRng##NAME(StreamState*, int, float*, float, float) { return VEXA_RNG_NOT_BUILT; }       \
                    VEXA_EXPORT int __tqrdBRng##NAME(StreamState*, int, double*, double, double) {                    \
                        return VEXA_RNG_NOT_BUILT;                                                                    \
                    } VEXA_EXPORT int __tqriBRng##NAME(StreamState*, int, uint32_t*) { return VEXA_RNG_NOT_BUILT; })

extern "C" {
#include "vexa/brng_catalogue.def"
}
