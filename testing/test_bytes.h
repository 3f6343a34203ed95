// For tests: contents made to measure.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

namespace nv {

// Bytes that deflate cannot shrink, so that they are stored, and fill a
// disk, as they are. The same size gives the same bytes.
inline std::string Incompressible(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 12345;
  for (char& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

// A zlib stream of the content, made by zlib itself rather than by the
// compression service under test.
inline std::string Deflated(const std::string& content) {
  std::string out(compressBound(static_cast<uLong>(content.size())), '\0');
  uLongf length = static_cast<uLongf>(out.size());
  compress2(reinterpret_cast<Bytef*>(&out[0]), &length,
            reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()),
            Z_BEST_COMPRESSION);
  out.resize(length);
  return out;
}

// The content of a zlib stream, by zlib itself; empty when zlib finds
// fault with it or it does not hold `size` bytes.
inline std::string Inflated(const std::string& stream, size_t size) {
  std::string out(size, '\0');
  uLongf length = static_cast<uLongf>(size);
  const int result =
      uncompress(reinterpret_cast<Bytef*>(&out[0]), &length,
                 reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size()));
  return result == Z_OK && length == size ? out : std::string();
}

}  // namespace nv
