// Service buffers on Windows come from the COM task allocator, as components'
// output buffers do, so that CoTaskMemFree is their one way back.
#include "services/task_memory.h"

#include <objbase.h>

namespace nv {

void* TaskMemAlloc(size_t size) { return CoTaskMemAlloc(size ? size : 1); }
void TaskMemFree(void* p) { CoTaskMemFree(p); }

}  // namespace nv
