// A BMP file's headers, and whether the file holds the pixel data they
// declare.
#include "image/image_formats.h"

namespace nv {

namespace {

uint32_t Little32(const unsigned char* p) {
  return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint32_t Little16(const unsigned char* p) { return p[0] | uint32_t{p[1]} << 8; }

// Compression methods whose pixel data is as large as its rows make it.
bool Uncompressed(uint32_t compression) { return compression == 0 || compression == 3; }

}  // namespace

// The file header (14 bytes), then an info header: the old 12-byte one of
// 16-bit sizes, or one of 40 bytes or more with 32-bit sizes, a negative
// height meaning rows top down.
bool BmpHeader(ImageInput& in, uint64_t fileSize, ImageFacts* facts) {
  unsigned char h[38];
  if (in.Read(h, 18) < 18) return Broken(facts, EndsEarly(in));
  const uint32_t pixels = Little32(h + 10), info = Little32(h + 14);
  const bool core = info == 12;
  if (!core && info < 40)
    return Broken(facts, "its header size " + std::to_string(info) + " is that of no BMP header");
  const size_t rest = core ? 8 : 20;
  if (in.Read(h + 18, rest) < rest) return Broken(facts, EndsEarly(in));
  const int64_t width = core ? Little16(h + 18) : static_cast<int32_t>(Little32(h + 18));
  const int64_t height = core ? Little16(h + 20) : static_cast<int32_t>(Little32(h + 22));
  const uint32_t bits = Little16(h + (core ? 24 : 28));
  const uint32_t compression = core ? 0 : Little32(h + 30);
  facts->width = static_cast<uint32_t>(width < 0 ? -width : width);
  facts->height = static_cast<uint32_t>(height < 0 ? -height : height);
  if (facts->width == 0 || facts->height == 0) return Broken(facts, "its width or height is 0");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Broken(facts, std::to_string(bits) + " bits a pixel is no BMP's depth");
  const uint64_t rows = (uint64_t{facts->width} * bits + 31) / 32 * 4 * facts->height;
  const uint64_t size = Uncompressed(compression) ? rows : Little32(h + 34);
  if (pixels + size <= fileSize) return true;
  return Broken(facts, "its header declares " + std::to_string(size) +
                           " bytes of pixels from byte " + std::to_string(pixels) +
                           ", and the file ends at byte " + std::to_string(fileSize));
}

}  // namespace nv
