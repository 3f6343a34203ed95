// A PNG file's chunks up to IEND, each with its CRC; or its pixels, as
// libpng decodes them.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "image/image_formats.h"

namespace nv {

namespace {

uint32_t BigEndian32(const unsigned char* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool IsChunkType(const unsigned char* type) {
  for (int i = 0; i < 4; ++i)
    if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z'))) return false;
  return true;
}

// The chunk's data, read through its CRC; IHDR's first bytes kept for the
// size.
bool ReadChunkData(ImageInput& in, uint32_t length, unsigned long* crc, unsigned char* ihdr) {
  unsigned char piece[4096];
  for (uint32_t done = 0; done < length;) {
    const size_t want = std::min<uint32_t>(sizeof piece, length - done);
    if (in.Read(piece, want) < want) return false;
    if (ihdr && done == 0) std::copy(piece, piece + std::min<size_t>(want, 8), ihdr);
    *crc = crc32(*crc, piece, static_cast<uInt>(want));
    done += static_cast<uint32_t>(want);
  }
  return true;
}

}  // namespace

bool PngStructure(ImageInput& in, ImageFacts* facts) {
  if (!in.Skip(8)) return Broken(facts, EndsEarly(in));
  for (bool first = true;; first = false) {
    const uint64_t at = in.Offset();
    unsigned char head[8], sum[4], ihdr[8] = {};
    if (in.Read(head, 8) < 8) return Broken(facts, EndsEarly(in));
    const uint32_t length = BigEndian32(head);
    const std::string type(reinterpret_cast<char*>(head) + 4, 4);
    const std::string where = " at byte " + std::to_string(at);
    if (!IsChunkType(head + 4) || length > 0x7FFFFFFF)
      return Broken(facts, "no chunk can begin as the bytes" + where + " do");
    if (first && type != "IHDR") return Broken(facts, "its first chunk is not IHDR");
    unsigned long crc = crc32(0, head + 4, 4);
    if (!ReadChunkData(in, length, &crc, first ? ihdr : nullptr) || in.Read(sum, 4) < 4)
      return Broken(facts, EndsEarly(in));
    // A chunk the image does without (its type's first letter in lower
    // case) is dropped by decoders when its CRC fails, as libpng does.
    if (BigEndian32(sum) != crc && !(head[4] & 0x20))
      return Broken(facts, "chunk '" + type + "'" + where + " fails its CRC check");
    if (first) {
      facts->width = BigEndian32(ihdr);
      facts->height = BigEndian32(ihdr + 4);
    }
    if (type == "IEND") return true;
  }
}

namespace {

struct PngReading {
  ImageInput* in;
  char fault[200];
  png_bytep row;
  bool endedEarly;
};

void OnError(png_structp png, png_const_charp message) {
  auto* reading = static_cast<PngReading*>(png_get_error_ptr(png));
  std::snprintf(reading->fault, sizeof reading->fault, "%s", message);
  png_longjmp(png, 1);
}

// Warnings are of chunks the image does without; what breaks it is an error.
void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep to, size_t size) {
  auto* reading = static_cast<PngReading*>(png_get_io_ptr(png));
  if (reading->in->Read(to, size) == size) return;
  reading->endedEarly = true;  // told in words once libpng has let go
  png_error(png, "read past the end");
}

// Every row of every pass, then the chunks up to IEND. libpng leaves by
// longjmp on an error, so nothing here holds what a destructor must free.
bool ReadPixels(png_structp png, png_infop info, PngReading* reading, ImageFacts* facts) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  facts->width = png_get_image_width(png, info);
  facts->height = png_get_image_height(png, info);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  reading->row = static_cast<png_bytep>(png_malloc(png, png_get_rowbytes(png, info)));
  for (int pass = 0; pass < passes; ++pass)
    for (uint32_t y = 0; y < facts->height; ++y) png_read_row(png, reading->row, nullptr);
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool PngDecode(ImageInput& in, ImageFacts* facts) {
  PngReading reading{&in, "", nullptr, false};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return Broken(facts, "libpng could not start: out of memory");
  }
  png_set_read_fn(png, &reading, OnRead);
  const bool whole = ReadPixels(png, info, &reading, facts);
  png_free(png, reading.row);
  png_destroy_read_struct(&png, &info, nullptr);
  return whole || Broken(facts, reading.endedEarly ? EndsEarly(in) : reading.fault);
}

}  // namespace nv
