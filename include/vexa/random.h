/* Random-number streams: the stream block, the generator registry, chunks and
 * the shared read-only data table, and the basic generators' routines.
 * Usable from C and C++. */
#ifndef VEXA_RANDOM_H
#define VEXA_RANDOM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses of the random-number streams and distributions (catalogue rng_status.def). */
enum VexaRngStatus {
#define RNG_STATUS(name, code, meaning) VEXA_RNG_##name = code,
#include "vexa/rng_status.def"
#undef RNG_STATUS
};
#define VEXA_RNG_REGISTRY_FULL VEXA_RNG_INVALID_BRNG /* all 512 records in use */
#define VEXA_RNG_NOT_BUILT VEXA_RNG_INVALID_BRNG     /* no generator behind the record yet */

/* A stream block size for a state that holds pointers: the i386 size, and
 * the size on a 64-bit build, where the pointers widen (the registry gives
 * the size of the build at hand). */
#define VEXA_RNG_WIDENS(i386_size, lp64_size) ((int)(sizeof(void*) == 4 ? (i386_size) : (lp64_size)))

/* Initialisation methods of a generator's InitStream. */
#define VEXA_RNG_INIT_STANDARD 0
#define VEXA_RNG_INIT_LEAPFROG 1
#define VEXA_RNG_INIT_SKIPAHEAD 2

/* The stream block: this header, then the generator's state from byte 16. */
typedef struct StreamState {
    int32_t brng;        /* generator id as given at creation */
    uint8_t allocated;   /* 1 in every allocated block */
    uint8_t unused[3];
    uint64_t chunks;     /* head of the chunk list: a pointer, sign-extended */
} StreamState;

typedef struct GlobROKey {
    uint64_t stamp; /* time-stamp counter when the key was made */
    uint32_t tag;
    uint32_t extra;
} GlobROKey;

/* A cached data block of a stream, in a list pushed at the head. */
typedef struct StreamChunk {
    int32_t id;
    int32_t size;
    void* data;
    struct StreamChunk* next;
    GlobROKey key; /* all zero for a private chunk */
} StreamChunk;

typedef int VexaInitStreamFn(int method, StreamState* stream, int n, const uint32_t* params);
typedef int VexasBRngFn(StreamState* stream, int n, float* r, float a, float b);
typedef int VexadBRngFn(StreamState* stream, int n, double* r, double a, double b);
typedef int VexaiBRngFn(StreamState* stream, int n, uint32_t* r);

/* A generator's registry record. */
typedef struct BrngProperties {
    int32_t StreamStateSize;
    int32_t NSeeds;
    int32_t IncludesZero;
    int32_t WordSize;
    int32_t NBits;
    VexaInitStreamFn* InitStream;
    VexasBRngFn* sBRng;
    VexadBRngFn* dBRng;
    VexaiBRngFn* iBRng;
} BrngProperties;

/* An entry of the process-wide table of shared read-only chunk data. */
typedef struct GlobRODataTableEntry {
    GlobROKey key;
    int32_t references;
    void* data;
} GlobRODataTableEntry;

#define VEXA_RNG_REGISTRY_RECORDS 512
#define VEXA_RNG_GLOBAL_ENTRIES 128

extern BrngProperties __RegBrngsNew[VEXA_RNG_REGISTRY_RECORDS];
extern int32_t NRegBrngsNew;
extern int32_t NumOffsets[VEXA_RNG_REGISTRY_RECORDS];
extern const BrngProperties __RegBrngs[VEXA_RNG_REGISTRY_RECORDS];
extern GlobRODataTableEntry _GlobRODataTable[VEXA_RNG_GLOBAL_ENTRIES];
extern int32_t _GlobRODataTableCount;
extern volatile int32_t _TQR_GLOB_RO_DATA_TABLE_LOCKER_1;

