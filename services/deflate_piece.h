// Deflate data made to be continued: its final block turned into an
// ordinary one, and the data brought to a byte boundary, so that more
// deflate data can follow it in one stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nv {

// What may be added after the data: an empty stored block, which ends on a
// byte boundary, needs a byte more where the final block left fewer than
// three bits of its last byte, and four for its lengths.
constexpr size_t kContinuationBytes = 5;

// Clears the final-block bit of complete deflate data of `*size` bytes and
// appends the empty stored block; the buffer has kContinuationBytes of room
// beyond it. False when the data is not one complete deflate stream.
bool ContinueDeflateData(uint8_t* data, size_t* size);

}  // namespace nv
