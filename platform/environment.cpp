// Environment lookup and the bounded copy.
#include <cstdlib>
#include <cstring>

#include "export.h"
#include "vexa/service.h"

extern "C" {

SERV_EXPORT int vexa_serv_getenv(const char* name, char* buffer, int capacity) {
    if (name == nullptr || buffer == nullptr || capacity < 1) return 0;
    const char* value = std::getenv(name);
    if (value == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    size_t n = std::strlen(value);
    if (n > size_t(capacity - 1)) n = size_t(capacity - 1);
    std::memcpy(buffer, value, n);
    buffer[n] = '\0';
    return int(n);
}

SERV_EXPORT int vexa_serv_memcpy_s(void* dest, size_t dest_capacity, const void* src, size_t count) {
    if (dest == nullptr) return 22;  // EINVAL
    if (src == nullptr || count > dest_capacity) {
        std::memset(dest, 0, dest_capacity);
        return src == nullptr ? 22 : 34;  // EINVAL, ERANGE
    }
    std::memmove(dest, src, count);
    return 0;
}

}  // extern "C"
