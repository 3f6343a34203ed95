// When a file's stamp vouches for its content: the rule by which a cache
// takes what it knew of a file without reading the file again.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/file_system.h"

namespace nv {

// A file is trusted by its stamp alone only when it last changed this long
// before the run that read it began reading: a change within the same tick
// of the file system's clock (two seconds on FAT) leaves the stamp as it was.
constexpr int64_t kRacyNanoseconds = int64_t{2} * 1000 * 1000 * 1000;

// The time `span` (not negative) before `time`, or the earliest time there
// is when that would lie before it: a time read from a cache file or a
// disk may be any value, and is never let overflow.
constexpr int64_t TimeBefore(int64_t time, int64_t span) {
  return time < std::numeric_limits<int64_t>::min() + span ? std::numeric_limits<int64_t>::min()
                                                           : time - span;
}

// Whether a file that has the stamp `now` surely holds what it held when a
// run that began reading at `readFrom` found it stamped `then`: the same
// stamp, last changed long enough before that run began. A read-from time
// too early to have the window before it vouches for nothing: no time lies
// before the earliest.
inline bool StampVouches(const FileStamp& then, const FileStamp& now, int64_t readFrom) {
  const int64_t last = std::max(then.modified, then.changed);
  return now == then && last < TimeBefore(readFrom, kRacyNanoseconds);
}

}  // namespace nv