/* ---- registry and streams ------------------------------------------------ */
const BrngProperties* __tqrGetBrngBaseOffset(int32_t id, int32_t* index, int32_t* offset);
int __tqrIsBrngValid(const BrngProperties* table, int32_t index, int32_t offset);
int __tqrGetBrngProperties(int32_t id, BrngProperties* properties);
int __tqrGetNumRegBrngs(void);
int __tqrRegisterBrng(const BrngProperties* properties);
int __tqrAllocateStream(StreamState** stream, const BrngProperties* table, int32_t id, int32_t index, int32_t offset);
int __tqrNewStreamEx(StreamState** stream, int32_t id, int n, const uint32_t* params);
typedef int VexaiAbstractCallback(StreamState* stream, int* n, uint32_t* buffer, int* nmin, int* nmax, int* idx);
typedef int VexadAbstractCallback(StreamState* stream, int* n, double* buffer, int* nmin, int* nmax, int* idx);
typedef int VexasAbstractCallback(StreamState* stream, int* n, float* buffer, int* nmin, int* nmax, int* idx);
int __tqriNewAbstractStream(StreamState** stream, int n, uint32_t* buffer, VexaiAbstractCallback* callback);
int __tqrdNewAbstractStream(StreamState** stream, int n, double* buffer, double a, double b,
                            VexadAbstractCallback* callback);
int __tqrsNewAbstractStream(StreamState** stream, int n, float* buffer, float a, float b,
                            VexasAbstractCallback* callback);
int __tqrCopyStream(StreamState** copy, const StreamState* source);
int __tqrCopyStreamState(StreamState* destination, const StreamState* source);
int __tqrDeleteStream(StreamState** stream);
int __tqrLeapfrogStream(StreamState* stream, int k, int nstreams);
int __tqrSkipAheadStream(StreamState* stream, long long nskip);
int32_t __tqrGetStreamStateBrng(const StreamState* stream);

/* ---- chunks and the shared table ----------------------------------------- */
int __tqrAddChunk(StreamState* stream, int32_t id, const GlobROKey* key, void* data, int32_t size);
void* __tqrSearchChunk(const StreamState* stream, int32_t id);
int __tqrGetNumChunks(const StreamState* stream);
void __tqrDeleteChunks(StreamState* stream);
void __tqrDeleteChunksById(StreamState* stream, int32_t id);
int __tqrCopyChunks(StreamState* destination, const StreamState* source);
int __tqrFindGlobRODataTableEntry(GlobRODataTableEntry** entry, const GlobROKey* key);
int __tqrCreateGlobRODataTableEntry(GlobRODataTableEntry** entry, const GlobROKey* key, void* data);
void __tqrRegisterGlobRODataReference(StreamChunk* chunk, const GlobROKey* key);
void __tqrUnregisterGlobRODataReference(const GlobROKey* key);
int __tqrGenerateNewGlobalRODataTableEntryId(GlobROKey* key, uint32_t tag);

/* ---- the generators' routines (one set per catalogue row) ---------------- */
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) \
    VexaInitStreamFn __tqrBRng##NAME##InitStream;                                  \
    VexasBRngFn __tqrsBRng##NAME;                                                  \
    VexadBRngFn __tqrdBRng##NAME;                                                  \
    VexaiBRngFn __tqriBRng##NAME;
#include "vexa/brng_catalogue.def"
#undef BRNG

/* 1 when the processor has SSE2 and AES (ARS5 needs them), else 0. */
int __tqrCPUisAES(void);
/* 1 when the processor has the hardware random-number instruction (NONDETERM), else 0. */
int __tqrCPUisRDRAND(void);

/* ---- modular powers -------------------------------------------------------- */
uint32_t __tqriPowMod(uint32_t a, uint64_t n, uint32_t m);
uint32_t __tqriPowMod2P31M1(uint32_t a, uint64_t n);
uint64_t __tqriPowMod2P59(uint64_t a, uint64_t n);
/* Advances v (oldest first) by n steps of x_t = row[0] x_{t-1} + row[1] x_{t-2}
 * + row[2] x_{t-3} mod m. */
void __tqriVect3PowMod(uint32_t v[3], const uint32_t row[3], uint32_t m, uint64_t n);

