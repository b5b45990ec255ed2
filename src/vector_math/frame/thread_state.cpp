#include "vector_math/frame/thread_state.h"

namespace vexa::vm {

thread_local ThreadBlock g_thread VEXA_TLS_FAST;

}  // namespace vexa::vm
