// The C heap on Linux: glibc's malloc.
#include <malloc.h>

#include "platform/heap.h"

namespace nv {

namespace {

// glibc's own threshold to begin with, kept: blocks this large or larger
// are mapped each on its own and unmapped when freed.
constexpr int kMappedFrom = 128 << 10;

// Each arena keeps the small blocks freed in it for reuse; one a thread would
// multiply that by the threads, which spend their time deflating, not
// allocating.
constexpr int kArenas = 2;

}  // namespace

// Left to itself glibc raises the threshold to the size of each mapped block
// freed, up to 32 MiB, and the bound it trims a heap's top at with it, to
// 64 MiB; and it gives each thread an arena of its own, up to eight per
// core. A build's files and blocks of up to 32 MiB then come from arenas
// that keep them once freed, each up to 64 MiB: at 64 threads a build of
// 500 MB held up to twice its budget. Setting the threshold keeps both
// where they start; a call that fails leaves the heap as it was.
void ReturnFreedMemoryAtOnce() {
  mallopt(M_MMAP_THRESHOLD, kMappedFrom);
  mallopt(M_ARENA_MAX, kArenas);
}

}  // namespace nv
