// The alignment of every block the library takes from the service layer: a
// whole number of cache lines, and of 32-byte vector registers.
#pragma once

#include <cstddef>

namespace vexa {

constexpr std::size_t kAlignment = 128;

}  // namespace vexa
