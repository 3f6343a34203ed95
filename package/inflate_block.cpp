// Inflating a package's block with zlib, its result codes put into words.
#include "package/inflate_block.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace nv {

namespace {

constexpr uint32_t kPiece = 1u << 16;

// Ends the stream however the inflating ends.
struct Inflater {
  z_stream z{};
  bool ready = inflateInit(&z) == Z_OK;
  ~Inflater() {
    if (ready) inflateEnd(&z);
  }
};

std::string Describe(int result, const z_stream& z) {
  std::string words = result == Z_MEM_ERROR ? "out of memory" : "not a valid zlib stream";
  if (z.msg) words += std::string(" (") + z.msg + ")";
  return words;
}

// Feeds the next piece of the block when zlib has used up the last one.
bool Refill(File& file, std::vector<uint8_t>* in, uint32_t* left, z_stream* z, std::string* fault) {
  if (z->avail_in > 0) return true;
  if (*left == 0) {
    *fault = "the compressed stream does not end within its block";
    return false;
  }
  const size_t want = std::min<size_t>(*left, in->size());
  size_t got = 0;
  std::string err;
  if (!file.Read(in->data(), want, &got, &err) || got != want) {
    *fault = "reading the block failed" + (err.empty() ? std::string() : ": " + err);
    return false;
  }
  *left -= static_cast<uint32_t>(want);
  z->next_in = in->data();
  z->avail_in = static_cast<uInt>(want);
  return true;
}

}  // namespace

bool InflateBlock(File& file, uint32_t storedSize, uint32_t originalSize, const ContentSink& sink,
                  std::string* fault) {
  Inflater inflater;
  z_stream& z = inflater.z;
  if (!inflater.ready) {
    *fault = "out of memory";
    return false;
  }
  std::vector<uint8_t> in(std::max<uint32_t>(1, std::min(storedSize, kPiece)));
  // One byte more than the content needs, to see a block that holds more.
  std::vector<uint8_t> out(std::min<uint64_t>(uint64_t{originalSize} + 1, kPiece));
  uint32_t left = storedSize;
  uint64_t produced = 0;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (!Refill(file, &in, &left, &z, fault)) return false;
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    result = inflate(&z, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      *fault = Describe(result, z);
      return false;
    }
    const size_t made = out.size() - z.avail_out;
    produced += made;
    if (produced > originalSize) {
      *fault = "the content is longer than its " + std::to_string(originalSize) + " bytes";
      return false;
    }
    if (made > 0 && !sink(out.data(), made, fault)) return false;
  }
  if (z.avail_in > 0 || left > 0) {
    *fault = "bytes follow the end of the compressed stream";
    return false;
  }
  if (produced != originalSize) {
    *fault = "the content is " + std::to_string(produced) + " bytes, not " +
             std::to_string(originalSize);
    return false;
  }
  return true;
}

}  // namespace nv
