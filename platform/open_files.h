// How many files a run may keep open at once beyond what it needs anyway.
#pragma once

#include <cstddef>

namespace nv {

// Raises the number of files the process may hold open to the most the
// system lets it (as tools that hold many files open do), and returns how
// many files a run may keep open between testing and reading them: half
// of what it may hold, the rest left for everything else. On Windows none:
// a file held open there keeps other programs from writing it meanwhile.
size_t FilesToHoldOpen();

}  // namespace nv
