// Scope guard for a service-layer block: released on every return path.
#pragma once

#include "vexa/service.h"

namespace vexa::ss {

struct OwnedBlock {
    void* p = nullptr;
    OwnedBlock() = default;
    OwnedBlock(const OwnedBlock&) = delete;
    OwnedBlock& operator=(const OwnedBlock&) = delete;
    ~OwnedBlock() { vexa_serv_deallocate(p); }
};

}  // namespace vexa::ss
