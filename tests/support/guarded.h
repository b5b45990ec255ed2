// Arrays placed against inaccessible pages, so a kernel that reads or writes
// one element beyond either end faults.
#pragma once

#include <cstddef>

namespace vexa::test {

class GuardedBuffer {
public:
    // `bytes` usable bytes; the block ends exactly at a protected page
    // (tail = true) or starts exactly after one (tail = false).
    GuardedBuffer(std::size_t bytes, bool tail);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    void* data() const { return data_; }
    template <class T> T* as() const { return static_cast<T*>(data_); }

private:
    void* map_ = nullptr;
    std::size_t map_bytes_ = 0;
    void* data_ = nullptr;
};

}  // namespace vexa::test
