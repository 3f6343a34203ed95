// The C heap on Windows: the process heap, with nothing to set.
#include "platform/heap.h"

namespace nv {

// The Windows heap is one for all threads, and it takes a block of about a
// megabyte or more straight from the system and gives it back when it is
// freed, as glibc is made to.
void ReturnFreedMemoryAtOnce() {}

}  // namespace nv
