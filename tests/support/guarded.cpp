#include "support/guarded.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace vexa::test {

GuardedBuffer::GuardedBuffer(std::size_t bytes, bool tail) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t body = (bytes + page - 1) / page * page;
    map_bytes_ = body + 2 * page;
    map_ = mmap(nullptr, map_bytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map_ == MAP_FAILED) std::abort();
    char* first = static_cast<char*>(map_) + page;
    if (body != 0 && mprotect(first, body, PROT_READ | PROT_WRITE) != 0) std::abort();
    data_ = tail ? first + body - bytes : first;
}

GuardedBuffer::~GuardedBuffer() { munmap(map_, map_bytes_); }

}  // namespace vexa::test
