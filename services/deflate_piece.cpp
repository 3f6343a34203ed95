// Deflate data made to be continued. Blocks are found with zlib's inflate,
// which stops between blocks when asked (Z_BLOCK) and tells how many bits of
// the last byte it took are still unused: a block header starts right
// after them.
#include "services/deflate_piece.h"

#include <zlib.h>

#include <initializer_list>
#include <memory>

namespace nv {

namespace {

struct BitPosition {
  uint8_t* byte;
  uint8_t mask;
};

// Inflates the data to its end, into a scratch buffer, and gives the
// header bit of its final block and the unused bits after it.
bool FindFinalBlock(uint8_t* data, size_t size, BitPosition* header, int* unusedBits) {
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
  stream.next_in = data;
  stream.avail_in = static_cast<uInt>(size);
  constexpr size_t kScratch = 64 << 10;
  const std::unique_ptr<uint8_t[]> scratch(new uint8_t[kScratch]);
  *header = {data, 1};  // the first block's header opens the data
  for (;;) {
    stream.next_out = scratch.get();
    stream.avail_out = kScratch;
    const int result = inflate(&stream, Z_BLOCK);
    if (result != Z_OK && result != Z_BUF_ERROR) return false;
    const bool betweenBlocks = (stream.data_type & 128) != 0;
    const int unused = stream.data_type & 7;
    if (betweenBlocks && (stream.data_type & 64)) {  // the final block just ended
      *unusedBits = unused;
      return stream.avail_in == 0;
    }
    if (betweenBlocks) {
      if (unused == 0 && stream.avail_in == 0) return false;  // cut short
      *header = unused ? BitPosition{stream.next_in - 1, static_cast<uint8_t>(0x100 >> unused)}
                       : BitPosition{stream.next_in, 1};
    } else if (result == Z_BUF_ERROR && stream.avail_in == 0) {
      return false;  // cut short inside a block
    }
  }
}

}  // namespace

bool ContinueDeflateData(uint8_t* data, size_t* size) {
  BitPosition header;
  int unused = 0;
  if (*size == 0 || !FindFinalBlock(data, *size, &header, &unused)) return false;
  *header.byte &= static_cast<uint8_t>(~header.mask);
  // The empty stored block's three header bits are zeros: they take the
  // unused bits (cleared), or a byte more when fewer than three are left.
  data[*size - 1] &= static_cast<uint8_t>(0xFF >> unused);
  if (unused < 3) data[(*size)++] = 0;
  for (uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) data[(*size)++] = b;
  return true;
}

}  // namespace nv
