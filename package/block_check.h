// The check the build cache keeps of a block's bytes: a CRC-32, quick
// enough to take of every block a build makes and takes over, so that a
// block taken from the last package is the very one that build wrote.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nv {

// The check of a block, or, given the check of the bytes before them, of
// those bytes and these.
uint32_t BlockCheck(const uint8_t* block, size_t size, uint32_t before = 0);

}  // namespace nv
