// The thread's mode word: lazy initialisation from the environment, the mode
// token table and the field-wise SetMode.
#include <cstring>

#include "vector_math/frame/thread_state.h"
#include "vexa/service.h"

extern "C" VEXA_EXPORT const VexaModeToken mapModeS_N[13] = {
    {"LA", 2, 0x1, 0},
    {"HA", 2, 0x2, 0},
    {"EP", 2, 0x3, 0},
    {"DEFAULT_PRECISION", 17, 0x0, 0},
    {"FLOAT_CONSISTENT", 16, 0x10, 0},
    {"DOUBLE_CONSISTEN", 16, 0x20, 0},  // the row text has no final T
    {"RESTORE", 7, 0x30, 0},
    {"ERRMODE_IGNORE", 14, 0x100, 0},
    {"ERRMODE_ERRNO", 13, 0x200, 0},
    {"ERRMODE_STDERR", 14, 0x400, 0},
    {"ERRMODE_EXCEPT", 14, 0x800, 0},
    {"ERRMODE_CALLBACK", 16, 0x1000, 0},
    {"ERRMODE_DEFAULT", 15, 0x1A00, 0},
};

namespace {

// The environment variable holding the initial mode is VEXA_VM_MODE. Its name
// is kept XOR-scrambled with a position-dependent key and rebuilt on the stack
// when read, so the plain text never sits in the library's data.
constexpr int kNameLength = 12;
constexpr unsigned char key_at(int i) { return static_cast<unsigned char>(0xA5 + 29 * i); }
struct ScrambledName {
    unsigned char bytes[kNameLength];
};
constexpr ScrambledName scramble(const char (&plain)[kNameLength + 1]) {
    ScrambledName s{};
    for (int i = 0; i < kNameLength; ++i) s.bytes[i] = static_cast<unsigned char>(plain[i]) ^ key_at(i);
    return s;
}
constexpr ScrambledName kScrambledName = scramble("VEXA_VM_MODE");

constexpr int kEnvCapacity = 256;
constexpr char kTokenPrefix[] = "ARX_";
constexpr int kPrefixLength = 4;
constexpr long long kInvalid = -1;

}  // namespace

namespace vexa::vm {

unsigned initialise_mode() {
    long long env = vexa_arx_kernel_ReadEnvVarMode();
    // A value of 0 (only DEFAULT_PRECISION given) leaves the mode uninitialised,
    // so the environment is read again next time.
    unsigned m = env == kInvalid ? VEXA_VM_DEFAULT_MODE : static_cast<unsigned>(env);
    g_thread.mode = m;
    return m;
}

unsigned set_mode(unsigned m) {
    unsigned old = current_mode();
    unsigned cur = old;
    if (m & VEXA_VM_ACCURACY_MASK) cur = (cur & ~VEXA_VM_ACCURACY_MASK) | (m & VEXA_VM_ACCURACY_MASK);
    if (m & VEXA_VM_ERRMODE_MASK) cur = (cur & ~VEXA_VM_ERRMODE_MASK) | (m & VEXA_VM_ERRMODE_MASK);
    if (m & VEXA_VM_DENORMAL_MASK) cur = (cur & ~VEXA_VM_DENORMAL_MASK) | (m & VEXA_VM_DENORMAL_MASK);
    g_thread.mode = cur;
    return old;
}

}  // namespace vexa::vm

extern "C" {

VEXA_EXPORT unsigned vexa_arx_kernel_GetMode(void) { return vexa::vm::current_mode(); }
VEXA_EXPORT unsigned _arxGetMode(void) { return vexa::vm::current_mode(); }
VEXA_EXPORT unsigned vexa_arx_kernel_SetMode(unsigned mode) { return vexa::vm::set_mode(mode); }
VEXA_EXPORT unsigned _arxSetMode(unsigned mode) { return vexa::vm::set_mode(mode); }

// Parses the variable's value: tokens separated by single commas, each the
// prefix "ARX_" and then a row of mapModeS_N matched on its prefix in table
// order. Any fault (unknown token, missing prefix, trailing comma, a character
// other than ',' after a token) rejects the whole value.
VEXA_EXPORT long long vexa_arx_kernel_ReadEnvVarMode(void) {
    char name[kNameLength + 1];
    for (int i = 0; i < kNameLength; ++i) name[i] = static_cast<char>(kScrambledName.bytes[i] ^ key_at(i));
    name[kNameLength] = '\0';

    char value[kEnvCapacity];
    std::memset(value, 0, sizeof value);  // rows are compared over their whole length
    if (vexa_serv_getenv(name, value, kEnvCapacity) < 1) return kInvalid;
    value[kEnvCapacity - 1] = '\0';

    unsigned long long result = 0;
    int pos = 0;
    for (;;) {
        if (pos + kPrefixLength >= kEnvCapacity || std::memcmp(value + pos, kTokenPrefix, kPrefixLength) != 0)
            return kInvalid;
        const int p = pos + kPrefixLength;
        const VexaModeToken* hit = nullptr;
        for (const VexaModeToken& row : mapModeS_N) {
            // A row reaching past the buffer (with the character after it) is passed over.
            if (p + row.length >= kEnvCapacity) continue;
            if (std::memcmp(value + p, row.text, static_cast<size_t>(row.length)) == 0) {
                hit = &row;
                break;
            }
        }
        if (hit == nullptr) return kInvalid;
        const char after = value[p + hit->length];
        if (after != ',' && after != '\0') return kInvalid;
        result |= (static_cast<unsigned long long>(hit->value_hi) << 32) | hit->value_lo;
        if (after == '\0') return static_cast<long long>(result);
        pos = p + hit->length + 1;
    }
}

}  // extern "C"
