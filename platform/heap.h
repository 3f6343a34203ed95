// How the C heap gives back what a build frees.
#pragma once

namespace nv {

// Makes a block of memory freed go back to the system at once, on any
// number of threads, so that what the process holds stays close to what
// it uses: a build that frees files and blocks of many megabytes on many
// threads would otherwise keep much of them in the heap, out of its budget.
// Called at the start, before any thread.
void ReturnFreedMemoryAtOnce();

}  // namespace nv
