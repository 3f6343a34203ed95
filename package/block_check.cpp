// Block checks with libdeflate's CRC-32, which uses the processor's
// carry-less multiplication where it has it.
#include "package/block_check.h"

#include <libdeflate.h>

namespace nv {

uint32_t BlockCheck(const uint8_t* block, size_t size, uint32_t before) {
  return libdeflate_crc32(before, block, size);
}

}  // namespace nv
