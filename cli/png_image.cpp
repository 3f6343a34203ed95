// PNG images of one colour: the signature, then IHDR, IDAT and IEND chunks,
// each its big-endian length, type, data and a CRC-32 of type and data.
#include "cli/png_image.h"

#include <zlib.h>

#include <vector>

namespace nv {

namespace {

void PutBigEndian32(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

void PutChunk(std::string* png, const char type[4], const std::string& data) {
  PutBigEndian32(png, static_cast<uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  png->append(typed);
  PutBigEndian32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                  static_cast<uInt>(typed.size()))));
}

// The image's rows as PNG stores them before compression: each row a filter
// byte (0, none) and its pixels, three bytes each.
std::string Rows(uint32_t width, uint32_t height, uint32_t rgb) {
  std::string row(1, '\0');
  for (uint32_t x = 0; x < width; ++x)
    for (int shift = 16; shift >= 0; shift -= 8) row.push_back(static_cast<char>(rgb >> shift));
  std::string rows;
  for (uint32_t y = 0; y < height; ++y) rows += row;
  return rows;
}

std::string Deflate(const std::string& bytes) {
  std::vector<Bytef> out(compressBound(static_cast<uLong>(bytes.size())));
  uLongf length = static_cast<uLongf>(out.size());
  compress2(out.data(), &length, reinterpret_cast<const Bytef*>(bytes.data()),
            static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION);
  return std::string(reinterpret_cast<const char*>(out.data()), length);
}

}  // namespace

std::string SolidPng(uint32_t width, uint32_t height, uint32_t rgb) {
  std::string png = "\x89PNG\r\n\x1A\n";
  std::string header;
  PutBigEndian32(&header, width);
  PutBigEndian32(&header, height);
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", Deflate(Rows(width, height, rgb)));
  PutChunk(&png, "IEND", "");
  return png;
}

}  // namespace nv
