// How many files a run may keep open, on Windows: none.
#include "platform/open_files.h"

namespace nv {

size_t FilesToHoldOpen() { return 0; }

}  // namespace nv
