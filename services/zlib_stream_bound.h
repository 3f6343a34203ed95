// The longest zlib stream the IZlib service makes of a given number of bytes,
// for callers that must know, before they read the bytes, whether the stream
// can fit a 32-bit length.
#pragma once

#include <cstdint>

namespace nv {

// A stream of stored blocks: a 2-byte header, one 5-byte block header per
// 65535 bytes (at least one block), the data, and the 4-byte Adler-32. The
// service stores whatever deflating does not make smaller than that, so no
// stream it makes is longer. Exact for any size a file can have.
constexpr uint64_t ZlibStreamBound(uint64_t n) {
  return 2 + 5 * (n == 0 ? 1 : (n + 65534) / 65535) + n + 4;
}

}  // namespace nv
