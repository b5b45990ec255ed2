#include "vector_math/frame/thread_state.h"

namespace vexa::vm {

thread_local ThreadBlock g_thread;

}  // namespace vexa::vm
