// How many files a run may keep open, on POSIX systems.
#include <sys/resource.h>

#include "platform/open_files.h"

namespace nv {

size_t FilesToHoldOpen() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < limit.rlim_max) {
    struct rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  if (limit.rlim_cur == RLIM_INFINITY) return size_t{1} << 20;
  return static_cast<size_t>(limit.rlim_cur / 2);
}

}  // namespace nv
