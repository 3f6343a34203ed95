// Service buffers on POSIX systems come from the C heap.
#include "services/task_memory.h"

#include <cstdlib>

namespace nv {

void* TaskMemAlloc(size_t size) { return std::malloc(size ? size : 1); }
void TaskMemFree(void* p) { std::free(p); }

}  // namespace nv