/* ---- stream images in a file or in memory (the same bytes) -------------- */
/* length >= 0: name holds length characters, not terminated; < 0: NUL-terminated. */
int __tqrSaveStreamF(const StreamState* stream, const char* name, int length);
int __tqrLoadStreamF(StreamState** stream, const char* name, int length);
/* memory holds __tqrGetStreamSize(stream) bytes. */
int __tqrSaveStreamM(const StreamState* stream, char* memory);
int __tqrLoadStreamM(StreamState** stream, const char* memory);
int32_t __tqrGetStreamSize(const StreamState* stream);

/* ---- skip-ahead of the twisters by polynomial arithmetic over GF(2) --------
 * A generator's state of a linear recurrence is advanced by nskip steps as
 * g(T) s, g = x^nskip mod p, p the characteristic polynomial of the one-step
 * transition T, given by the ascending exponents of its nterms terms (the
 * last is the degree). The generator supplies six operations on work states of
 * state_size bytes. */
typedef struct VexaSkipAheadOps {
    void (*clear)(void* work);
    void (*add)(void* work, const void* other);             /* work ^= other */
    void (*load)(void* work, const StreamState* stream);    /* the stream's state */
    void (*step)(void* work);                               /* one transition step */
    /* Writes work back as the state of the stream skipped by nskip values. */
    void (*store)(StreamState* stream, const void* work, unsigned long long nskip);
    /* Accounts for the values left in the stream's current block: returns 1
     * when the skip ends inside it (the position is then advanced), else 0
     * with *steps set to the number of transition steps to apply and the
     * stream untouched. */
    int (*adjust)(StreamState* stream, unsigned long long nskip, unsigned long long* steps);
} VexaSkipAheadOps;

/* x^nskip mod p into coefficients (bit i of word i / 32 is the coefficient of
 * x^i; (degree + 31) / 32 words); 0, or VEXA_RNG_MEMORY. */
int __tqrPolyRem(uint32_t* coefficients, unsigned long long nskip, const int32_t* poly, int nterms);
/* Horner's scheme on g; the sliding-window scheme on g with a table of 128
 * states. 0, or VEXA_RNG_MEMORY with the stream unchanged. */
int __tqr_SkipAheadHorner(StreamState* stream, const VexaSkipAheadOps* ops, unsigned long long nskip, int degree,
                          const int32_t* poly, int nterms, int state_size);
int __tqr_SkipAheadSWin(StreamState* stream, const VexaSkipAheadOps* ops, unsigned long long nskip, int degree,
                        const int32_t* poly, int nterms, int state_size);

/* The characteristic polynomials of MT19937's word step and SFMT19937's
 * 128-bit step. */
#define VEXA_MT19937_POLY_TERMS 135
#define VEXA_SFMT19937_POLY_TERMS 6711
extern const int32_t _tqr_mt19937_poly[VEXA_MT19937_POLY_TERMS];
extern const int32_t _tqr_sfmt19937_poly[VEXA_SFMT19937_POLY_TERMS];

/* ---- MT2203 parameter sets: twist constant a, tempering masks b and c ---- */
#define VEXA_MT2203_SETS 6024
extern const uint32_t _tqr_mt2203_table[VEXA_MT2203_SETS][3];

/* ---- Wichmann-Hill parameter sets ----------------------------------------- */
#define VEXA_WH_SETS 273
extern const uint32_t _tqr_WH_M[VEXA_WH_SETS][4];
extern const uint8_t _tqr_WH_A[VEXA_WH_SETS][4];
extern const double _tqrdWH_IM_Tab[VEXA_WH_SETS][4];

#ifdef __cplusplus
}
#endif

#if defined(__i386__)
#ifdef __cplusplus
static_assert(sizeof(StreamState) == 16 && offsetof(StreamState, chunks) == 8, "stream header");
static_assert(sizeof(StreamChunk) == 32 && offsetof(StreamChunk, key) == 16, "chunk record");
static_assert(sizeof(BrngProperties) == 36 && offsetof(BrngProperties, InitStream) == 20, "registry record");
static_assert(sizeof(GlobRODataTableEntry) == 24, "shared table entry");
static_assert(sizeof(BrngProperties) * VEXA_RNG_REGISTRY_RECORDS == 18432, "registry table");
#endif
#endif

#endif
